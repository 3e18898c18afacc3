// A stop request that cuts a worker's pauses short. A pause lasts exactly its time on the active
// clock unless a stop is requested meanwhile; with the system clock the pause wakes at once then,
// so a window that stops a worker while closing does not wait for the rest of a long pause.
#pragma once

#include "common/clock.h"

#include <QMutex>
#include <QWaitCondition>

#include <atomic>

class StopSignal {
public:
    void request();
    bool requested() const { return stopRequested.load(); }
    // Pauses for `duration`; false when the pause ended because of a stop request.
    bool pause(Milliseconds duration);

private:
    std::atomic<bool> stopRequested{false};
    QMutex mutex;
    QWaitCondition wake;
};
