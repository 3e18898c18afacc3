#include "device/interfacename.h"

#include <cstdio>

namespace {
// FNV-1a: a short, stable fingerprint of the port.
std::uint32_t fingerprint(const std::string &text) {
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}
} // namespace

std::string makeCaptureInterfaceName(const InterfaceNameParts &parts) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer,
                  "\\\\?\\usb#vid_%04x&pid_%04x&mi_%02x#6&%08x&0&%04x#"
                  "{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
                  unsigned(parts.vendorId), unsigned(parts.productId),
                  unsigned(parts.interfaceNumber), unsigned(fingerprint(parts.portKey)),
                  parts.nodeOrdinal & 0xFFFFu);
    return buffer;
}
