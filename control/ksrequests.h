// Wire layouts of the kernel-streaming property requests that reach a camera: the GUID encoding,
// the 32-byte node request addressed to the vendor extension unit, and the 40-byte camera-control
// record that carries pan, tilt and zoom. Everything is little-endian, as the platform lays it out
// in memory; the encoders are pure so that the bytes can be checked anywhere.
#pragma once

#include <array>
#include <cstdint>

struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::array<std::uint8_t, 8> data4;
};

bool operator==(const Guid &a, const Guid &b);
bool operator!=(const Guid &a, const Guid &b);

using GuidBytes = std::array<std::uint8_t, 16>;

// The in-memory form: data1, data2 and data3 little-endian, data4 as it stands.
GuidBytes encodeGuid(const Guid &guid);
Guid decodeGuid(const GuidBytes &bytes);

// Property set of the standard camera controls {C6E13370-30AC-11D0-A18C-00A0C9118956}.
extern const Guid kCameraControlSet;

constexpr std::uint32_t kPropertyTypeGet = 0x1;
constexpr std::uint32_t kPropertyTypeSet = 0x2;
constexpr std::uint32_t kPropertyTypeTopology = 0x10000000;
constexpr std::uint32_t kCameraControlFlagsManual = 0x2;

constexpr std::size_t kNodeRequestSize = 32;
constexpr std::size_t kCameraControlRecordSize = 40;

using NodeRequest = std::array<std::uint8_t, kNodeRequestSize>;
using CameraControlRecord = std::array<std::uint8_t, kCameraControlRecordSize>;

// Set, Id, Flags, NodeId, Reserved (0).
NodeRequest encodeNodeRequest(const Guid &propertySet, std::uint32_t id, std::uint32_t flags,
                              std::uint32_t nodeId);

// The record that serves as both property and data of a camera-control request: Set, Id, Flags
// (get or set), Value, control flags (manual), capabilities (manual), second value (0).
CameraControlRecord encodeCameraControlRecord(std::uint32_t propertyId, std::uint32_t flags,
                                              std::int32_t value);
// The Value field of a record (what the device wrote back after a read).
std::int32_t cameraControlRecordValue(const CameraControlRecord &record);
