#include "common/clock.h"

#include <thread>

void SystemClock::sleepFor(Milliseconds duration) {
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}

Milliseconds SystemClock::now() const {
    return std::chrono::duration_cast<Milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

void VirtualClock::sleepFor(Milliseconds duration) {
    slept_ms += duration.count();
    now_ms += duration.count();
    // Give other threads a chance to run, as a real pause would.
    std::this_thread::yield();
}

Milliseconds VirtualClock::now() const {
    return Milliseconds(now_ms.load());
}

void VirtualClock::advance(Milliseconds duration) {
    now_ms += duration.count();
}

Milliseconds VirtualClock::slept() const {
    return Milliseconds(slept_ms.load());
}

namespace {
SystemClock systemClock;
std::atomic<Clock *> installedClock{nullptr};
} // namespace

Clock &activeClock() {
    Clock *installed = installedClock.load();
    if (installed)
        return *installed;
    return systemClock;
}

void installClock(Clock *source) {
    installedClock.store(source);
}
