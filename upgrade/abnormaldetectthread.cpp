#include "upgrade/abnormaldetectthread.h"

#include "common/threadcom.h"

#include <QMutexLocker>

AbnormalDetectThread::AbnormalDetectThread(int selector, QObject *parent)
    : QObject(parent)
    , productLineSelector(selector) {}

void AbnormalDetectThread::start() {
    // The searches open the system's volumes from this thread for as long as the watch runs.
    const ThreadComApartment com;
    {
        QMutexLocker locker(&lock);
        running = true;
    }
    emit workStart();
    doWork();
}

void AbnormalDetectThread::stop() {
    std::lock_guard<std::mutex> call(stopCall);
    // Wake the cycle's pause first, so that the lock comes free after the current search.
    stopSignal.request();
    QMutexLocker locker(&lock);
    running = false;
}

void AbnormalDetectThread::setPaused(bool pause) {
    QMutexLocker locker(&searchLock);
    paused = pause;
}

void AbnormalDetectThread::doWork() {
    for (;;) {
        QMutexLocker locker(&lock);
        if (!running || stopSignal.requested())
            break;
        bool found = false;
        {
            QMutexLocker search(&searchLock);
            found = !paused && detectUpdaterDevice(productLineSelector, state);
        }
        if (found && state != UpdaterStateNone) {
            emit onDeviceAbnormal(static_cast<int>(state));
            if (!stopSignal.pause(Milliseconds(kAfterReportPause_ms)))
                break;
        }
        if (!stopSignal.pause(Milliseconds(kCyclePause_ms)))
            break;
    }
    {
        // A stop() still under way finishes with this object before it can be deleted.
        std::lock_guard<std::mutex> call(stopCall);
    }
    emit workFinished();
}
