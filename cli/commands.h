// The commands of cameracontrol-cli. Each one checks its arguments before it touches a camera,
// and hands back its result for the program to print.
#pragma once

#include "cli/cameraselection.h"
#include "cli/commandline.h"
#include "cli/console.h"
#include "cli/output.h"
#include "device/cameralist.h"

#include <QMutex>
#include <QObject>
#include <QStringList>

#include <optional>

class CameraSession;
struct ApplyOutcome;
struct Profile;
struct ProfileCamera;
class PictureSettings;

// The advice for each device node this user was refused while the program ran, as the platform
// layers report it (once a node), so that a command can say why it found or opened no camera.
class AccessRefusals : public QObject {
public:
    AccessRefusals();
    QStringList advice() const;

private:
    mutable QMutex mutex;
    QStringList collected;
};

struct CommandContext {
    const Invocation &invocation;
    Console &console;
    VendorSelection vendor;
    const AccessRefusals &refusals;
};

// readcommands.cpp
CommandResult runList(CommandContext &context);
CommandResult runInfo(CommandContext &context);
CommandResult runGet(CommandContext &context);
// writecommands.cpp
CommandResult runSet(CommandContext &context);
CommandResult runRestoreDefaults(CommandContext &context);
CommandResult runPtz(CommandContext &context);
// picturecommands.cpp; get and set hand names that are no setting to the picture controls.
CommandResult runPicture(CommandContext &context);
CommandResult runPictureGet(CommandContext &context, const QString &name);
CommandResult runPictureSet(CommandContext &context, const QString &name, const QString &value);
// The picture controls for info: "picture" in the JSON document, and the lines of the text.
QString addPictureInfo(PictureSettings &picture, QJsonObject &json);
// upgradecommands.cpp
CommandResult runUpgrade(CommandContext &context);
CommandResult runRecover(CommandContext &context);
// watchcommand.cpp
CommandResult runWatch(CommandContext &context);
// profilecommands.cpp
CommandResult runProfile(CommandContext &context);
CommandResult runApply(CommandContext &context);

// Shared by the commands (commandsupport.cpp).
// The command's argument at `index`; empty when it was left out.
QString cameraArgument(const CommandContext &context, int index);
// A result that names the chosen camera ("camera" in the JSON document).
CommandResult cameraResult(const CameraChoice &choice);
// "There is no setting ...; the settings are ...".
QString unknownSetting(const QString &name);
// The listed cameras of the configured vendor.
QVector<ListedCamera> listedCameras(const VendorSelection &vendor);
// The camera that the command's argument at `index` names among the listed ones. With none listed
// because this user may not open their nodes, the refusal says so (exit code 4) with the advice.
CameraChoice chooseListedCamera(const CommandContext &context, int index);
// Opens the chosen camera; a refusal when its extension unit cannot be opened, with the system's
// advice when this user may not open it.
std::optional<CommandResult> openChosenCamera(const CommandContext &context,
                                              const CameraChoice &choice, CameraSession &session);
// The camera of argument `index`, chosen and opened in `session`; `refusal` says why when either
// failed.
struct OpenedCamera {
    CameraChoice choice;
    std::optional<CommandResult> refusal;
};
OpenedCamera openListedCamera(const CommandContext &context, int index, CameraSession &session);
// What the camera's model offers and its catalogue name, for a profile.
ProfileCamera profileCameraOf(const CommandContext &context, const ListedCamera &camera);
// Applies the profile to the open camera (--check: compares only); with `waitForCamera`, a
// restart after a microphone change is waited for and what the camera forgot applied again.
ApplyOutcome applyToCamera(const CommandContext &context, const CameraChoice &choice,
                           CameraSession &session, const Profile &profile, bool waitForCamera);
// The report of an apply: {"profile", "changed", "items": {"zoom": {"from", "to", "now",
// "result"}}, ...}, and its lines.
QJsonObject applyJson(const Profile &profile, const ApplyOutcome &outcome, bool check);
QString applyText(const ApplyOutcome &outcome);
// Whether the user agrees: --yes, or "y" at the question on a terminal. Without either, a refusal
// in `refusal` (a script must say --yes).
bool confirmed(CommandContext &context, const QString &question, CommandResult &refusal);
