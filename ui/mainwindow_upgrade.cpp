// The firmware upgrade started from the Support page, and the watcher that finds a camera left in
// an updater stage.
#include "device/catalogue.h"
#include "ui/mainwindow.h"
#include "ui/packagerefusaltext.h"
#include "ui_mainwindow.h"
#include "upgrade/abnormaldetectthread.h"
#include "upgrade/formabnormal.h"
#include "upgrade/formupgrade.h"
#include "upgrade/packagefiles.h"
#include "upgrade/packagesequence.h"
#include "upgrade/sleepinhibitor.h"
#include "upgrade/upgraderun.h"

#include <QDebug>
#include <QFileDialog>
#include <QRandomGenerator>
#include <QTimer>

namespace {
constexpr int kDummyProgressInterval_ms = 1000;
constexpr int kDummyProgressMinimumStep = 2;
constexpr int kDummyProgressStepChoices = 3; // steps of 2, 3 or 4 percent
// The bar shows 100 only once the worker has reported success.
constexpr int kDummyProgressCeiling = 99;
constexpr int kProgressDone = 100;
} // namespace

QString MainWindow::askForPackage(QWidget *parent) {
    // Kept for a hand-over to an elevated instance.
    chosenPackage = choosePackageFile
                        ? choosePackageFile(parent)
                        : QFileDialog::getOpenFileName(parent, tr("Open File"), QString(),
                                                       tr("Upgrade File(*.zip)"));
    return chosenPackage;
}

QString MainWindow::effectivePackageDirectory() const {
    return packageDir.isEmpty() ? packageDirectory() : packageDir;
}

PackageSequenceHooks MainWindow::packageSequenceHooks() {
    PackageSequenceHooks hooks;
    hooks.started = [this] { setWatcherPaused(true); };
    hooks.unpacking = [this](PackageJob *job) { packageJob = job; };
    return hooks;
}

void MainWindow::setWatcherPaused(bool paused) {
    if (abnormalWorker)
        abnormalWorker->setPaused(paused);
}

void MainWindow::leaveUpgradeState() {
    upgrading = false;
    sleepInhibitor.reset();
    setWatcherPaused(false);
}

void MainWindow::on_btnUpgrade_clicked() {
    // The button comes back with the camera while an upgrade still runs: one upgrade at a time.
    if (upgrading) {
        qDebug("upgrade already under way");
        return;
    }
    upgrading = true;

    const PackageSequenceResult package =
        runPackageSequence([this] { return askForPackage(this); }, effectivePackageDirectory(),
                           packageSequenceHooks());
    if (closeAfterPackage) {
        // The window was closed while the package was unpacked.
        closeAfterPackage = false;
        leaveUpgradeState();
        close();
        return;
    }
    const PackageVerdict verdict =
        judgePackageForCamera(package.outcome, package.model, modelIndex);
    if (verdict == PackageVerdict::Cancelled)
        qDebug("Open file dialog cancel.");
    if (verdict != PackageVerdict::Accepted) {
        const QString refusal = packageRefusalText(verdict);
        if (!refusal.isEmpty())
            showMessageBox(refusal, false);
        leaveUpgradeState();
        return;
    }

    FormUpgrade confirmation;
    if (runCentredDialog(confirmation, false) == QDialog::Accepted) {
        if (!handedOverForRights(HandOver::Kind::Upgrade))
            startUpgrade();
    } else {
        qDebug("FormUpgrade rejected.");
        leaveUpgradeState();
    }
}

void MainWindow::startUpgrade() {
    upgrading = true;
    // From here to the final report the camera's disk belongs to the worker alone, and the
    // computer stays awake.
    setWatcherPaused(true);
    if (!sleepInhibitor)
        sleepInhibitor = std::make_unique<SleepInhibitor>(
            QStringLiteral("A camera firmware upgrade is running"));
    ui->progressBarUpdate->setValue(0);
    ui->progressBarUpdate->show();

    // Offered for a stuck camera, the upgrade is not for the open one.
    versionBeforeUpgrade = controlsReady && !abnormalPromptOpen ? firmwareVersion : QString();
    UpgradeRequest request;
    request.productLineSelector = vendorIndex;
    request.cameraReady = controlsReady;
    request.extensionUnit = &cameraSession.extensionUnit();
    request.packageDirectory = effectivePackageDirectory();
    request.cameraDeviceId = controlsReady ? currentDeviceId : QString();
    // The report is queued to this thread: it cannot arrive before awaitingReport is set.
    UpgradeCallbacks callbacks;
    callbacks.report = [this](bool ok, int progress, const QString &message) {
        slotOnUpgradeReport(ok, progress, message);
    };
    startUpgradeWorker(upgradeThread, request, this, callbacks);
    awaitingReport = true;

    ui->btnUpgrade->setEnabled(false);

    dummyProgress = 0;
    stopDummyProgress();
    dummyProgressTimer = new QTimer(this);
    connect(dummyProgressTimer, &QTimer::timeout, this, &MainWindow::slotOnUpdateDummyTimeout);
    dummyProgressTimer->start(kDummyProgressInterval_ms);
}

void MainWindow::stopDummyProgress() {
    if (!dummyProgressTimer)
        return;
    if (dummyProgressTimer->isActive())
        dummyProgressTimer->stop();
    delete dummyProgressTimer;
    dummyProgressTimer = nullptr;
}

void MainWindow::slotOnUpdateDummyTimeout() {
    const int step =
        kDummyProgressMinimumStep +
        static_cast<int>(QRandomGenerator::global()->bounded(kDummyProgressStepChoices));
    dummyProgress = qMin(dummyProgress + step, kDummyProgressCeiling);
    ui->progressBarUpdate->setValue(dummyProgress);
}

void MainWindow::slotOnUpgradeReport(bool ok, int progress, const QString &message) {
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

    stopDummyProgress();
    if (ok) {
        ui->progressBarUpdate->setValue(kProgressDone);
        reopenUpgradedCamera();
    }
    showMessageBox(upgradeResultText(ok), true);

    leaveUpgradeState();
    ui->progressBarUpdate->setValue(0);
    ui->progressBarUpdate->hide();
    ui->btnUpgrade->setEnabled(true);
}

void MainWindow::reopenUpgradedCamera() {
    // The worker reports success once the camera is back as a video input; the arrival event may
    // still be on its way. A refresh keeps a camera that is open already.
    if (!controlsReady)
        slotOnCameraPlugged(true, QString());
    const QString unknown = QStringLiteral("unknown");
    qInfo().noquote() << "firmware version before the upgrade:"
                      << (versionBeforeUpgrade.isEmpty() ? unknown : versionBeforeUpgrade)
                      << "after:" << (controlsReady ? firmwareVersion : unknown);
}

void MainWindow::slotOnDeviceAbnormal(int state) {
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
        if (runCentredDialog(prompt, false) == QDialog::Accepted) {
            ui->btnNavSupport->click();
            FormUpgrade confirmation;
            if (runCentredDialog(confirmation, false) == QDialog::Accepted) {
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

void MainWindow::startAbnormalWatcher() {
    abnormalWorker = new AbnormalDetectThread(vendorIndex);
    connect(abnormalWorker, &AbnormalDetectThread::onDeviceAbnormal, this,
            &MainWindow::slotOnDeviceAbnormal);
    abnormalThread.start(abnormalWorker);
}

void MainWindow::stopAbnormalWatcher() {
    // The watcher lives until it is stopped, so it still exists here. stop() returns once the
    // current cycle has ended and the worker has deleted itself.
    abnormalThread.stop();
    abnormalWorker = nullptr;
    // Never cut an upgrade short: a camera left half-written is worse than a late exit.
    upgradeThread.join();
}
