#include "control/ksrequests.h"

#include <cstring>

const Guid kCameraControlSet = {
    0xC6E13370, 0x30AC, 0x11D0, {{0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}}};

namespace {
template <std::size_t N>
void putLe32(std::array<std::uint8_t, N> &out, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

template <std::size_t N>
std::uint32_t getLe32(const std::array<std::uint8_t, N> &in, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= std::uint32_t(in[offset + i]) << (8 * i);
    return value;
}

template <std::size_t N>
void putGuid(std::array<std::uint8_t, N> &out, std::size_t offset, const Guid &guid) {
    const GuidBytes bytes = encodeGuid(guid);
    std::memcpy(out.data() + offset, bytes.data(), bytes.size());
}
} // namespace

bool operator==(const Guid &a, const Guid &b) {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 && a.data4 == b.data4;
}

bool operator!=(const Guid &a, const Guid &b) {
    return !(a == b);
}

GuidBytes encodeGuid(const Guid &guid) {
    GuidBytes bytes{};
    putLe32(bytes, 0, guid.data1);
    bytes[4] = static_cast<std::uint8_t>(guid.data2);
    bytes[5] = static_cast<std::uint8_t>(guid.data2 >> 8);
    bytes[6] = static_cast<std::uint8_t>(guid.data3);
    bytes[7] = static_cast<std::uint8_t>(guid.data3 >> 8);
    std::memcpy(bytes.data() + 8, guid.data4.data(), guid.data4.size());
    return bytes;
}

Guid decodeGuid(const GuidBytes &bytes) {
    Guid guid{};
    guid.data1 = getLe32(bytes, 0);
    guid.data2 = static_cast<std::uint16_t>(bytes[4] | (bytes[5] << 8));
    guid.data3 = static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8));
    std::memcpy(guid.data4.data(), bytes.data() + 8, guid.data4.size());
    return guid;
}

NodeRequest encodeNodeRequest(const Guid &propertySet, std::uint32_t id, std::uint32_t flags,
                              std::uint32_t nodeId) {
    NodeRequest request{};
    putGuid(request, 0, propertySet);
    putLe32(request, 16, id);
    putLe32(request, 20, flags);
    putLe32(request, 24, nodeId);
    putLe32(request, 28, 0);
    return request;
}

CameraControlRecord encodeCameraControlRecord(std::uint32_t propertyId, std::uint32_t flags,
                                              std::int32_t value) {
    CameraControlRecord record{};
    putGuid(record, 0, kCameraControlSet);
    putLe32(record, 16, propertyId);
    putLe32(record, 20, flags);
    putLe32(record, 24, static_cast<std::uint32_t>(value));
    putLe32(record, 28, kCameraControlFlagsManual);
    putLe32(record, 32, kCameraControlFlagsManual);
    putLe32(record, 36, 0);
    return record;
}

std::int32_t cameraControlRecordValue(const CameraControlRecord &record) {
    return static_cast<std::int32_t>(getLe32(record, 24));
}
