// The list of video-input devices, and the binding of the selected camera for the standard
// camera controls (pan, tilt, zoom).
#pragma once

#include "device/videoinputs.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <memory>

struct CameraDevice {
    int index = -1;
    QString deviceId;
    QString friendlyName;
    // The system's own name for the device (Linux: its node, /dev/videoN); empty when it has none.
    QString node;
};

// The text strictly between the first and the last "#" of a device path; empty with fewer than
// two "#".
QString deviceIdFromPath(const QString &devicePath);

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
    // error is logged.
    bool getCameraControl(int property, int &value, bool *answered = nullptr);
    bool setCameraControl(int property, int value);
};

// The bound camera of the process, or null.
CameraControls *currentCameraFilter();

// The device ids of the video inputs present now, without the enumeration's traces. Callable from
// any thread: the upgrade worker looks for a camera coming back while the window binds one.
QStringList presentVideoInputIds();
