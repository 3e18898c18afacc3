// One firmware upgrade on a worker thread: brings the camera, whatever stage it is in, to its boot
// loader and runs the package's script there. Moved to its own QThread; the thread's started runs
// start(), and workFinished (emitted exactly once, after exactly one onUpgradeReport) tears the
// worker and its thread down.
#pragma once

#include "upgrade/massstorage.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <mutex>

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

signals:
    void workFinished();
    void workStart();
    void onUpgradeReport(bool ok, int progress, QString message);

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
    bool waitForBootLoader();

    QMutex lock; // guards running
    bool running = false;
    const int productLineSelector;
    const bool cameraReady;
    UVCExtensionUnit *const extensionUnit;
    UpdaterDeviceState state = UpdaterStateNone;
    QString packageDir;
    bool reportSent = false;
    // Held by stop() while it uses the object; taken before workFinished, after which the
    // object may be deleted at once.
    std::mutex stopCall;
};
