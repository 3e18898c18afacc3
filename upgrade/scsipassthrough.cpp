#include "upgrade/scsipassthrough.h"

#include <algorithm>
#include <cstring>

namespace passthrough {

namespace {
void putLittle16(std::vector<std::uint8_t> &buffer, std::size_t offset, std::uint16_t value) {
    buffer[offset] = static_cast<std::uint8_t>(value);
    buffer[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void putLittle32(std::vector<std::uint8_t> &buffer, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
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

std::vector<std::uint8_t> encode(const Request &request) {
    const std::uint32_t length = std::min(request.dataLength, kMaxDataLength);
    std::vector<std::uint8_t> buffer(kDataOffset + length, 0);
    putLittle16(buffer, 0, static_cast<std::uint16_t>(kHeaderLength)); // Length
    // 2 ScsiStatus, 3 PathId: zero
    buffer[4] = request.targetId;
    // 5 Lun: zero
    buffer[6] = request.cdbLength;
    buffer[7] = kSenseLength;
    buffer[8] = request.dataIn ? 1 : 0;
    putLittle32(buffer, 12, length);
    putLittle32(buffer, 16, request.timeout_s);
    putLittle32(buffer, 20, static_cast<std::uint32_t>(kDataOffset));
    putLittle32(buffer, 24, static_cast<std::uint32_t>(kSenseOffset));
    std::memcpy(&buffer[28], request.cdb, std::min<std::size_t>(request.cdbLength, 16));
    if (request.data && length)
        std::memcpy(&buffer[kDataOffset], request.data, length);
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
