#include "ui/packagerefusaltext.h"

#include <QCoreApplication>

QString packageRefusalText(PackageVerdict verdict) {
    switch (verdict) {
    case PackageVerdict::BadLayout:
        return QCoreApplication::translate(
            "MainWindow",
            "<h3>Unable to upgrade now.</h3>\r\nThe format of firmware file is not correct.");
    case PackageVerdict::Corrupted:
        return QCoreApplication::translate(
            "MainWindow", "<h3>Unable to upgrade now.</h3>\r\nThe firmware file is corrupted.");
    case PackageVerdict::OtherModel:
        return QCoreApplication::translate("MainWindow",
                                           "<h3>Unable to upgrade now.</h3>\r\nThe firmware "
                                           "version does not match with this model.");
    case PackageVerdict::Accepted:
    case PackageVerdict::Cancelled:
    case PackageVerdict::UnpackCancelled:
        break;
    }
    return QString();
}
