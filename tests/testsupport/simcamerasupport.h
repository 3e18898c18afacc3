// Names of a simulated camera as the application sees them, for tests that drive the
// simulated bus.
#pragma once

#include "device/catalogue.h"
#include "device/dshowcamerawrapper.h"
#include "sim/simcamera.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>

// The device identifier the camera list holds for the camera.
inline QString idOf(const SimCamera &camera) {
    return deviceIdFromPath(QString::fromStdString(camera.interfaceName()));
}

inline QString idOf(const std::shared_ptr<SimCamera> &camera) {
    return idOf(*camera);
}

// The product name the camera reports.
inline QString nameOf(const SimCamera &camera) {
    return QString::fromStdString(camera.config().productName);
}

// A camera of the given name on the given USB port.
inline SimCameraConfig configAt(const std::string &port, const std::string &name = "QX-M30-000") {
    SimCameraConfig config;
    config.portKey = port;
    config.productName = name;
    return config;
}

// A camera of the other product line: the vendor's own USB identifiers and updater answers.
inline SimCameraConfig zentaConfig(std::uint16_t productId, const std::string &name,
                                   const std::string &port = "usb1/1-1") {
    SimCameraConfig config = configAt(port, name);
    config.vendorId = static_cast<std::uint16_t>(kVendorUsbId);
    config.productId = productId;
    config.inquiryVendor = "ZENTA";
    return config;
}
