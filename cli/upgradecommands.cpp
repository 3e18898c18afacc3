// upgrade and recover: the window's package sequence and verdicts, the question, and the upgrade
// worker started as the window starts it, with its steps on standard error.
#include "cli/cameraselection.h"
#include "cli/commands.h"
#include "control/camerasession.h"
#include "device/catalogue.h"
#include "upgrade/elevation.h"
#include "upgrade/massstorage.h"
#include "upgrade/packagesequence.h"
#include "upgrade/sleepinhibitor.h"
#include "upgrade/upgraderun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QtDebug>

namespace {
constexpr int kProgressNote_ms = 10000;
constexpr int kUpgradeDone_percent = 100;

const char kUpgradeQuestion[] =
    "Get Ready to Update: make sure the camera is not in use by another application. The update "
    "takes a few minutes; do not disconnect the camera during the update. Upgrade %1 with %2?";

struct UpgradeOutcome {
    bool ok = false;
    QString message;
};

// Runs one upgrade worker to its report while this thread serves its events: each step, and a
// note every ten seconds, on standard error. The computer is kept awake meanwhile, and an
// interrupt does not end the program: a camera left half-written is worse than a late exit.
UpgradeOutcome runUpgradeWorker(const UpgradeRequest &request, Console &console) {
    const SleepInhibitor inhibitor(QStringLiteral("A camera firmware upgrade is running"));
    UpgradeOutcome outcome;
    QEventLoop loop;
    QElapsedTimer elapsed;
    elapsed.start();
    auto note = [&elapsed](const QString &text) {
        Console::writeError(QStringLiteral("[%1 s] %2\n").arg(elapsed.elapsed() / 1000).arg(text));
    };
    QString stage = QStringLiteral("starting");
    UpgradeCallbacks callbacks;
    callbacks.report = [&outcome, &loop](bool ok, int progress, const QString &message) {
        qDebug().noquote() << "upgrade report:" << message;
        if (ok && progress != kUpgradeDone_percent)
            return;
        outcome = {ok, message};
        loop.quit();
    };
    callbacks.stage = [&stage, &note](const QString &reached) {
        stage = reached;
        note(reached);
    };
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, &loop,
                     [&stage, &note] { note(QStringLiteral("still %1").arg(stage)); });
    progress.start(kProgressNote_ms);
    console.catchInterrupts();
    QObject::connect(&console, &Console::interrupted, &loop, [] {
        Console::writeError(QStringLiteral("Cannot exit during the upgrade process!\n"));
    });
    WorkerThread thread;
    startUpgradeWorker(thread, request, &loop, callbacks);
    loop.exec();
    // The worker ends right after its report.
    thread.join();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return outcome;
}

// A refused package in the window's words, and the reason of the step that refused it.
std::optional<CommandResult> refusedPackage(const QString &package, PackageVerdict verdict,
                                            const QString &reason) {
    if (verdict == PackageVerdict::Accepted)
        return std::nullopt;
    QJsonObject details;
    details[QStringLiteral("package")] = package;
    QString message =
        QStringLiteral("Unable to upgrade now. %1").arg(packageVerdictSentence(verdict));
    if (verdict != PackageVerdict::OtherModel && !reason.isEmpty())
        message += QStringLiteral(" (%1)").arg(reason);
    return failure(ExitCode::PackageRefused, message, details);
}

CommandResult upgradeResult(CommandResult result, const UpgradeOutcome &outcome) {
    result.json[QStringLiteral("ok")] = outcome.ok;
    result.json[QStringLiteral("message")] = outcome.message;
    const QString told = plainText(upgradeResultText(outcome.ok));
    if (!outcome.ok) {
        result.code = ExitCode::UpgradeFailed;
        result.error = QStringLiteral("%1 (%2)").arg(told, outcome.message);
    }
    result.text = told + QLatin1Char('\n') + result.text;
    return result;
}

// Raw access to the camera's disk needs administrator rights on Windows; nothing is done without.
std::optional<CommandResult> refusedWithoutRights() {
    if (elevationBackend().canOpenVolumes())
        return std::nullopt;
    return failure(ExitCode::CameraUnavailable,
                   QStringLiteral("Writing a camera's firmware needs administrator rights: run it "
                                  "from an elevated prompt."));
}

// A package path that names a file, made absolute for the log and the JSON document.
std::optional<QString> packageFile(const QString &argument, CommandResult &refusal) {
    const QFileInfo file(argument);
    if (file.isFile())
        return file.absoluteFilePath();
    refusal =
        failure(ExitCode::BadArguments, QStringLiteral("There is no file \"%1\".").arg(argument));
    return std::nullopt;
}
} // namespace

CommandResult runUpgrade(CommandContext &context) {
    if (std::optional<CommandResult> refused = refusedWithoutRights())
        return *refused;
    CommandResult refusal;
    const std::optional<QString> package = packageFile(context.invocation.arguments.at(0), refusal);
    if (!package)
        return refusal;
    const CameraChoice choice = chooseListedCamera(context, 1);
    if (!choice.found)
        return choice.refusal;
    const int cameraModel = modelIndexByName(choice.camera.device.friendlyName);
    qInfo() << "current open camera model:" << cameraModel;

    const PackageSequenceResult unpacked =
        runPackageSequence([&package] { return *package; }, QString());
    if (std::optional<CommandResult> refused = refusedPackage(
            *package, judgePackageForCamera(unpacked.outcome, unpacked.model, cameraModel),
            unpacked.reason))
        return *refused;
    if (!confirmed(context,
                   QString::fromLatin1(kUpgradeQuestion).arg(cameraText(choice.camera), *package),
                   refusal))
        return refusal;

    CameraSession session;
    const QString deviceId = choice.camera.device.deviceId;
    const QString name = choice.camera.device.friendlyName;
    if (std::optional<CommandResult> openRefusal = openChosenCamera(context, choice, session))
        return *openRefusal;
    QString before;
    session.readFirmwareVersion(before);

    UpgradeRequest request;
    request.productLineSelector = context.vendor.index;
    request.cameraReady = true;
    request.extensionUnit = &session.extensionUnit();
    request.cameraDeviceId = deviceId;
    const UpgradeOutcome outcome = runUpgradeWorker(request, context.console);

    // The camera came back as a new device: its version is read from there.
    QString after;
    if (outcome.ok && session.open(deviceId, name))
        session.readFirmwareVersion(after);
    session.close();
    qInfo().noquote() << "firmware version before the upgrade:"
                      << (before.isEmpty() ? QStringLiteral("unknown") : before)
                      << "after:" << (after.isEmpty() ? QStringLiteral("unknown") : after);

    CommandResult result;
    result.json[QStringLiteral("camera")] = cameraJson(choice.camera, choice.position);
    result.json[QStringLiteral("package")] = *package;
    result.json[QStringLiteral("packageModel")] = ProductModelTable.at(unpacked.model).modelName;
    result.json[QStringLiteral("firmwareVersionBefore")] =
        before.isEmpty() ? QJsonValue() : QJsonValue(before);
    result.json[QStringLiteral("firmwareVersionAfter")] =
        after.isEmpty() ? QJsonValue() : QJsonValue(after);
    if (outcome.ok)
        result.text = QStringLiteral("Firmware version %1, before %2.\n")
                          .arg(after.isEmpty() ? QStringLiteral("unknown") : after,
                               before.isEmpty() ? QStringLiteral("unknown") : before);
    return upgradeResult(result, outcome);
}

CommandResult runRecover(CommandContext &context) {
    if (std::optional<CommandResult> refused = refusedWithoutRights())
        return *refused;
    CommandResult refusal;
    const std::optional<QString> package = packageFile(context.invocation.arguments.at(0), refusal);
    if (!package)
        return refusal;
    UpdaterDeviceState state = UpdaterStateNone;
    if (!findUpdaterDevice(context.vendor.index, state) || state == UpdaterStateNone) {
        const QStringList advice = context.refusals.advice();
        if (!advice.isEmpty())
            return failure(ExitCode::CameraUnavailable,
                           QStringLiteral("No disk of a camera could be opened.\n") +
                               advice.join(QLatin1Char('\n')));
        return failure(
            ExitCode::NoSuchCamera,
            QStringLiteral("No camera of the configured vendor is in an updater stage."));
    }
    const QString stage = QLatin1String(updaterStateName(state));

    const PackageSequenceResult unpacked =
        runPackageSequence([&package] { return *package; }, QString());
    if (std::optional<CommandResult> refused =
            refusedPackage(*package, judgePackageForStuckCamera(unpacked.outcome), unpacked.reason))
        return *refused;
    if (!confirmed(context,
                   QString::fromLatin1(kUpgradeQuestion)
                       .arg(QStringLiteral("the camera in its %1 stage").arg(stage), *package),
                   refusal))
        return refusal;

    UpgradeRequest request;
    request.productLineSelector = context.vendor.index;
    CommandResult result;
    result.json[QStringLiteral("stage")] = stage;
    result.json[QStringLiteral("package")] = *package;
    return upgradeResult(result, runUpgradeWorker(request, context.console));
}
