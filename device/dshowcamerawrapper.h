// The list of video-input devices, and the binding of the selected camera for the standard
// camera controls (pan, tilt, zoom).
#pragma once

#include "device/cameradevice.h"
#include "device/videoinputs.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <cstdint>
#include <memory>

// Last known position, shared by the camera controls and the Control page (GUI thread only).
extern int g_pan;
extern int g_tilt;
extern int g_zoom;

class DShowCameraWrapper : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Appends one record per camera; returns the number of records in `devices`.
    int enumerateCameras(QVector<CameraDevice> &devices);
    // Binds the device with exactly this id and name; `index` (preset to -1 by the caller)
    // receives its capture index.
    bool bindCamera(const QString &deviceId, const QString &friendlyName, int &index);
    void releaseCamera();

    // Standard camera controls on the bound camera (ids: 0 pan, 1 tilt, 3 zoom). A read is false
    // only when no camera is bound (a refused read keeps `value`, and `answered`, when given,
    // tells which it was); a write is false also when the camera refuses it, and the camera's
    // error is logged and, when `refusal` is given, written there.
    bool getCameraControl(int property, int &value, bool *answered = nullptr);
    bool setCameraControl(int property, int value, QString *refusal = nullptr);
};

// The bound camera of the process, or null.
CameraControls *currentCameraFilter();
