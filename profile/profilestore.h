// Where the profiles live: one JSON file a profile, "<name>.json" in the profiles folder of the
// user's configuration (<AppConfigLocation of cameracontrol>/profiles, the same for the window and
// the command-line program), each written whole or not at all (QSaveFile). And each camera's
// connect profile, the one applied whenever that camera is opened, kept in the user's settings
// file by the camera's model and device id.
#pragma once

#include "profile/profile.h"

#include <QString>
#include <QStringList>

#include <optional>

// Linux: ~/.config/cameracontrol/profiles.
QString profilesFolder();
// Whether a name can be a profile's: not empty, at most 64 characters, no path separator, no
// character a file name cannot hold, not starting with a point.
bool isValidProfileName(const QString &name);
// The stored profiles' names, ordered as a person reads them (ignoring case).
QStringList storedProfileNames();
QString storedProfileFile(const QString &name);
// A stored profile (named by its file, whatever the document says) or a profile file anywhere.
std::optional<Profile> loadStoredProfile(const QString &name, ProfileError &error);
std::optional<Profile> loadProfileFile(const QString &path, ProfileError &error);
// Writes the profile under its name, replacing one of that name.
bool saveProfile(const Profile &profile, ProfileError &error);
bool deleteStoredProfile(const QString &name);

// The catalogue's model name of a camera by its friendly name; empty when it names none.
QString catalogueModelName(const QString &friendlyName);

// A camera as the connect choice knows it.
struct CameraIdentity {
    QString model; // the catalogue's model name, else the friendly name
    QString deviceId;
};
CameraIdentity cameraIdentity(const QString &friendlyName, const QString &deviceId);
// The name of the camera's connect profile; empty when none is chosen.
QString connectProfileOf(const CameraIdentity &camera);
// Chooses the profile (an empty name chooses none).
void setConnectProfile(const CameraIdentity &camera, const QString &name);
