#include "device/cameralist.h"

#include "common/settingsfiles.h"
#include "device/catalogue.h"
#include "device/dshowcamerawrapper.h"

#include <QDebug>

namespace {
// Names longer than this lose their first word in the list.
constexpr int kDisplayNameLimit_characters = 15;
} // namespace

VendorSelection readConfiguredVendor() {
    VendorSelection selection;
    selection.index = readVendorSelection();
    vendorByIndex(selection.index, selection.manufacturer, selection.vendorId);
    qInfo() << "credit manufacturer:" << selection.manufacturer;
    return selection;
}

QString cameraDisplayName(const QString &friendlyName) {
    if (friendlyName.size() > kDisplayNameLimit_characters &&
        friendlyName.contains(QLatin1Char(' ')))
        return friendlyName.mid(friendlyName.indexOf(QLatin1Char(' '))).trimmed();
    return friendlyName;
}

QVector<CameraDevice> enumerateVideoInputs() {
    QVector<CameraDevice> devices;
    DShowCameraWrapper().enumerateCameras(devices);
    return devices;
}

QVector<ListedCamera> camerasOfVendor(const QVector<CameraDevice> &devices, int vendorId) {
    QVector<ListedCamera> listed;
    for (const CameraDevice &device : devices) {
        ListedCamera camera;
        if (!parseVidPid(device.deviceId, camera.vendorId, camera.productId) ||
            camera.vendorId != static_cast<std::uint32_t>(vendorId))
            continue;
        camera.device = device;
        camera.displayName = cameraDisplayName(device.friendlyName);
        listed.append(camera);
    }
    return listed;
}
