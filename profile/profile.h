// A profile: a named snapshot of how one camera is set up (its vendor settings, its picture
// controls, pan, tilt and zoom; only what its model offers), the model it was taken from, and the
// JSON file it is kept in. A file is trusted with nothing: one that is damaged, of an unknown
// format, names an unknown item or holds a value outside an item's range is refused whole, with the
// file and the item named.
#pragma once

#include "control/camerasettings.h"
#include "device/videoinputs.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// The format this program writes and reads; a file of any other is refused.
constexpr int kProfileFormat = 1;

// A picture control's range is the camera's own: a file may hold any whole number for one, and
// the camera's description decides when the profile is applied.
enum class ProfileItemKind { Setting, Picture, Position };

// One item a profile can hold. The table is in the order a camera takes them (see profileItems()).
struct ProfileItem {
    const char *name; // the JSON key: "anti-flicker", "brightness", "zoom"
    ProfileItemKind kind;
    CameraSetting setting; // for a setting
    CameraControlId axis;  // for a position
    int minimum;           // a position's range; a setting's values are its option table's
    int maximum;
};

// In the order an apply follows: the tracking mode first (an automatic mode before the values that
// belong to it, tracking off before a move), effect and speed, the other values, the picture's
// automatic controls before its manual values, the zoom before pan and tilt, and the microphone
// last, because a change of it restarts the camera.
const std::vector<ProfileItem> &profileItems();
const ProfileItem *findProfileItem(const QString &name);
const ProfileItem &profileItemOf(CameraSetting setting);
const ProfileItem &profileItemOf(CameraControlId axis);
// Whether the value lies in the item's range (a setting: one of its table's values).
bool profileValueInRange(const ProfileItem &item, int value);
// "50Hz (1)" for a setting, "200" for a position or a picture control.
QString profileValueText(const ProfileItem &item, int value);

struct Profile {
    QString name;
    QString model; // the catalogue's model name of the camera it was taken from; empty: unknown
    // By position in profileItems(); empty for an item the profile does not hold.
    std::vector<std::optional<int>> values = std::vector<std::optional<int>>(profileItems().size());

    std::optional<int> value(const ProfileItem &item) const;
    void set(const ProfileItem &item, int value);
    bool isEmpty() const;
};

// Why a file was refused: the file, the item when one is at fault, and what is wrong with it.
struct ProfileError {
    enum class Kind { None, Missing, Damaged, UnknownFormat, UnknownItem, OutOfRange, NotWritten };
    Kind kind = Kind::None;
    QString file;
    QString item;
    QString detail;

    explicit operator bool() const { return kind != Kind::None; }
    // "The profile /home/u/.config/cameracontrol/profiles/Room.json is refused: item "zoom":
    // 900 is outside 100..800."
    QString message() const;
};

// The document of a profile, as it is written (indented, items by name: JSON objects keep no
// order).
QByteArray profileToJson(const Profile &profile);
// Reads a document; `file` names it in an error.
std::optional<Profile> profileFromJson(const QByteArray &document, const QString &file,
                                       ProfileError &error);
