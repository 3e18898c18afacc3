// One firmware upgrade on a worker thread: brings the camera, whatever stage it is in, to its boot
// loader, runs the package's script there and waits for the camera to come back in normal
// operation; only then has the upgrade succeeded. Moved to its own QThread; the thread's started
// runs start(), and workFinished (emitted exactly once, after exactly one onUpgradeReport) tears
// the worker and its thread down.
#pragma once

#include "upgrade/massstorage.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <mutex>

class ReturningCamera;
class UVCExtensionUnit;

class UpgradeThread : public QObject {
    Q_OBJECT

public:
    // Tries of the wait for the camera's disk, 500 ms apart.
    static constexpr int kDeviceWaitTries = 41;
    static constexpr int kDeviceWaitPause_ms = 500;
    static constexpr int kBootLoaderSettle_ms = 1000;

    // extensionUnit: the window's, not owned; used for the one command that sends a camera in
    // normal operation into its updater.
    UpgradeThread(int productLineSelector, bool cameraReady, UVCExtensionUnit *extensionUnit,
                  QObject *parent = nullptr);

    // Where the package was unpacked; the private package folder when empty.
    void setPackageDirectory(const QString &directory);
    // The device id of the camera open in the window, which the worker sends into its updater
    // when it finds no camera in an updater stage; it must come back with this id.
    void setCameraDeviceId(const QString &deviceId);

signals:
    void workFinished();
    void workStart();
    void onUpgradeReport(bool ok, int progress, QString message);
    // The step the upgrade has come to, in words for the user ("running the upgrade script").
    void onUpgradeStage(QString stage);

public slots:
    void start();
    void doWork();
    void stop();

private:
    QString packageFolder() const;
    QString packageFile(const char *name) const;
    void report(bool ok, int progress, const QString &message);
    void finish();
    bool waitForUpdaterDevice();
    // After an image that makes the camera start another stage: 1,000 ms, then up to 41 searches
    // 500 ms apart; the stage found is in `state`.
    bool waitForNextStage(const char *sent);
    // Logs the outcome of a step with the stage it was taken in; returns `done`.
    bool logStepOutcome(const char *step, bool done);
    void logInvalidState() const;
    bool waitForNormalOperation(const ReturningCamera &camera);

    QMutex lock; // guards running
    bool running = false;
    const int productLineSelector;
    const bool cameraReady;
    UVCExtensionUnit *const extensionUnit;
    UpdaterDeviceState state = UpdaterStateNone;
    QString packageDir;
    QString cameraDeviceId;
    bool reportSent = false;
    // Held by stop() while it uses the object; taken before workFinished, after which the
    // object may be deleted at once.
    std::mutex stopCall;
};
