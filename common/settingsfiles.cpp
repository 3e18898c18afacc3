#include "common/settingsfiles.h"

#include "device/catalogue.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

namespace {
// The folder of the program's files inside each configuration folder.
const char kSettingsFolder[] = "cameracontrol";

QString settingsFileIn(const QString &configurationFolder) {
    return QStringLiteral("%1/%2/%3")
        .arg(configurationFolder, QString::fromLatin1(kSettingsFolder), kSettingsFileName);
}
} // namespace

QString settingsKeyName(SettingsKey key) {
    switch (key) {
    case SettingsKey::VendorSelection:
        return QStringLiteral("/product_model/main");
    case SettingsKey::WindowLeft:
        return QStringLiteral("/window/left");
    case SettingsKey::WindowTop:
        return QStringLiteral("/window/top");
    case SettingsKey::WindowWidth:
        return QStringLiteral("/window/width");
    case SettingsKey::WindowHeight:
        return QStringLiteral("/window/height");
    case SettingsKey::StyleIndex:
        return QStringLiteral("/style/index");
    }
    return QString();
}

QString userSettingsFile() {
    return settingsFileIn(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

QStringList vendorSelectionFiles() {
    // The first location is the user's own, the others the system's, most important first.
    QStringList system = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    system.removeAll(user);
    std::reverse(system.begin(), system.end());
    QStringList files;
    for (const QString &folder : qAsConst(system))
        files << settingsFileIn(folder);
    files << settingsFileIn(user)
          << QStringLiteral("%1/%2").arg(QCoreApplication::applicationDirPath(), kSettingsFileName);
    return files;
}

int readVendorSelection() {
    int selection = 0;
    for (const QString &file : vendorSelectionFiles()) {
        if (!QFileInfo::exists(file))
            continue;
        const QSettings settings(file, QSettings::IniFormat);
        const QVariant value = settings.value(settingsKeyName(SettingsKey::VendorSelection));
        if (value.isValid())
            selection = value.toInt();
    }
    return selection;
}
