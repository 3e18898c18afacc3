// Time as the rest of the program sees it. Every fixed pause of the device protocols goes
// through activeClock().sleepFor(), so tests can install a VirtualClock and run in virtual time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

using Milliseconds = std::chrono::milliseconds;

class Clock {
public:
    virtual ~Clock() = default;
    // Blocks the calling thread for the given time (a virtual clock only advances).
    virtual void sleepFor(Milliseconds duration) = 0;
    // Monotonic time since an arbitrary origin.
    virtual Milliseconds now() const = 0;
};

class SystemClock final : public Clock {
public:
    void sleepFor(Milliseconds duration) override;
    Milliseconds now() const override;
};

// Advances instantly: a sleep adds its duration to the clock and returns at once.
// Safe to use from several threads.
class VirtualClock final : public Clock {
public:
    void sleepFor(Milliseconds duration) override;
    Milliseconds now() const override;
    void advance(Milliseconds duration);
    // Total time spent in sleepFor() since construction.
    Milliseconds slept() const;

private:
    std::atomic<std::int64_t> now_ms{0};
    std::atomic<std::int64_t> slept_ms{0};
};

// The installed clock; the system clock unless a test or tool installed another.
Clock &activeClock();
// Installs a clock (not owned); nullptr restores the system clock.
void installClock(Clock *source);

// Installs a clock for the lifetime of a scope.
class ScopedClock {
public:
    explicit ScopedClock(Clock &source) { installClock(&source); }
    ~ScopedClock() { installClock(nullptr); }
    ScopedClock(const ScopedClock &) = delete;
    ScopedClock &operator=(const ScopedClock &) = delete;
};
