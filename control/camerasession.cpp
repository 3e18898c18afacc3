#include "control/camerasession.h"

#include <QDebug>

CameraSession::CameraSession() = default;

CameraSession::~CameraSession() {
    close();
}

ControlResult CameraSession::open(const QString &deviceId, const QString &friendlyName) {
    if (deviceId.isEmpty() || friendlyName.isEmpty())
        return ControlResult::failure(QStringLiteral("no camera was named"));
    index = -1;
    bound = controls.bindCamera(deviceId, friendlyName, index);
    qDebug() << "dshow detect camera :" << bound;
    if (!picture.open(deviceId))
        qDebug() << "No picture controls on this camera";
    unitLayerMissing = false;
    if (!unit.InitVideoDevice(deviceId, friendlyName)) {
        qDebug() << "UVC init failed!";
        unitLayerMissing = unit.lastFailure().status == kStatusNotImplemented;
        return unitFailure(QStringLiteral("no capture source of the system matches it"));
    }
    return ControlResult::success();
}

void CameraSession::close() {
    picture.close();
    unit.releaseDevice();
    controls.releaseCamera();
    bound = false;
    unitLayerMissing = false;
}

CameraReadout CameraSession::readAll() {
    CameraReadout readout;
    auto store = [&readout](CameraSetting setting, int value) {
        readout.settings.at(static_cast<std::size_t>(setting)) = value;
    };

    QString version;
    if (readFirmwareVersion(version))
        readout.firmwareVersion = version;
    else
        qWarning() << "Failed to get the camera version.";

    int value = 0;
    if (readSetting(CameraSetting::Hdr, value))
        store(CameraSetting::Hdr, value);
    if (readSetting(CameraSetting::AntiFlicker, value)) {
        qDebug() << "flicker state: " << value;
        store(CameraSetting::AntiFlicker, value);
    }
    if (readSetting(CameraSetting::Microphone, value)) {
        qDebug() << "mute state: " << value;
        store(CameraSetting::Microphone, value);
    }

    readout.position = readPosition();

    int mode = 0;
    if (!readSetting(CameraSetting::TrackingMode, mode))
        return readout;
    qDebug() << "tracking mode state: " << mode;
    store(CameraSetting::TrackingMode, mode);
    if (mode != kAutoFraming)
        return readout;
    if (readSetting(CameraSetting::TrackingEffect, value)) {
        qDebug() << "tracking effect state: " << value;
        store(CameraSetting::TrackingEffect, value);
    }
    if (readSetting(CameraSetting::TrackingSpeed, value)) {
        qDebug() << "tracking speend state: " << value;
        store(CameraSetting::TrackingSpeed, value);
    }
    return readout;
}

CameraPosition CameraSession::readPosition() {
    // Each read also stores the device's answer in its shared value (g_pan, g_tilt, g_zoom); a
    // refused read leaves both as they were.
    CameraPosition position{g_pan, g_tilt, g_zoom, false};
    bool panRead = false;
    bool tiltRead = false;
    bool zoomRead = false;
    controls.getCameraControl(static_cast<int>(CameraControlId::Pan), position.pan_deg, &panRead);
    controls.getCameraControl(static_cast<int>(CameraControlId::Tilt), position.tilt_deg,
                              &tiltRead);
    controls.getCameraControl(static_cast<int>(CameraControlId::Zoom), position.zoom_percent,
                              &zoomRead);
    g_zoom = qBound(kZoomMinimum_percent, g_zoom, kZoomMaximum_percent);
    position.zoom_percent = g_zoom;
    qDebug() << "param:"
             << "pan:" << g_pan << "tilt:" << g_tilt << "zoom:" << g_zoom;
    position.read = panRead && tiltRead && zoomRead;
    return position;
}

ControlResult CameraSession::readFirmwareVersion(QString &version) {
    // Older firmware answers only the legacy query.
    if (unit.getFirmwareVersion(kQueryVersion, version) ||
        unit.getFirmwareVersion(kQueryVersionLegacy, version))
        return ControlResult::success();
    return unitFailure(QStringLiteral("the camera reports no firmware version"));
}

ControlResult CameraSession::readSetting(CameraSetting setting, int &value) {
    if ((unit.*settingDefinition(setting).read)(value))
        return ControlResult::success();
    return unitFailure(QStringLiteral("the camera gave no answer"));
}

std::optional<int> CameraSession::readValue(CameraSetting setting) {
    int value = 0;
    if (readSetting(setting, value))
        return value;
    return std::nullopt;
}

ControlResult CameraSession::writeSetting(CameraSetting setting, int value) {
    if ((unit.*settingDefinition(setting).write)(value))
        return ControlResult::success();
    return unitFailure(QStringLiteral("the camera did not take the request"));
}

ControlResult CameraSession::readBack(CameraSetting setting, int written, int &value) {
    if (const ControlResult read = readSetting(setting, value); !read)
        return read;
    qDebug() << settingDefinition(setting).readBackLabel << written << ", query value:" << value;
    return ControlResult::success();
}

ControlResult CameraSession::restoreDefaults() {
    if (!unit.restoreDefaults()) {
        // The camera did not take it: it keeps running as it was.
        qDebug() << "Reset default params failed.";
        return unitFailure(QStringLiteral("the camera did not take the request"));
    }
    qDebug() << "Reset default params successed.";
    return ControlResult::success();
}

ControlResult CameraSession::move(CameraControlId axis, int value) {
    QString refusal;
    if (controls.setCameraControl(static_cast<int>(axis), value, &refusal))
        return ControlResult::success();
    return ControlResult::failure(refusal);
}

ControlResult CameraSession::unitFailure(const QString &otherwise) const {
    if (unitLayerMissing)
        return ControlResult::failure(
            QStringLiteral("this system offers no way to the camera's own settings"),
            {"Media Foundation", kStatusNotImplemented});
    const PlatformFailure failure = unit.lastFailure();
    if (failure.step.empty() && failure.status == kStatusOk)
        return ControlResult::failure(otherwise);
    return ControlResult::failure(
        QStringLiteral("%1 failed").arg(QString::fromStdString(failure.step)), failure);
}
