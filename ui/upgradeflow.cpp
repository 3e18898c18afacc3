#include "ui/upgradeflow.h"

#include "device/catalogue.h"
#include "ui/packagerefusaltext.h"
#include "upgrade/abnormaldetectthread.h"
#include "upgrade/formabnormal.h"
#include "upgrade/formupgrade.h"
#include "upgrade/packagejob.h"
#include "upgrade/packagesequence.h"
#include "upgrade/sleepinhibitor.h"
#include "upgrade/upgraderun.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>

namespace {
constexpr int kDummyProgressInterval_ms = 1000;
constexpr int kDummyProgressMinimumStep = 2;
constexpr int kDummyProgressStepChoices = 3; // steps of 2, 3 or 4 percent
// The bar shows 100 only once the worker has reported success.
constexpr int kDummyProgressCeiling = 99;
constexpr int kProgressDone = 100;
} // namespace

UpgradeFlow::UpgradeFlow(UpgradeFlowHost &flowHost, QWidget *parentWindow, QProgressBar *progress,
                         QPushButton *button)
    : host(flowHost)
    , window(parentWindow)
    , progressBar(progress)
    , upgradeButton(button) {
    dummyProgressTimer.setInterval(kDummyProgressInterval_ms);
    connect(&dummyProgressTimer, &QTimer::timeout, this, &UpgradeFlow::advanceProgress);
}

UpgradeFlow::~UpgradeFlow() {
    // The watcher lives until it is stopped, so it still exists here. stop() returns once the
    // current cycle has ended and the watcher has deleted itself.
    watcher.stop();
    watcherWorker = nullptr;
    // Never cut an upgrade short: a camera left half-written is worse than a late exit.
    upgradeWorker.join();
}

void UpgradeFlow::setPackageFileChooser(std::function<QString(QWidget *parent)> chooser) {
    choosePackageFile = std::move(chooser);
}

void UpgradeFlow::setPackageDirectory(const QString &directory) {
    packageDir = directory;
}

QString UpgradeFlow::askForPackage(QWidget *parent) {
    // The window's texts, translated as the window's.
    chosenPackage =
        choosePackageFile
            ? choosePackageFile(parent)
            : QFileDialog::getOpenFileName(
                  parent, QCoreApplication::translate("MainWindow", "Open File"), QString(),
                  QCoreApplication::translate("MainWindow", "Upgrade File(*.zip)"));
    return chosenPackage;
}

bool UpgradeFlow::handedOverForRights(HandOver::Kind kind) {
    if (elevationBackend().canOpenVolumes())
        return false;
    // The elevated instance takes the camera and its disk; this one is idle again, so that the
    // window may close.
    leaveUpgradeState();
    host.handOverForRights(kind, QFileInfo(chosenPackage).absoluteFilePath());
    return true;
}

QString UpgradeFlow::effectivePackageDirectory() const {
    return packageDir.isEmpty() ? packageDirectory() : packageDir;
}

PackageSequenceHooks UpgradeFlow::packageSequenceHooks() {
    PackageSequenceHooks hooks;
    hooks.started = [this] { setWatcherPaused(true); };
    hooks.unpacking = [this](PackageJob *job) { packageJob = job; };
    return hooks;
}

void UpgradeFlow::setWatcherPaused(bool paused) {
    if (watcherWorker)
        watcherWorker->setPaused(paused);
}

void UpgradeFlow::leaveUpgradeState() {
    upgrading = false;
    sleepInhibitor.reset();
    setWatcherPaused(false);
}

bool UpgradeFlow::cancelUnpackingAndCloseLater() {
    if (!packageJob)
        return false;
    packageJob->cancel();
    closeAfterPackage = true;
    return true;
}

void UpgradeFlow::upgradeClicked() {
    // The button comes back with the camera while an upgrade still runs: one upgrade at a time.
    if (upgrading) {
        qDebug("upgrade already under way");
        return;
    }
    upgrading = true;

    const PackageSequenceResult package =
        runPackageSequence([this] { return askForPackage(window); }, effectivePackageDirectory(),
                           packageSequenceHooks());
    if (closeAfterPackage) {
        // The window was closed while the package was unpacked.
        closeAfterPackage = false;
        leaveUpgradeState();
        host.closeWindow();
        return;
    }
    const PackageVerdict verdict =
        judgePackageForCamera(package.outcome, package.model, host.cameraForUpgrade().model);
    if (verdict == PackageVerdict::Cancelled)
        qDebug("Open file dialog cancel.");
    if (verdict != PackageVerdict::Accepted) {
        const QString refusal = packageRefusalText(verdict);
        if (!refusal.isEmpty())
            host.showMessage(refusal, false);
        leaveUpgradeState();
        return;
    }

    FormUpgrade confirmation;
    if (host.runDialog(confirmation) == QDialog::Accepted) {
        if (!handedOverForRights(HandOver::Kind::Upgrade))
            startUpgrade();
    } else {
        qDebug("FormUpgrade rejected.");
        leaveUpgradeState();
    }
}

void UpgradeFlow::carryOnHandOver(HandOver::Kind kind, const QString &package) {
    qInfo() << "carrying on the handed-over upgrade of" << package;
    upgrading = true;
    abnormalPromptOpen = kind == HandOver::Kind::Recover;
    const PackageSequenceResult checked = runPackageSequence(
        [&package] { return package; }, effectivePackageDirectory(), packageSequenceHooks());
    const PackageVerdict verdict =
        kind == HandOver::Kind::Upgrade
            ? judgePackageForCamera(checked.outcome, checked.model, host.cameraForUpgrade().model)
            : judgePackageForStuckCamera(checked.outcome);
    if (verdict == PackageVerdict::Accepted) {
        startUpgrade();
    } else {
        const QString refusal = packageRefusalText(verdict);
        if (!refusal.isEmpty())
            host.showMessage(refusal, false);
        leaveUpgradeState();
    }
    abnormalPromptOpen = false;
}

void UpgradeFlow::startUpgrade() {
    upgrading = true;
    // From here to the final report the camera's disk belongs to the worker alone, and the
    // computer stays awake.
    setWatcherPaused(true);
    if (!sleepInhibitor)
        sleepInhibitor = std::make_unique<SleepInhibitor>(
            QStringLiteral("A camera firmware upgrade is running"));
    progressBar->setValue(0);
    progressBar->show();

    const UpgradeFlowHost::OpenCamera camera = host.cameraForUpgrade();
    // Offered for a stuck camera, the upgrade is not for the open one.
    versionBeforeUpgrade = camera.ready && !abnormalPromptOpen ? camera.firmwareVersion : QString();
    UpgradeRequest request;
    request.productLineSelector = productLine;
    request.cameraReady = camera.ready;
    request.extensionUnit = camera.extensionUnit;
    request.packageDirectory = effectivePackageDirectory();
    request.cameraDeviceId = camera.ready ? camera.deviceId : QString();
    // The report is queued to this thread: it cannot arrive before awaitingReport is set.
    UpgradeCallbacks callbacks;
    callbacks.report = [this](bool ok, int progress, const QString &message) {
        upgradeReported(ok, progress, message);
    };
    startUpgradeWorker(upgradeWorker, request, this, callbacks);
    awaitingReport = true;

    upgradeButton->setEnabled(false);

    dummyProgress = 0;
    dummyProgressTimer.start();
}

void UpgradeFlow::advanceProgress() {
    const int step =
        kDummyProgressMinimumStep +
        static_cast<int>(QRandomGenerator::global()->bounded(kDummyProgressStepChoices));
    dummyProgress = qMin(dummyProgress + step, kDummyProgressCeiling);
    progressBar->setValue(dummyProgress);
}

void UpgradeFlow::upgradeReported(bool ok, int progress, const QString &message) {
    qDebug().noquote() << "upgrade report:" << message;
    if (ok && progress != kProgressDone)
        return;
    // One final report per upgrade: anything after it (also while its message box is open)
    // must not show a second result or end a later upgrade.
    if (!awaitingReport) {
        qWarning("upgrade report without a running upgrade ignored");
        return;
    }
    awaitingReport = false;

    dummyProgressTimer.stop();
    if (ok) {
        progressBar->setValue(kProgressDone);
        reopenUpgradedCamera();
    }
    host.showMessage(upgradeResultText(ok), true);

    leaveUpgradeState();
    progressBar->setValue(0);
    progressBar->hide();
    upgradeButton->setEnabled(true);
}

void UpgradeFlow::reopenUpgradedCamera() {
    // The worker reports success once the camera is back as a video input; the arrival event may
    // still be on its way. A refresh keeps a camera that is open already.
    host.reopenCamera();
    const UpgradeFlowHost::OpenCamera camera = host.cameraForUpgrade();
    const QString unknown = QStringLiteral("unknown");
    qInfo().noquote() << "firmware version before the upgrade:"
                      << (versionBeforeUpgrade.isEmpty() ? unknown : versionBeforeUpgrade)
                      << "after:" << (camera.ready ? camera.firmwareVersion : unknown);
}

void UpgradeFlow::deviceAbnormal(int state) {
    qWarning() << "Detect camera abnormal, state:" << state;
    // Also covers the preparation of a package (its extraction keeps the event loop running) and
    // the nested loops of the prompt's own dialogs.
    if (upgrading || abnormalPromptOpen)
        return;
    abnormalPromptOpen = true;
    {
        FormAbnormal prompt;
        prompt.setPackageFileChooser([this](QWidget *parent) { return askForPackage(parent); });
        prompt.setPackageDirectory(effectivePackageDirectory());
        PackageSequenceHooks hooks = packageSequenceHooks();
        // The prompt is modal: the window cannot be closed while it unpacks a package.
        hooks.unpacking = nullptr;
        prompt.setPackageSequenceHooks(hooks);
        if (host.runDialog(prompt) == QDialog::Accepted) {
            host.showSupportPage();
            FormUpgrade confirmation;
            if (host.runDialog(confirmation) == QDialog::Accepted) {
                if (!handedOverForRights(HandOver::Kind::Recover))
                    startUpgrade();
            } else {
                qDebug("FormUpgrade rejected.");
                setWatcherPaused(false);
            }
        } else {
            qDebug("FormAbnormal rejected.");
            setWatcherPaused(false); // a package may have been tried meanwhile
        }
    }
    abnormalPromptOpen = false;
}

void UpgradeFlow::startWatcher(int productLineSelector) {
    productLine = productLineSelector;
    watcherWorker = new AbnormalDetectThread(productLineSelector);
    connect(watcherWorker, &AbnormalDetectThread::onDeviceAbnormal, this,
            &UpgradeFlow::deviceAbnormal);
    watcher.start(watcherWorker);
}
