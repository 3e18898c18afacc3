// profile and apply: profiles saved from a camera, listed, shown, exported, chosen as a camera's
// connect profile, and applied to a camera with a report of each item.
#include "cli/camerarestart.h"
#include "cli/commands.h"
#include "common/clock.h"
#include "control/camerasession.h"
#include "profile/profileapply.h"
#include "profile/profilestore.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace {
// A camera that is back after a restart answers a moment later: the open is tried again.
constexpr int kReopenTries = 5;
constexpr Milliseconds kReopenPause{500};

CommandResult profileRefused(const ProfileError &error) {
    return failure(ExitCode::BadArguments, error.message());
}

// A saved profile by its name, or a file: an argument ending in ".json" or holding a path.
std::optional<Profile> loadNamedOrFile(const QString &argument, ProfileError &error) {
    const bool isFile = argument.endsWith(QLatin1String(".json"), Qt::CaseInsensitive) ||
                        argument.contains(QLatin1Char('/')) || argument.contains(QLatin1Char('\\'));
    if (isFile)
        return loadProfileFile(argument, error);
    std::optional<Profile> profile = loadStoredProfile(argument, error);
    if (!profile && error.kind == ProfileError::Kind::Missing)
        error.file = argument;
    return profile;
}

QJsonValue optionalJson(std::optional<int> value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

CommandResult listProfiles() {
    CommandResult result;
    QJsonArray profiles;
    QVector<QPair<QString, QString>> rows;
    for (const QString &name : storedProfileNames()) {
        QJsonObject entry;
        entry[QStringLiteral("name")] = name;
        entry[QStringLiteral("file")] = storedProfileFile(name);
        ProfileError error;
        const std::optional<Profile> profile = loadStoredProfile(name, error);
        entry[QStringLiteral("model")] =
            profile && !profile->model.isEmpty() ? QJsonValue(profile->model) : QJsonValue();
        if (!profile)
            entry[QStringLiteral("error")] = error.message();
        profiles.append(entry);
        rows.append({name, profile ? profile->model : QStringLiteral("(refused: see show)")});
    }
    result.json[QStringLiteral("profiles")] = profiles;
    result.json[QStringLiteral("folder")] = profilesFolder();
    result.text = rows.isEmpty()
                      ? QStringLiteral("No profile is saved (%1).\n").arg(profilesFolder())
                      : alignedLines(rows);
    return result;
}

CommandResult showProfile(const QString &name) {
    ProfileError error;
    const std::optional<Profile> profile = loadStoredProfile(name, error);
    if (!profile)
        return profileRefused(error);
    CommandResult result;
    result.json[QStringLiteral("name")] = profile->name;
    result.json[QStringLiteral("model")] =
        profile->model.isEmpty() ? QJsonValue() : QJsonValue(profile->model);
    result.json[QStringLiteral("file")] = storedProfileFile(name);
    QJsonObject items;
    QVector<QPair<QString, QString>> rows = {
        {QStringLiteral("Profile"), profile->name},
        {QStringLiteral("Model"),
         profile->model.isEmpty() ? QStringLiteral("unknown") : profile->model}};
    for (const ProfileItem &item : profileItems()) {
        if (const std::optional<int> value = profile->value(item)) {
            items[QLatin1String(item.name)] = *value;
            rows.append({QLatin1String(item.name), profileValueText(item, *value)});
        }
    }
    result.json[QStringLiteral("items")] = items;
    result.text = alignedLines(rows);
    return result;
}

CommandResult saveFromCamera(CommandContext &context, const QString &name) {
    if (!isValidProfileName(name))
        return failure(ExitCode::BadArguments,
                       QStringLiteral("\"%1\" cannot name a profile: give 1 to 64 characters, "
                                      "without / \\ : * ? \" < > | and not starting with a point.")
                           .arg(name));
    CameraSession session;
    const OpenedCamera opened = openListedCamera(context, 2, session);
    if (opened.refusal)
        return *opened.refusal;
    const CameraChoice &choice = opened.choice;
    const Profile profile = takeProfile(session, profileCameraOf(context, choice.camera), name);
    if (profile.isEmpty())
        return failure(ExitCode::SettingRefused,
                       QStringLiteral("The camera answered no query: nothing to save."));
    ProfileError error;
    if (!saveProfile(profile, error))
        return failure(ExitCode::Failed, error.message());
    CommandResult result = cameraResult(choice);
    result.json[QStringLiteral("name")] = name;
    result.json[QStringLiteral("file")] = storedProfileFile(name);
    QStringList names;
    for (const ProfileItem &item : profileItems())
        if (profile.value(item))
            names << QLatin1String(item.name);
    result.json[QStringLiteral("items")] = QJsonArray::fromStringList(names);
    result.text = QStringLiteral("Saved %1 (%2) in %3.\n")
                      .arg(name, names.join(QStringLiteral(", ")), storedProfileFile(name));
    return result;
}

CommandResult deleteProfile(const QString &name) {
    if (!deleteStoredProfile(name))
        return failure(ExitCode::BadArguments,
                       QStringLiteral("There is no profile \"%1\".").arg(name));
    CommandResult result;
    result.json[QStringLiteral("deleted")] = name;
    result.text = QStringLiteral("Deleted %1.\n").arg(name);
    return result;
}

CommandResult exportProfile(CommandContext &context, const QString &name) {
    ProfileError error;
    const std::optional<Profile> profile = loadStoredProfile(name, error);
    if (!profile)
        return profileRefused(error);
    context.console.writeOutput(QString::fromUtf8(profileToJson(*profile)));
    CommandResult result;
    result.streamed = true;
    return result;
}

CommandResult chooseConnectProfile(CommandContext &context) {
    const QStringList &arguments = context.invocation.arguments;
    const bool none = context.invocation.none;
    const QString name = none ? QString() : arguments.value(1);
    if (!none && name.isEmpty())
        return failure(ExitCode::BadArguments,
                       QStringLiteral("Give the profile's name, or --none."));
    if (!none) {
        ProfileError error;
        if (!loadStoredProfile(name, error))
            return profileRefused(error);
    }
    const CameraChoice choice = chooseListedCamera(context, none ? 1 : 2);
    if (!choice.found)
        return choice.refusal;
    setConnectProfile(
        cameraIdentity(choice.camera.device.friendlyName, choice.camera.device.deviceId), name);
    CommandResult result = cameraResult(choice);
    result.json[QStringLiteral("connectProfile")] = none ? QJsonValue() : QJsonValue(name);
    result.text = none ? QStringLiteral("No profile is applied when %1 connects.\n")
                             .arg(cameraText(choice.camera))
                       : QStringLiteral("%1 is applied whenever %2 connects.\n")
                             .arg(name, cameraText(choice.camera));
    return result;
}
} // namespace

ProfileCamera profileCameraOf(const CommandContext &context, const ListedCamera &camera) {
    return ProfileCamera{
        controlsOfModel(context.vendor.index, modelIndexByIds(camera.vendorId, camera.productId)),
        catalogueModelName(camera.device.friendlyName)};
}

ApplyOutcome applyToCamera(const CommandContext &context, const CameraChoice &choice,
                           CameraSession &session, const Profile &profile, bool waitForCamera) {
    ApplyOptions options;
    options.check = context.invocation.check;
    if (waitForCamera) {
        options.reopenAfterRestart = [&choice, &session] {
            session.close();
            Console::writeError(
                QStringLiteral("The camera restarts; waiting for it to come back...\n"));
            if (waitForRestart(choice.camera.device.deviceId) == RestartOutcome::NotBack)
                return false;
            int answer = 0;
            for (int attempt = 0; attempt < kReopenTries; ++attempt) {
                if (attempt > 0)
                    activeClock().sleepFor(kReopenPause);
                if (session.open(choice.camera.device.deviceId,
                                 choice.camera.device.friendlyName) &&
                    session.readSetting(CameraSetting::Microphone, answer))
                    return true;
            }
            return false;
        };
    }
    return applyProfile(profile, session, profileCameraOf(context, choice.camera), options);
}

QJsonObject applyJson(const Profile &profile, const ApplyOutcome &outcome, bool check) {
    QJsonObject json;
    json[QStringLiteral("profile")] = profile.name;
    json[QStringLiteral("profileModel")] =
        profile.model.isEmpty() ? QJsonValue() : QJsonValue(profile.model);
    json[QStringLiteral("check")] = check;
    json[QStringLiteral("changed")] = outcome.changed();
    json[QStringLiteral("refused")] = outcome.refused();
    json[QStringLiteral("restarted")] = outcome.restarted;
    json[QStringLiteral("leftOut")] = QJsonArray::fromStringList(outcome.leftOut());
    QJsonObject items;
    for (const ItemOutcome &item : outcome.items) {
        QJsonObject entry;
        entry[QStringLiteral("from")] = optionalJson(item.from);
        entry[QStringLiteral("to")] = item.to;
        entry[QStringLiteral("now")] = optionalJson(item.now);
        entry[QStringLiteral("result")] = QLatin1String(itemResultName(item.result));
        if (!item.note.isEmpty())
            entry[QStringLiteral("note")] = item.note;
        items[QLatin1String(item.item->name)] = entry;
    }
    json[QStringLiteral("items")] = items;
    return json;
}

QString applyText(const ApplyOutcome &outcome) {
    QVector<QPair<QString, QString>> rows;
    for (const ItemOutcome &item : outcome.items) {
        const QString from =
            item.from ? profileValueText(*item.item, *item.from) : QStringLiteral("(no answer)");
        QString line =
            item.result == ItemResult::Unchanged || item.from == item.to
                ? from
                : QStringLiteral("%1 -> %2").arg(from, profileValueText(*item.item, item.to));
        line += QStringLiteral("  %1").arg(QLatin1String(itemResultName(item.result)));
        if (!item.note.isEmpty())
            line += QStringLiteral(" (%1)").arg(item.note);
        rows.append({QLatin1String(item.item->name), line});
    }
    return alignedLines(rows);
}

CommandResult runProfile(CommandContext &context) {
    const QStringList &arguments = context.invocation.arguments;
    const QString action = arguments.at(0);
    const QString name = arguments.value(1);
    const struct {
        const char *action;
        int minimum;
        int maximum;
    } shapes[] = {{"list", 1, 1},   {"show", 2, 2},   {"save", 2, 3},
                  {"delete", 2, 2}, {"export", 2, 2}, {"connect", 1, 3}};
    for (const auto &shape : shapes) {
        if (action != QLatin1String(shape.action))
            continue;
        if (arguments.size() < shape.minimum || arguments.size() > shape.maximum)
            return failure(ExitCode::BadArguments,
                           QStringLiteral("profile %1 takes other arguments (cameracontrol-cli "
                                          "profile --help).")
                               .arg(action));
        if (context.invocation.none && action != QLatin1String("connect"))
            return failure(ExitCode::BadArguments,
                           QStringLiteral("--none belongs to profile connect."));
        if (action == QLatin1String("list"))
            return listProfiles();
        if (action == QLatin1String("show"))
            return showProfile(name);
        if (action == QLatin1String("save"))
            return saveFromCamera(context, name);
        if (action == QLatin1String("delete"))
            return deleteProfile(name);
        if (action == QLatin1String("export"))
            return exportProfile(context, name);
        return chooseConnectProfile(context);
    }
    return failure(ExitCode::BadArguments,
                   QStringLiteral("There is no profile command \"%1\"; they are list, show, save, "
                                  "delete, export and connect.")
                       .arg(action));
}

CommandResult runApply(CommandContext &context) {
    const QString argument = context.invocation.arguments.at(0);
    ProfileError error;
    const std::optional<Profile> profile = loadNamedOrFile(argument, error);
    if (!profile)
        return profileRefused(error);
    CameraSession session;
    const OpenedCamera opened = openListedCamera(context, 1, session);
    if (opened.refusal)
        return *opened.refusal;
    const CameraChoice &choice = opened.choice;
    const bool check = context.invocation.check;
    const ApplyOutcome outcome = applyToCamera(context, choice, session, *profile, true);

    CommandResult result = cameraResult(choice);
    const QJsonObject details = applyJson(*profile, outcome, check);
    for (auto entry = details.begin(); entry != details.end(); ++entry)
        result.json[entry.key()] = entry.value();
    const QString cameraModel = catalogueModelName(choice.camera.device.friendlyName);
    QString heading = QStringLiteral("%1 on %2").arg(profile->name, cameraText(choice.camera));
    if (!profile->model.isEmpty() && profile->model != cameraModel)
        heading += QStringLiteral(" (a profile of the %1)").arg(profile->model);
    result.text = heading + QStringLiteral(":\n") + applyText(outcome);
    if (!outcome.leftOut().isEmpty())
        result.text += QStringLiteral("Left out, as this camera does not take them now: %1.\n")
                           .arg(outcome.leftOut().join(QStringLiteral(", ")));
    if (outcome.refused()) {
        result.code = ExitCode::SettingRefused;
        result.error = QStringLiteral("The camera did not take every item of %1:\n%2")
                           .arg(profile->name, applyText(outcome).trimmed());
    } else if (check) {
        result.text += outcome.changed() ? QStringLiteral("Nothing was written (--check).\n")
                                         : QStringLiteral("The camera is as the profile says.\n");
    } else {
        result.text += QStringLiteral("The camera is as the profile says.\n");
    }
    return result;
}
