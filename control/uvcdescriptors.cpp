#include "control/uvcdescriptors.h"

#include <algorithm>

namespace {
constexpr std::size_t kInterfaceDescriptorLength = 9;
// bLength, bDescriptorType, bDescriptorSubtype, bUnitID, guidExtensionCode[16].
constexpr std::size_t kExtensionUnitHeaderLength = 20;
} // namespace

std::optional<std::uint8_t> findExtensionUnit(const std::uint8_t *data, std::size_t size,
                                              const GuidBytes &guid, int interfaceNumber) {
    if (!data)
        return std::nullopt;
    bool inVideoControl = false;
    std::size_t offset = 0;
    while (size - offset >= 2) {
        const std::size_t length = data[offset];
        if (length < 2 || length > size - offset)
            break;
        const std::uint8_t *descriptor = data + offset;
        const std::uint8_t type = descriptor[1];
        if (type == kDescriptorTypeConfiguration) {
            inVideoControl = false;
        } else if (type == kDescriptorTypeInterface) {
            // Class-specific descriptors belong to the interface descriptor before them.
            inVideoControl = length >= kInterfaceDescriptorLength &&
                             descriptor[5] == kVideoInterfaceClass &&
                             descriptor[6] == kVideoControlSubclass &&
                             (interfaceNumber < 0 || descriptor[2] == interfaceNumber);
        } else if (type == kDescriptorTypeClassInterface && inVideoControl &&
                   length >= kExtensionUnitHeaderLength &&
                   descriptor[2] == kVideoControlExtensionUnit &&
                   std::equal(guid.begin(), guid.end(), descriptor + 4)) {
            return descriptor[3];
        }
        offset += length;
    }
    return std::nullopt;
}

std::optional<std::uint8_t> findExtensionUnit(const std::vector<std::uint8_t> &descriptors,
                                              const GuidBytes &guid, int interfaceNumber) {
    return findExtensionUnit(descriptors.data(), descriptors.size(), guid, interfaceNumber);
}
