// The device interface name under which a video capture node is known to the rest of the program:
//   \\?\usb#vid_XXXX&pid_YYYY&mi_NN#<instance>#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global
// The instance part has four "&" fields; it is derived from the USB port, so a camera keeps its
// name when it is plugged into the same port again, and ends in "0000" for the first capture node
// of the interface.
#pragma once

#include <cstdint>
#include <string>

struct InterfaceNameParts {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint8_t interfaceNumber = 0;
    // Identifies the USB port, e.g. "usb1/1-1.4".
    std::string portKey;
    // 0 for the first capture node of the interface.
    unsigned nodeOrdinal = 0;
};

std::string makeCaptureInterfaceName(const InterfaceNameParts &parts);
