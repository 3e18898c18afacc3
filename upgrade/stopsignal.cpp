#include "upgrade/stopsignal.h"

#include <QDeadlineTimer>

void StopSignal::request() {
    QMutexLocker locker(&mutex);
    stopRequested.store(true);
    wake.wakeAll();
}

bool StopSignal::pause(Milliseconds duration) {
    if (requested())
        return false;
    Clock &clock = activeClock();
    if (!dynamic_cast<SystemClock *>(&clock)) {
        // Any other clock (a virtual one) keeps its own account of time.
        clock.sleepFor(duration);
        return !requested();
    }
    QDeadlineTimer deadline(duration.count(), Qt::PreciseTimer);
    QMutexLocker locker(&mutex);
    while (!stopRequested.load()) {
        if (!wake.wait(&mutex, deadline))
            break; // the full time has passed
    }
    return !stopRequested.load();
}
