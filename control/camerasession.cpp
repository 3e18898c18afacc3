#include "control/camerasession.h"

#include <QDebug>

CameraSession::CameraSession() = default;

CameraSession::~CameraSession() {
    close();
}

bool CameraSession::open(const QString &deviceId, const QString &friendlyName) {
    if (deviceId.isEmpty() || friendlyName.isEmpty())
        return false;
    index = -1;
    bound = controls.bindCamera(deviceId, friendlyName, index);
    qDebug() << "dshow detect camera :" << bound;
    if (!picture.open(deviceId))
        qDebug() << "No picture controls on this camera";
    if (!unit.InitVideoDevice(deviceId, friendlyName)) {
        qDebug() << "UVC init failed!";
        return false;
    }
    return true;
}

void CameraSession::close() {
    picture.close();
    unit.releaseDevice();
    controls.releaseCamera();
    bound = false;
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

    readPosition(readout);

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

void CameraSession::readPosition(CameraReadout &readout) {
    // A refused read leaves each shared value as it was.
    bool panRead = false;
    bool tiltRead = false;
    bool zoomRead = false;
    controls.getCameraControl(static_cast<int>(CameraControlId::Pan), g_pan, &panRead);
    controls.getCameraControl(static_cast<int>(CameraControlId::Tilt), g_tilt, &tiltRead);
    controls.getCameraControl(static_cast<int>(CameraControlId::Zoom), g_zoom, &zoomRead);
    g_zoom = qBound(kZoomMinimum_percent, g_zoom, kZoomMaximum_percent);
    qDebug() << "param:"
             << "pan:" << g_pan << "tilt:" << g_tilt << "zoom:" << g_zoom;
    readout.pan_deg = g_pan;
    readout.tilt_deg = g_tilt;
    readout.zoom_percent = g_zoom;
    readout.positionRead = panRead && tiltRead && zoomRead;
}

bool CameraSession::readFirmwareVersion(QString &version) {
    // Older firmware answers only the legacy query.
    return unit.getFirmwareVersion(kQueryVersion, version) ||
           unit.getFirmwareVersion(kQueryVersionLegacy, version);
}

bool CameraSession::readSetting(CameraSetting setting, int &value) {
    return (unit.*settingDefinition(setting).read)(value);
}

bool CameraSession::writeSetting(CameraSetting setting, int value) {
    return (unit.*settingDefinition(setting).write)(value);
}

bool CameraSession::readBack(CameraSetting setting, int written, int &value) {
    if (!readSetting(setting, value))
        return false;
    qDebug() << settingDefinition(setting).readBackLabel << written << ", query value:" << value;
    return true;
}

bool CameraSession::restoreDefaults() {
    if (!unit.restoreDefaults()) {
        // The camera did not take it: it keeps running as it was.
        qDebug() << "Reset default params failed.";
        return false;
    }
    qDebug() << "Reset default params successed.";
    return true;
}

bool CameraSession::move(CameraControlId axis, int value) {
    return controls.setCameraControl(static_cast<int>(axis), value);
}
