// The simulated bus behind every device seam, on a virtual clock, with one camera plugged in; and
// the names and configurations under which the application sees a simulated camera.
#pragma once

#include "common/clock.h"
#include "device/catalogue.h"
#include "device/dshowcamerawrapper.h"
#include "sim/simulatedbus.h"

#include <QString>

#include <memory>

inline QString idOf(const SimCamera &camera) {
    return deviceIdFromPath(QString::fromStdString(camera.interfaceName()));
}

inline QString nameOf(const SimCamera &camera) {
    return QString::fromStdString(camera.config().productName);
}

inline SimCameraConfig configAt(const std::string &port, const std::string &name = "QX-M30-000") {
    SimCameraConfig config;
    config.portKey = port;
    config.productName = name;
    return config;
}

// A camera of the vendor's own line: its USB ids and updater answers.
inline SimCameraConfig zentaConfig(std::uint16_t productId, const std::string &name,
                                   const std::string &port = "usb1/1-1") {
    SimCameraConfig config = configAt(port, name);
    config.vendorId = static_cast<std::uint16_t>(kVendorUsbId);
    config.productId = productId;
    config.inquiryVendor = "ZENTA";
    return config;
}

struct SimFixture {
    explicit SimFixture(const SimCameraConfig &config = SimCameraConfig()) {
        bus.install();
        camera = bus.addCamera(config);
    }
    // Lets the simulated time pass and the camera act on it (restarts, stage changes).
    void elapse(Milliseconds duration) {
        clock.advance(duration);
        bus.poll();
    }

    VirtualClock clock;
    ScopedClock scopedClock{clock};
    SimulatedBus bus;
    std::shared_ptr<SimCamera> camera;
};
