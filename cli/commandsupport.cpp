// What the commands share: the listed cameras, the opening of the chosen one, the question before a
// step that cannot be taken back, and the forms of a result.
#include "cli/commands.h"
#include "common/deviceaccess.h"
#include "control/camerasession.h"

#include <QMutexLocker>
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

AccessRefusals::AccessRefusals() {
    connect(
        &DeviceAccessNotices::instance(), &DeviceAccessNotices::accessDenied, this,
        [this](const QString &, const QString &advice) {
            QMutexLocker locker(&mutex);
            collected << advice;
        },
        Qt::DirectConnection);
}

QStringList AccessRefusals::advice() const {
    QMutexLocker locker(&mutex);
    return collected;
}

CameraChoice chooseListedCamera(const CommandContext &context, int index) {
    const QVector<ListedCamera> cameras = listedCameras(context.vendor);
    const QStringList advice = context.refusals.advice();
    if (!cameras.isEmpty() || advice.isEmpty())
        return chooseCamera(cameras, cameraArgument(context, index));
    CameraChoice choice;
    choice.refusal =
        failure(ExitCode::CameraUnavailable,
                QStringLiteral("No camera could be opened.\n") + advice.join(QLatin1Char('\n')));
    return choice;
}

std::optional<CommandResult> openChosenCamera(const CommandContext &context,
                                              const CameraChoice &choice, CameraSession &session) {
    const ControlResult opened =
        session.open(choice.camera.device.deviceId, choice.camera.device.friendlyName);
    // Without any way to extension units on this system the camera still moves and its picture
    // can be set; each of its own settings then fails with that reason.
    if (opened || session.openWithoutExtensionUnit())
        return std::nullopt;
    QString message = QStringLiteral("Cannot open the camera %1: it is in use by another "
                                     "program, or this user may not open it (%2).")
                          .arg(cameraText(choice.camera), opened.describe());
    const QStringList advice = context.refusals.advice();
    if (!advice.isEmpty())
        message += QLatin1Char('\n') + advice.join(QLatin1Char('\n'));
    return failure(ExitCode::CameraUnavailable, message);
}

OpenedCamera openListedCamera(const CommandContext &context, int index, CameraSession &session) {
    OpenedCamera opened{chooseListedCamera(context, index), std::nullopt};
    if (!opened.choice.found)
        opened.refusal = opened.choice.refusal;
    else
        opened.refusal = openChosenCamera(context, opened.choice, session);
    return opened;
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
