// The thread's execution state: while ES_SYSTEM_REQUIRED stays set, Windows does not go to sleep
// on its own. The state belongs to the thread that set it, so the hold is released on the thread
// that took it (the window's).
#include "upgrade/sleepinhibitor.h"

#include <windows.h>

namespace {
class ExecutionStateHold final : public SleepInhibitor::Hold {
public:
    ~ExecutionStateHold() override { SetThreadExecutionState(ES_CONTINUOUS); }
};
} // namespace

std::unique_ptr<SleepInhibitor::Hold> takeSleepHold(const QString &, QString &reason) {
    if (SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0) {
        reason = QStringLiteral("SetThreadExecutionState failed");
        return nullptr;
    }
    return std::make_unique<ExecutionStateHold>();
}
