#include "device/captureinterfacefilter.h"

#include <QDebug>
#include <QStringList>

CaptureInterfaceOutcome classifyCaptureInterfaceEvent(bool arrival, const QString &interfaceName) {
    // Empty parts are kept: "a##b#c" must not pass for a four-part name.
    const QStringList parts = interfaceName.split(QLatin1Char('#'), Qt::KeepEmptyParts);
    if (parts.size() != 4) {
        qDebug() << "camera logic error";
        return CaptureInterfaceOutcome::Malformed;
    }
    const QStringList instance = parts.at(2).split(QLatin1Char('&'), Qt::KeepEmptyParts);
    if (instance.size() != 4) {
        qDebug() << "camera logic error";
        return CaptureInterfaceOutcome::Malformed;
    }
    if (instance.at(3) != QLatin1String("0000"))
        return CaptureInterfaceOutcome::OtherNode;
    qDebug() << (arrival ? "usb camera in" : "usb camera out");
    return CaptureInterfaceOutcome::Camera;
}
