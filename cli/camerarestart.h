// The wait for a camera that restarts (a microphone change, restore defaults): it leaves the bus
// and comes back as the same video input. The pauses run on the active clock.
#pragma once

#include "common/clock.h"

#include <QString>

enum class RestartOutcome {
    Back,      // it left and came back
    NeverLeft, // it did not leave within the first bound: it did not restart
    NotBack,   // it left and did not come back within the second bound
};

struct RestartBounds {
    Milliseconds leaveWithin{10000};
    Milliseconds returnWithin{30000};
    Milliseconds pollEvery{250};
};

RestartOutcome waitForRestart(const QString &deviceId, const RestartBounds &bounds = {});
