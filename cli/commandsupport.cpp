// What the commands share: the listed cameras, the opening of the chosen one, the question before a
// step that cannot be taken back, and the forms of a result.
#include "cli/commands.h"
#include "common/deviceaccess.h"
#include "control/camerasession.h"

#include <QStringList>

QString cameraArgument(const CommandContext &context, int index) {
    return context.invocation.arguments.value(index);
}

CommandResult cameraResult(const CameraChoice &choice) {
    CommandResult result;
    result.json[QStringLiteral("camera")] = cameraJson(choice.camera, choice.position);
    return result;
}

QString unknownSetting(const QString &name) {
    QStringList names;
    for (const SettingDefinition &definition : cameraSettings())
        names << QLatin1String(definition.name);
    return QStringLiteral("There is no setting \"%1\"; the settings are %2.")
        .arg(name, names.join(QStringLiteral(", ")));
}

// Opens the chosen camera; a refusal when its extension unit cannot be opened, with the
// system's advice when it was a matter of permission.
std::optional<CommandResult> openChosenCamera(const CameraChoice &choice, CameraSession &session) {
    QString advice;
    QObject receiver;
    QObject::connect(
        &DeviceAccessNotices::instance(), &DeviceAccessNotices::accessDenied, &receiver,
        [&advice](const QString &, const QString &text) { advice = text; }, Qt::DirectConnection);
    if (session.open(choice.camera.device.deviceId, choice.camera.device.friendlyName))
        return std::nullopt;
    QString message = QStringLiteral("Cannot open the camera %1: it is in use by another "
                                     "program, or this user may not open it.")
                          .arg(cameraText(choice.camera));
    if (!advice.isEmpty())
        message += QLatin1Char('\n') + advice;
    return failure(ExitCode::CameraUnavailable, message);
}

QVector<ListedCamera> listedCameras(const VendorSelection &vendor) {
    return camerasOfVendor(enumerateVideoInputs(), vendor.vendorId);
}

bool confirmed(CommandContext &context, const QString &question, CommandResult &refusal) {
    if (context.invocation.yes)
        return true;
    if (!Console::isInteractive()) {
        refusal = failure(ExitCode::BadArguments,
                          QStringLiteral("Not asked without a terminal: give --yes to go ahead."));
        return false;
    }
    if (context.console.ask(question))
        return true;
    refusal = failure(ExitCode::Failed, QStringLiteral("Cancelled; nothing was sent."));
    return false;
}
