// Device nodes that the program needs but may not open. The platform layers report every refusal
// for lack of permission here; the first one of each node is logged with what it means and how to
// grant the access, and announced once to whoever listens (the window tells the user).
#pragma once

#include <QObject>
#include <QString>

#include <string>

enum class DeviceNodeKind {
    Camera,  // the camera's video node (/dev/videoN)
    Updater, // the SCSI generic node of a camera in an updater stage (/dev/sgN)
};

// `reason` is the system's word for the refusal ("Permission denied").
void reportDeviceAccessDenied(DeviceNodeKind kind, const std::string &node,
                              const std::string &reason);
// Whether an errno value means a lack of permission (EACCES, EPERM).
bool isAccessDenied(int error);

class DeviceAccessNotices : public QObject {
    Q_OBJECT
public:
    static DeviceAccessNotices &instance();
    // What the user is told about a refused node of this kind, and how to fix it, in the language
    // of the installed translation.
    static QString advice(DeviceNodeKind kind, const QString &node);

signals:
    // The first refusal of each node, from the reporting thread: connect queued.
    void accessDenied(const QString &node, const QString &advice);
};
