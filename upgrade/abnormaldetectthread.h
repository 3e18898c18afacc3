// Watches, for as long as the main window exists, for a camera left in one of its updater stages
// (an interrupted upgrade) and tells the window about it. Moved to its own QThread; the thread's
// started runs start(). stop() ends the watch promptly: the pauses of the cycle wake at once.
// setPaused() holds the searches back while an upgrade uses the camera's disk.
#pragma once

#include "upgrade/massstorage.h"
#include "upgrade/stopsignal.h"

#include <QMutex>
#include <QObject>

#include <mutex>

class AbnormalDetectThread : public QObject {
    Q_OBJECT

public:
    static constexpr int kCyclePause_ms = 1000;
    static constexpr int kAfterReportPause_ms = 10000;

    explicit AbnormalDetectThread(int productLineSelector, QObject *parent = nullptr);

    // While paused the cycles go on without a search, so that a search cannot drop the device
    // handle an upgrade is about to use. Pausing waits for a search under way to end; from any
    // thread.
    void setPaused(bool paused);

signals:
    void workFinished();
    void workStart();
    void onDeviceAbnormal(int state);

public slots:
    void start();
    void doWork();
    void stop();

private:
    QMutex lock; // guards running; held for each whole watch cycle
    bool running = false;
    const int productLineSelector;
    UpdaterDeviceState state = UpdaterStateNone;
    StopSignal stopSignal;
    QMutex searchLock; // guards paused; held for each search
    bool paused = false;
    // Held by stop() for as long as it uses the object; the loop waits for it before it
    // announces its end, after which the object may be deleted at once.
    std::mutex stopCall;
};
