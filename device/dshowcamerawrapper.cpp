#include "device/dshowcamerawrapper.h"

#include <QDebug>

#include <cstdio>
#include <mutex>

int g_pan = 0;
int g_tilt = 0;
int g_zoom = 100;

namespace {
constexpr int kFriendlyNameUnits = 255;

// The bound camera. Owned here so that binding another camera or releasing this one closes the
// device instead of dropping it.
std::unique_ptr<CameraControls> &boundCamera() {
    static std::unique_ptr<CameraControls> camera;
    return camera;
}

const char *controlName(int property) {
    switch (static_cast<CameraControlId>(property)) {
    case CameraControlId::Pan:
        return "pan";
    case CameraControlId::Tilt:
        return "tilt";
    case CameraControlId::Roll:
        return "roll";
    case CameraControlId::Zoom:
        return "zoom";
    }
    return "unknown";
}

QString fromPlatformText(const std::string &text) {
    return QString::fromStdString(text);
}

// At most 255 UTF-16 units, never ending in the first half of a surrogate pair.
QString cutFriendlyName(const QString &name) {
    if (name.size() <= kFriendlyNameUnits)
        return name;
    int length = kFriendlyNameUnits;
    if (name.at(length - 1).isHighSurrogate())
        --length;
    return name.left(length);
}
} // namespace

CameraControls *currentCameraFilter() {
    return boundCamera().get();
}

int DShowCameraWrapper::enumerateCameras(QVector<CameraDevice> &devices) {
    VideoInputBackend &backend = videoInputBackend();
    if (!backend.available())
        return devices.size();
    const std::vector<VideoInputInfo> inputs = backend.list();
    if (inputs.empty())
        return devices.size();

    std::printf("SETUP: Looking For Capture Devices\n");
    std::fflush(stdout);

    int counter = 0;
    for (const VideoInputInfo &input : inputs) {
        // A device whose properties cannot be read takes no index.
        if (!input.propertiesReadable)
            continue;

        QString deviceId;
        bool named = false;
        if (input.hasDevicePath) {
            std::printf("Device path: %s\n", input.devicePath.c_str());
            std::fflush(stdout);
            deviceId = deviceIdFromPath(fromPlatformText(input.devicePath));
            named = true;
        } else {
            named = input.hasFriendlyName;
        }

        if (named) {
            const QString friendlyName = input.hasFriendlyName
                                             ? cutFriendlyName(fromPlatformText(input.friendlyName))
                                             : QString();
            // Audio functions of a camera show up as video inputs too; leave them out.
            if (!friendlyName.contains(QLatin1String("MIC"), Qt::CaseInsensitive)) {
                CameraDevice device;
                device.index = counter;
                device.deviceId = deviceId;
                device.friendlyName = friendlyName;
                if (input.hasDisplayName)
                    device.node = fromPlatformText(input.displayName);
                devices.append(device);
                qDebug() << "usb camera name:" << friendlyName << " id:" << deviceId;
            }
        }
        ++counter;
    }
    return devices.size();
}

bool DShowCameraWrapper::bindCamera(const QString &deviceId, const QString &friendlyName,
                                    int &index) {
    releaseCamera();

    std::lock_guard<std::mutex> listAndBind(videoInputListMutex());
    VideoInputBackend &backend = videoInputBackend();
    if (!backend.available())
        return false;
    const std::vector<VideoInputInfo> inputs = backend.list();
    if (inputs.empty())
        return false;

    for (std::size_t position = 0; position < inputs.size(); ++position) {
        const VideoInputInfo &input = inputs[position];
        if (!input.hasDisplayName || !input.propertiesReadable)
            continue;
        QString name = fromPlatformText(input.displayName);
        // Cut as the enumeration cuts it, so that a name it listed also binds.
        if (input.hasFriendlyName)
            name = cutFriendlyName(fromPlatformText(input.friendlyName));
        const QString id =
            input.hasDevicePath ? deviceIdFromPath(fromPlatformText(input.devicePath)) : QString();
        if (id != deviceId || name != friendlyName)
            continue;

        index = static_cast<int>(position);
        boundCamera() = backend.bind(position);
        qDebug() << "get camera name:" << name << " id:" << id;
        break;
    }
    return currentCameraFilter() != nullptr;
}

void DShowCameraWrapper::releaseCamera() {
    boundCamera().reset();
}

bool DShowCameraWrapper::getCameraControl(int property, int &value, bool *answered) {
    CameraControls *camera = currentCameraFilter();
    if (!camera)
        return false;
    // A read that the device refuses leaves the caller's value in place.
    std::int32_t deviceValue = value;
    const bool deviceAnswered = camera->get(static_cast<CameraControlId>(property), deviceValue);
    if (answered)
        *answered = deviceAnswered;
    qDebug() << "devCtl.Value:" << deviceValue;
    value = deviceValue;
    switch (property) {
    case static_cast<int>(CameraControlId::Pan):
        g_pan = deviceValue;
        break;
    case static_cast<int>(CameraControlId::Tilt):
        g_tilt = deviceValue;
        break;
    case static_cast<int>(CameraControlId::Zoom):
        g_zoom = deviceValue;
        break;
    default:
        break;
    }
    return true;
}

bool DShowCameraWrapper::setCameraControl(int property, int value, QString *refusal) {
    CameraControls *camera = currentCameraFilter();
    if (!camera) {
        if (refusal)
            *refusal = QStringLiteral("no camera is bound");
        return false;
    }
    // A refused move is not success: the position the page shows may then differ from the
    // camera's.
    std::string reason;
    if (!camera->set(static_cast<CameraControlId>(property), value, reason)) {
        const QString said = QString::fromStdString(reason);
        qWarning() << "camera control refused:" << controlName(property) << value << said;
        if (refusal)
            *refusal = said;
        return false;
    }
    return true;
}
