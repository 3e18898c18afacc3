#include "upgrade/scsipassthrough.h"

#include <algorithm>
#include <cstring>

namespace passthrough {

namespace {
void putLittle16(std::vector<std::uint8_t> &buffer, std::size_t offset, std::uint16_t value) {
    buffer[offset] = static_cast<std::uint8_t>(value);
    buffer[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

// A little-endian field of `width` bytes (4, or 8 for a ULONG_PTR on 64-bit Windows).
void putLittle(std::vector<std::uint8_t> &buffer, std::size_t offset, std::size_t width,
               std::uint64_t value) {
    for (std::size_t i = 0; i < width; ++i)
        buffer[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

Request baseRequest(const std::uint8_t *cdb, std::size_t cdbLength, std::uint32_t length,
                    std::uint32_t timeout_s) {
    Request request;
    request.cdbLength = static_cast<std::uint8_t>(std::min<std::size_t>(cdbLength, 16));
    if (cdb)
        std::memcpy(request.cdb, cdb, request.cdbLength);
    request.dataLength = length;
    request.timeout_s = timeout_s;
    return request;
}
} // namespace

std::vector<std::uint8_t> encode(const Request &request, const Layout &layout) {
    const std::uint32_t length = std::min(request.dataLength, kMaxDataLength);
    std::vector<std::uint8_t> buffer(layout.dataOffset + length, 0);
    putLittle16(buffer, 0, static_cast<std::uint16_t>(layout.headerLength)); // Length
    // 2 ScsiStatus, 3 PathId: zero
    buffer[4] = request.targetId;
    // 5 Lun: zero
    buffer[6] = request.cdbLength;
    buffer[7] = kSenseLength;
    buffer[8] = request.dataIn ? 1 : 0;
    putLittle(buffer, 12, 4, length);            // DataTransferLength
    putLittle(buffer, 16, 4, request.timeout_s); // TimeOutValue
    putLittle(buffer, layout.dataBufferOffsetField, layout.pointerSize, layout.dataOffset);
    putLittle(buffer, layout.senseInfoOffsetField, 4, layout.senseOffset);
    std::memcpy(&buffer[layout.cdbField], request.cdb,
                std::min<std::size_t>(request.cdbLength, 16));
    if (request.data && length)
        std::memcpy(&buffer[layout.dataOffset], request.data, length);
    return buffer;
}

Request vendorRequest(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                      const std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s) {
    Request request = baseRequest(cdb, cdbLength, length, timeout_s);
    request.targetId = 0;
    request.dataIn = direction == ScsiDirection::FromDevice;
    request.data = data;
    return request;
}

Request inquiryRequest(const std::uint8_t *cdb, std::size_t cdbLength, std::uint32_t length,
                       std::uint32_t timeout_s) {
    Request request = baseRequest(cdb, cdbLength, length, timeout_s);
    // The volume answers whatever target is named; the request has always named target 1.
    request.targetId = 1;
    request.dataIn = true;
    return request;
}

} // namespace passthrough
