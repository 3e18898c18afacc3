// Reading the raw USB descriptors of a camera (the device descriptor followed by its configuration
// descriptors, as the system hands them out) to find the unit id of a UVC extension unit.
#pragma once

#include "control/ksrequests.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// USB and USB Video Class descriptor constants used by the search.
constexpr std::uint8_t kDescriptorTypeConfiguration = 0x02;
constexpr std::uint8_t kDescriptorTypeInterface = 0x04;
constexpr std::uint8_t kDescriptorTypeClassInterface = 0x24;
constexpr std::uint8_t kVideoInterfaceClass = 0x0E;
constexpr std::uint8_t kVideoControlSubclass = 0x01;
constexpr std::uint8_t kVideoControlExtensionUnit = 0x06;

// The bUnitID of the first extension unit whose guidExtensionCode equals `guid` (in its in-memory
// byte order). Only VideoControl interfaces are searched, and with interfaceNumber >= 0 only the
// one with that bInterfaceNumber. A descriptor with a length below 2 or running past the end ends
// the search: nothing beyond the blob is read.
std::optional<std::uint8_t> findExtensionUnit(const std::uint8_t *data, std::size_t size,
                                              const GuidBytes &guid, int interfaceNumber = -1);
std::optional<std::uint8_t> findExtensionUnit(const std::vector<std::uint8_t> &descriptors,
                                              const GuidBytes &guid, int interfaceNumber = -1);
