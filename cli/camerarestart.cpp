#include "cli/camerarestart.h"

#include "device/cameradevice.h"

#include <QtDebug>

namespace {
bool isPresent(const QString &deviceId) {
    return presentVideoInputIds().contains(deviceId);
}

// Polls until the camera's presence is `present`; false when the bound passed first.
bool waitUntil(const QString &deviceId, bool present, Milliseconds bound, Milliseconds step) {
    for (Milliseconds waited{0};; waited += step) {
        if (isPresent(deviceId) == present)
            return true;
        if (waited >= bound)
            return false;
        activeClock().sleepFor(step);
    }
}
} // namespace

RestartOutcome waitForRestart(const QString &deviceId, const RestartBounds &bounds) {
    if (!waitUntil(deviceId, false, bounds.leaveWithin, bounds.pollEvery)) {
        qInfo() << "camera did not restart:" << deviceId;
        return RestartOutcome::NeverLeft;
    }
    if (!waitUntil(deviceId, true, bounds.returnWithin, bounds.pollEvery)) {
        qWarning() << "camera did not come back after its restart:" << deviceId;
        return RestartOutcome::NotBack;
    }
    qInfo() << "camera back after its restart:" << deviceId;
    return RestartOutcome::Back;
}
