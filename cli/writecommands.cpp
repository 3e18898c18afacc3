// set, restore-defaults and ptz: a camera written and moved as the Control page writes and moves
// it, each write read back, and a camera that restarts waited for.
#include "cli/camerarestart.h"
#include "cli/commands.h"
#include "common/clock.h"
#include "control/camerasession.h"

#include <QStringList>
#include <QtDebug>

namespace {
// A camera that is back after a restart answers a moment later: the reads are tried again.
constexpr int kReopenTries = 5;
constexpr Milliseconds kReopenPause{500};

ModelControls controlsOf(const CommandContext &context, const ListedCamera &camera) {
    return controlsOfModel(context.vendor.index,
                           modelIndexByIds(camera.vendorId, camera.productId));
}

QString valuesOf(const SettingDefinition &definition) {
    QStringList values;
    for (const OptionPair &option : *definition.options)
        values << QStringLiteral("\"%1\" (%2)").arg(option.label).arg(option.value);
    return values.join(QStringLiteral(", "));
}

// After a restart: the camera opened again and the setting read once it answers.
bool reopenAndRead(const CameraChoice &choice, CameraSession &session, CameraSetting setting,
                   int &value) {
    for (int attempt = 0; attempt < kReopenTries; ++attempt) {
        if (attempt > 0)
            activeClock().sleepFor(kReopenPause);
        if (session.open(choice.camera.device.deviceId, choice.camera.device.friendlyName) &&
            session.readSetting(setting, value))
            return true;
    }
    return false;
}
} // namespace

CommandResult runSet(CommandContext &context) {
    const QStringList &arguments = context.invocation.arguments;
    const SettingDefinition *definition = findSetting(arguments.at(0));
    if (!definition)
        return runPictureSet(context, arguments.at(0), arguments.at(1));
    int value = 0;
    if (!settingValueFromText(*definition, arguments.at(1), value))
        return failure(
            ExitCode::BadArguments,
            QStringLiteral("\"%1\" is no value of %2; it takes %3. Nothing was sent.")
                .arg(arguments.at(1), QLatin1String(definition->name), valuesOf(*definition)));
    const CameraChoice choice = chooseListedCamera(context, 2);
    if (!choice.found)
        return choice.refusal;
    if (!modelOffers(controlsOf(context, choice.camera), definition->setting))
        return failure(ExitCode::SettingRefused,
                       QStringLiteral("The %1 does not offer %2. Nothing was sent.")
                           .arg(choice.camera.displayName, QLatin1String(definition->name)));
    CameraSession session;
    if (std::optional<CommandResult> refusal = openChosenCamera(context, choice, session))
        return *refusal;

    // As on the page: an effect or a speed is written only while the camera frames automatically.
    if (settingNeedsAutoFraming(definition->setting)) {
        const std::optional<int> mode = session.readValue(CameraSetting::TrackingMode);
        if (!settingWritableInMode(definition->setting, mode))
            return failure(
                ExitCode::SettingRefused,
                QStringLiteral("The camera takes %1 only in Auto Framing; its tracking mode is "
                               "%2. Nothing was sent.")
                    .arg(QLatin1String(definition->name),
                         mode ? settingText(settingDefinition(CameraSetting::TrackingMode), *mode)
                              : QStringLiteral("unknown (no answer)")));
    }

    std::optional<int> previous;
    int read = 0;
    if (session.readSetting(definition->setting, read))
        previous = read;
    if (const ControlResult written = session.writeSetting(definition->setting, value); !written)
        return failure(ExitCode::SettingRefused,
                       QStringLiteral("The camera did not take %1 %2: %3.")
                           .arg(QLatin1String(definition->name), settingText(*definition, value),
                                written.describe()));
    std::optional<int> readBack;
    if (session.readBack(definition->setting, value, read))
        readBack = read;

    bool restarted = false;
    if (definition->restartsCamera && previous != value) {
        session.close();
        Console::writeError(
            QStringLiteral("The camera restarts; waiting for it to come back...\n"));
        const RestartOutcome outcome = waitForRestart(choice.camera.device.deviceId);
        if (outcome == RestartOutcome::NotBack)
            return failure(ExitCode::SettingRefused,
                           QStringLiteral("The camera did not come back after its restart."));
        restarted = outcome == RestartOutcome::Back;
        readBack.reset();
        if (reopenAndRead(choice, session, definition->setting, read))
            readBack = read;
    }

    CommandResult result = cameraResult(choice);
    result.json[QStringLiteral("setting")] = QLatin1String(definition->name);
    result.json[QStringLiteral("requested")] = settingJson(*definition, value);
    result.json[QStringLiteral("previous")] = settingJson(*definition, previous);
    result.json[QStringLiteral("readBack")] = settingJson(*definition, readBack);
    result.json[QStringLiteral("confirmed")] = readBack == value;
    result.json[QStringLiteral("restarted")] = restarted;
    if (readBack != value) {
        result.code = ExitCode::SettingRefused;
        result.error =
            QStringLiteral("The camera did not confirm %1 %2: it reports %3.")
                .arg(QLatin1String(definition->name), settingText(*definition, value),
                     readBack ? settingText(*definition, *readBack) : QStringLiteral("nothing"));
        return result;
    }
    result.text =
        QStringLiteral("%1: %2%3\n")
            .arg(QLatin1String(definition->name), settingText(*definition, value),
                 restarted ? QStringLiteral(" (the camera restarted and is back)") : QString());
    return result;
}

CommandResult runRestoreDefaults(CommandContext &context) {
    const CameraChoice choice = chooseListedCamera(context, 0);
    if (!choice.found)
        return choice.refusal;
    CommandResult refusal;
    if (!confirmed(context,
                   QStringLiteral("Restore the factory settings of %1? It restarts.")
                       .arg(cameraText(choice.camera)),
                   refusal))
        return refusal;
    CameraSession session;
    if (std::optional<CommandResult> openRefusal = openChosenCamera(context, choice, session))
        return *openRefusal;
    if (const ControlResult restored = session.restoreDefaults(); !restored)
        return failure(ExitCode::SettingRefused,
                       QStringLiteral("The camera did not take restore defaults: %1.")
                           .arg(restored.describe()));
    session.close();
    Console::writeError(QStringLiteral("The camera restarts; waiting for it to come back...\n"));
    const RestartOutcome outcome = waitForRestart(choice.camera.device.deviceId);
    if (outcome == RestartOutcome::NotBack)
        return failure(ExitCode::SettingRefused,
                       QStringLiteral("The camera did not come back after its restart."));
    CommandResult result = cameraResult(choice);
    result.json[QStringLiteral("restarted")] = outcome == RestartOutcome::Back;
    result.text =
        outcome == RestartOutcome::Back
            ? QStringLiteral("Factory settings restored; the camera restarted and is back.\n")
            : QStringLiteral("Factory settings restored; the camera did not restart.\n");
    return result;
}

CommandResult runPtz(CommandContext &context) {
    const Invocation &invocation = context.invocation;
    if (!invocation.pan_deg && !invocation.tilt_deg && !invocation.zoom_percent)
        return failure(ExitCode::BadArguments,
                       QStringLiteral("Give --pan, --tilt or --zoom (see ptz --help)."));
    // In the order of the moves: the zoom first, as pan and tilt need it.
    const struct {
        const char *name;
        CameraControlId id;
        std::optional<int> value;
        int minimum;
        int maximum;
    } axes[] = {
        {"zoom", CameraControlId::Zoom, invocation.zoom_percent, kZoomMinimum_percent,
         kZoomMaximum_percent},
        {"pan", CameraControlId::Pan, invocation.pan_deg, -kPanTiltLimit_deg, kPanTiltLimit_deg},
        {"tilt", CameraControlId::Tilt, invocation.tilt_deg, -kPanTiltLimit_deg,
         kPanTiltLimit_deg}};
    for (const auto &axis : axes)
        if (axis.value && (*axis.value < axis.minimum || *axis.value > axis.maximum))
            return failure(ExitCode::BadArguments,
                           QStringLiteral("%1 %2 is outside %3..%4. Nothing was sent.")
                               .arg(QLatin1String(axis.name))
                               .arg(*axis.value)
                               .arg(axis.minimum)
                               .arg(axis.maximum));

    const CameraChoice choice = chooseListedCamera(context, 0);
    if (!choice.found)
        return choice.refusal;
    if (!controlsOf(context, choice.camera).position)
        return failure(ExitCode::SettingRefused,
                       QStringLiteral("The %1 does not offer pan, tilt and zoom. Nothing was sent.")
                           .arg(choice.camera.displayName));
    CameraSession session;
    if (std::optional<CommandResult> refusal = openChosenCamera(context, choice, session))
        return *refusal;
    if (!session.isBound())
        return failure(ExitCode::CameraUnavailable,
                       QStringLiteral("The pan, tilt and zoom controls of %1 cannot be opened.")
                           .arg(cameraText(choice.camera)));
    int mode = kTrackingOff;
    if (session.readSetting(CameraSetting::TrackingMode, mode) && mode != kTrackingOff)
        return failure(ExitCode::SettingRefused,
                       QStringLiteral("The camera frames itself (tracking mode %1): it is moved "
                                      "with tracking-mode Off. Nothing was sent.")
                           .arg(settingText(settingDefinition(CameraSetting::TrackingMode), mode)));
    const CameraPosition before = session.readPosition();
    const int zoom = invocation.zoom_percent.value_or(before.zoom_percent);
    if ((invocation.pan_deg || invocation.tilt_deg) && !padMovesAtZoom(zoom))
        return failure(ExitCode::SettingRefused,
                       QStringLiteral("Pan and tilt move a zoomed picture only: the zoom is %1%; "
                                      "give --zoom above %2 as well. Nothing was sent.")
                           .arg(zoom)
                           .arg(kZoomMinimum_percent));

    for (const auto &axis : axes) {
        if (!axis.value)
            continue;
        if (const ControlResult moved = session.move(axis.id, *axis.value); !moved)
            return failure(ExitCode::SettingRefused, QStringLiteral("The camera refused %1 %2: %3.")
                                                         .arg(QLatin1String(axis.name))
                                                         .arg(*axis.value)
                                                         .arg(moved.describe()));
    }

    const CameraPosition after = session.readPosition();
    CommandResult result = cameraResult(choice);
    QJsonObject requested;
    for (const auto &axis : axes)
        if (axis.value)
            requested[QLatin1String(axis.name)] = *axis.value;
    result.json[QStringLiteral("requested")] = requested;
    result.json[QStringLiteral("ptz")] =
        positionJson(after.pan_deg, after.tilt_deg, after.zoom_percent);
    result.text = QStringLiteral("The camera reports %1.\n")
                      .arg(positionText(after.pan_deg, after.tilt_deg, after.zoom_percent));
    return result;
}
