#include "upgrade/upgradethread.h"

#include "common/clock.h"
#include "common/threadcom.h"
#include "control/uvcextensionunit.h"
#include "upgrade/packagefiles.h"
#include "upgrade/returningcamera.h"
#include "upgrade/upgradescript.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QtDebug>

namespace {
const char kResetStatusCommand[] = "setenv ota_upgrade_status 0";

void pause(int milliseconds) {
    activeClock().sleepFor(Milliseconds(milliseconds));
}
} // namespace

UpgradeThread::UpgradeThread(int selector, bool ready, UVCExtensionUnit *unit, QObject *parent)
    : QObject(parent)
    , productLineSelector(selector)
    , cameraReady(ready)
    , extensionUnit(unit) {}

void UpgradeThread::setPackageDirectory(const QString &directory) {
    packageDir = directory;
}

void UpgradeThread::setCameraDeviceId(const QString &deviceId) {
    cameraDeviceId = deviceId;
}

void UpgradeThread::start() {
    // The switch into the updater goes through the extension unit's COM objects.
    const ThreadComApartment com;
    {
        QMutexLocker locker(&lock);
        running = true;
    }
    emit workStart();
    doWork();
}

void UpgradeThread::stop() {
    std::lock_guard<std::mutex> call(stopCall);
    QMutexLocker locker(&lock);
    running = false;
}

QString UpgradeThread::packageFolder() const {
    return packageDir.isEmpty() ? packageDirectory() : packageDir;
}

QString UpgradeThread::packageFile(const char *name) const {
    const QString file = QString::fromLatin1(name);
    return QDir(packageFolder()).filePath(file);
}

void UpgradeThread::report(bool ok, int progress, const QString &message) {
    // One report per run: the window ends its progress display on it.
    if (reportSent)
        return;
    reportSent = true;
    emit onUpgradeReport(ok, progress, message);
}

bool UpgradeThread::waitForUpdaterDevice() {
    for (int tries = 0;;) {
        QMutexLocker locker(&lock);
        if (!running)
            return false;
        pause(kDeviceWaitPause_ms);
        if (findUpdaterDevice(productLineSelector, state))
            return true;
        if (++tries >= kDeviceWaitTries) {
            report(false, 0, tr("Failed to find camera device."));
            return false;
        }
    }
}

bool UpgradeThread::waitForNextStage(const char *sent) {
    pause(kBootLoaderSettle_ms);
    // As long as the wait for the camera's first disk: a camera that does not come back must
    // not keep the worker for ever.
    for (int tries = 0; tries < kDeviceWaitTries; ++tries) {
        pause(kDeviceWaitPause_ms);
        if (findUpdaterDevice(productLineSelector, state))
            return true;
    }
    qWarning("camera did not come back after the %s", sent);
    return false;
}

bool UpgradeThread::logStepOutcome(const char *step, bool done) {
    const char *stage = updaterStateName(state);
    if (done)
        qInfo("%s stage: %s: done", stage, step);
    else
        qWarning("%s stage: %s: failed", stage, step);
    return done;
}

bool UpgradeThread::waitForNormalOperation(const ReturningCamera &camera) {
    // The script's last command restarts the camera: a success told to a user whose camera stays
    // in its boot loader would send them away with a camera that does not work.
    pause(kBootLoaderSettle_ms);
    for (int tries = 0; tries < kDeviceWaitTries; ++tries) {
        pause(kDeviceWaitPause_ms);
        if (camera.isBack()) {
            qInfo("camera back in normal operation");
            return true;
        }
    }
    UpdaterDeviceState seen = UpdaterStateNone;
    if (findUpdaterDevice(productLineSelector, seen))
        qWarning("camera still in updater stage %d after the upgrade", static_cast<int>(seen));
    else
        qWarning("camera did not come back after the upgrade");
    return false;
}

void UpgradeThread::logInvalidState() const {
    qCritical("%s",
              qPrintable(QStringLiteral("Invalid device state %1.").arg(static_cast<int>(state))));
}

void UpgradeThread::doWork() {
    reportSent = false;
    bool bootLoaderReached = false;
    QString returningId; // empty: a camera of the product line (see ReturningCamera)

    if (findUpdaterDevice(productLineSelector, state)) {
        qInfo("Enter the upgrade process of the camera in an abnormal state.");
        bool stepFailed = false;
        if (state == UpdaterStateRom) {
            emit onUpgradeStage(tr("sending the updater program"));
            bool delivered = false;
            const bool sent = sendRawFile(packageFile(kUpdaterImageName), &delivered) == 0;
            // The ROM starts the program, which brings its own USB device: the camera leaves the
            // bus and comes back as another disk, so it is searched for again before anything
            // else is sent; a boot-loader image sent to the ROM would run as one more program.
            stepFailed = !logStepOutcome("updater program", sent && delivered) ||
                         !waitForNextStage("updater program");
            if (!stepFailed && state != UpdaterStateUpdater && state != UpdaterStateUBoot) {
                logInvalidState();
                stepFailed = true;
            }
        }
        if (!stepFailed && state == UpdaterStateUpdater) {
            const QString bootLoader = packageFile(kBootLoaderImageName);
            if (!QFileInfo::exists(bootLoader)) {
                state = UpdaterStateUBoot;
            } else {
                emit onUpgradeStage(tr("sending the boot loader"));
                bool acknowledged = false;
                const bool sent = sendImageFile(bootLoader, kNoLoadAddress, &acknowledged) == 0;
                stepFailed = !logStepOutcome("boot-loader image", sent && acknowledged) ||
                             !waitForNextStage("boot-loader image");
                if (!stepFailed && state != UpdaterStateUBoot)
                    logInvalidState();
            }
        }
        if (stepFailed)
            state = UpdaterStateNone;
        bootLoaderReached = state == UpdaterStateUBoot;
    } else {
        if (!cameraReady) {
            report(false, 0, tr("No camera device detected."));
            qDebug("Upgrade failed.");
            finish();
            return;
        }
        emit onUpgradeStage(tr("switching the camera to its updater"));
        if (extensionUnit && extensionUnit->enterUpgradeMode()) {
            qInfo("Enter the normal state of the camera upgrade process.");
            emit onUpgradeStage(tr("waiting for the camera's updater disk"));
            returningId = cameraDeviceId;
            bootLoaderReached = waitForUpdaterDevice() && state == UpdaterStateUBoot;
        }
    }

    if (bootLoaderReached) {
        const ReturningCamera returning(returningId, productLineSelector);
        emit onUpgradeStage(tr("running the upgrade script"));
        sendShellCommand(kResetStatusCommand, sizeof kResetStatusCommand - 1);
        const bool scriptDone = logStepOutcome(
            "upgrade script",
            runUpgradeScript(QString::fromLatin1(kUpgradeScriptName), packageFolder()) == 0);
        if (scriptDone)
            emit onUpgradeStage(tr("waiting for the camera to come back"));
        if (scriptDone && waitForNormalOperation(returning)) {
            report(true, 100, tr("Upgrade done."));
            qDebug("Upgrade seccess.");
        } else {
            report(false, 0, tr("Upgrade failed."));
            qDebug("Upgrade failed.");
        }
    }
    report(false, 0, tr("Upgrade failed.")); // only when nothing was reported yet
    finish();
}

void UpgradeThread::finish() {
    {
        // A stop() still under way finishes with this object before it can be deleted.
        std::lock_guard<std::mutex> call(stopCall);
    }
    emit workFinished();
}
