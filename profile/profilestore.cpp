#include "profile/profilestore.h"

#include "common/settingsfiles.h"
#include "device/catalogue.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

namespace {
const char kSuffix[] = ".json";
const char kConnectGroup[] = "connect_profiles";
constexpr int kMaximumNameLength = 64;
// A profile larger than this is no profile: it is not read.
constexpr qint64 kMaximumFileSize_bytes = 64 * 1024;

// The settings key of a camera: model and device id, escaped so that neither a slash nor a
// backslash of the id makes a group of it.
QString connectKey(const CameraIdentity &camera) {
    return QStringLiteral("%1/%2").arg(QLatin1String(kConnectGroup),
                                       QString::fromLatin1(QUrl::toPercentEncoding(
                                           camera.model + QLatin1Char('@') + camera.deviceId)));
}
} // namespace

QString profilesFolder() {
    // The window's AppConfigLocation, named here so that every program of the package, whatever
    // its own name, finds the same folder.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/cameracontrol/profiles");
}

bool isValidProfileName(const QString &name) {
    if (name.isEmpty() || name.size() > kMaximumNameLength || name.startsWith(QLatin1Char('.')) ||
        name.trimmed() != name)
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        return c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c);
    });
}

QStringList storedProfileNames() {
    const QFileInfoList files =
        QDir(profilesFolder())
            .entryInfoList({QStringLiteral("*") + QLatin1String(kSuffix)}, QDir::Files);
    QStringList names;
    for (const QFileInfo &file : files) {
        const QString name = file.fileName().chopped(static_cast<int>(qstrlen(kSuffix)));
        if (isValidProfileName(name))
            names << name;
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    return names;
}

QString storedProfileFile(const QString &name) {
    return profilesFolder() + QLatin1Char('/') + name + QLatin1String(kSuffix);
}

std::optional<Profile> loadProfileFile(const QString &path, ProfileError &error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = ProfileError{ProfileError::Kind::Missing, path, QString(), file.errorString()};
        return std::nullopt;
    }
    if (file.size() > kMaximumFileSize_bytes) {
        error = ProfileError{ProfileError::Kind::Damaged, path, QString(),
                             QStringLiteral("larger than %1 bytes").arg(kMaximumFileSize_bytes)};
        return std::nullopt;
    }
    return profileFromJson(file.readAll(), path, error);
}

std::optional<Profile> loadStoredProfile(const QString &name, ProfileError &error) {
    if (!isValidProfileName(name)) {
        error = ProfileError{ProfileError::Kind::Missing, name, QString(), QString()};
        return std::nullopt;
    }
    std::optional<Profile> profile = loadProfileFile(storedProfileFile(name), error);
    if (profile)
        profile->name = name;
    return profile;
}

bool saveProfile(const Profile &profile, ProfileError &error) {
    const QString path = storedProfileFile(profile.name);
    auto notWritten = [&](const QString &why) {
        error = ProfileError{ProfileError::Kind::NotWritten, path, QString(), why};
        return false;
    };
    if (!isValidProfileName(profile.name))
        return notWritten(QStringLiteral("\"%1\" cannot name a profile").arg(profile.name));
    if (!QDir().mkpath(profilesFolder()))
        return notWritten(QStringLiteral("the folder cannot be made"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return notWritten(file.errorString());
    file.write(profileToJson(profile));
    if (!file.commit())
        return notWritten(file.errorString());
    return true;
}

bool deleteStoredProfile(const QString &name) {
    return isValidProfileName(name) && QFile::remove(storedProfileFile(name));
}

QString catalogueModelName(const QString &friendlyName) {
    const int index = modelIndexByName(friendlyName);
    for (const ProductModel &model : ProductModelTable)
        if (model.modelIndex == index)
            return model.modelName;
    return QString();
}

CameraIdentity cameraIdentity(const QString &friendlyName, const QString &deviceId) {
    const QString model = catalogueModelName(friendlyName);
    return CameraIdentity{model.isEmpty() ? friendlyName : model, deviceId};
}

QString connectProfileOf(const CameraIdentity &camera) {
    const QSettings settings(userSettingsFile(), QSettings::IniFormat);
    return settings.value(connectKey(camera)).toString();
}

void setConnectProfile(const CameraIdentity &camera, const QString &name) {
    QSettings settings(userSettingsFile(), QSettings::IniFormat);
    if (name.isEmpty())
        settings.remove(connectKey(camera));
    else
        settings.setValue(connectKey(camera), name);
}
