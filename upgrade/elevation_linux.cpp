// Linux: access to the camera's disk comes from the device node's permissions (see the README's
// privileges), never from restarting the program with other rights.
#include "upgrade/elevation.h"

namespace {
class DevicePermissions final : public ElevationBackend {
public:
    bool canOpenVolumes() override { return true; }
    ElevationOutcome startElevated(const QStringList &, QString &reason) override {
        reason = QStringLiteral("not needed on this system");
        return ElevationOutcome::Failed;
    }
};
} // namespace

ElevationBackend &nativeElevationBackend() {
    static DevicePermissions backend;
    return backend;
}
