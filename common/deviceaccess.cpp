#include "common/deviceaccess.h"

#include <QDebug>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

#include <cerrno>

namespace {
// Nodes already reported: the searches repeat every second and at every enumeration.
QSet<QString> &reportedNodes() {
    static QSet<QString> nodes;
    return nodes;
}
QMutex reportedMutex;
} // namespace

bool isAccessDenied(int error) {
    return error == EACCES || error == EPERM;
}

DeviceAccessNotices &DeviceAccessNotices::instance() {
    static DeviceAccessNotices notices;
    return notices;
}

QString DeviceAccessNotices::advice(DeviceNodeKind kind, const QString &node) {
    if (kind == DeviceNodeKind::Camera)
        return QStringLiteral("This user may not open the camera's video device %1. Add the user "
                              "to the group \"video\" and log in again, or use a desktop session "
                              "that grants the seat's devices (see \"Privileges\" in the README).")
            .arg(node);
    return QStringLiteral("This user may not open %1, through which a camera in its updater stage "
                          "is upgraded. Install the rule 70-cameracontrol-updater.rules (the "
                          "package does) and plug the camera in again, or add the user to the "
                          "group \"disk\" (see \"Privileges\" in the README).")
        .arg(node);
}

void reportDeviceAccessDenied(DeviceNodeKind kind, const std::string &node,
                              const std::string &reason) {
    const QString name = QString::fromStdString(node);
    {
        QMutexLocker locker(&reportedMutex);
        if (reportedNodes().contains(name))
            return;
        reportedNodes().insert(name);
    }
    const QString advice = DeviceAccessNotices::advice(kind, name);
    qWarning().noquote() << "cannot open" << name
                         << "(" + QString::fromStdString(reason) + "):" << advice;
    emit DeviceAccessNotices::instance().accessDenied(name, advice);
}
