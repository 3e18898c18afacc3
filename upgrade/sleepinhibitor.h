// Keeps the computer from going to sleep or shutting down while an upgrade writes the camera's
// firmware, as far as the system lets a program: a camera cut off half-way may be left unable to
// start. The system's own inhibitor is held for as long as the object lives; a system that offers
// none still upgrades. Windows holds off idle sleep, shutdown and log-off (the user may force the
// last two), but not a sleep the user chooses.
#pragma once

#include <QString>

#include <memory>

class SleepInhibitor {
public:
    // The system's token; releasing it (deleting it) lets the system sleep again.
    class Hold {
    public:
        virtual ~Hold() = default;
    };

    // Takes the inhibitor, with `why` shown to the user where the system shows it; logs one line
    // when it cannot be taken.
    explicit SleepInhibitor(const QString &why);
    ~SleepInhibitor();
    SleepInhibitor(const SleepInhibitor &) = delete;
    SleepInhibitor &operator=(const SleepInhibitor &) = delete;

    bool isHeld() const { return hold != nullptr; }

private:
    std::unique_ptr<Hold> hold;
};

// The system's side: takes its inhibitor for sleep, idle sleep and shutdown. Null, with the
// reason, when it cannot.
std::unique_ptr<SleepInhibitor::Hold> takeSleepHold(const QString &why, QString &reason);
