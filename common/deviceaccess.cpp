#include "common/deviceaccess.h"

#include <QCoreApplication>
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

namespace {
const char *adviceText(DeviceNodeKind kind) {
    if (kind == DeviceNodeKind::Camera)
        return QT_TRANSLATE_NOOP("DeviceAccessNotices",
                                 "This user may not open the camera's video device %1. Add the "
                                 "user to the group \"video\" and log in again, or use a desktop "
                                 "session that grants the seat's devices (see \"Privileges\" in "
                                 "the README).");
    return QT_TRANSLATE_NOOP("DeviceAccessNotices",
                             "This user may not open %1, through which a camera in its updater "
                             "stage is upgraded. Install the rule 70-cameracontrol-updater.rules "
                             "(the package does) and plug the camera in again, or add the user to "
                             "the group \"disk\" (see \"Privileges\" in the README).");
}
} // namespace

QString DeviceAccessNotices::advice(DeviceNodeKind kind, const QString &node) {
    return QCoreApplication::translate("DeviceAccessNotices", adviceText(kind)).arg(node);
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
    // The log stays English; the listener gets the advice in the user's language.
    qWarning().noquote() << "cannot open" << name << "(" + QString::fromStdString(reason) + "):"
                         << QString::fromUtf8(adviceText(kind)).arg(name);
    emit DeviceAccessNotices::instance().accessDenied(name,
                                                      DeviceAccessNotices::advice(kind, name));
}
