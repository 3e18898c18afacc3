// A video input as the camera list knows it, and what the camera list, the command line and the
// upgrade worker need of the video inputs without binding one for its controls.
#pragma once

#include <QString>
#include <QStringList>

#include <mutex>

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

// The device ids of the video inputs present now, without the enumeration's traces. Callable from
// any thread: the upgrade worker looks for a camera coming back while the window binds one.
QStringList presentVideoInputIds();

// Held over a list of the video inputs and what is done by position in it: a back end binds by
// position in its last list, so a list made on another thread between a bind's own list and the
// bind must wait.
std::mutex &videoInputListMutex();
