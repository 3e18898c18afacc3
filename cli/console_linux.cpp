// The console on Linux: descriptors 0, 1 and 2, and SIGINT and SIGTERM through a pipe that wakes
// the event loop (a signal handler may do nothing else).
#include "cli/console.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace {
int wakePipe[2] = {-1, -1};
QSocketNotifier *wakeNotifier = nullptr;

void onInterrupt(int) {
    const char byte = 1;
    if (::write(wakePipe[1], &byte, 1) < 0) {
        // Nothing to do in a signal handler; the next interrupt tries again.
    }
}
} // namespace

int Console::divertStandardOutput(bool toStandardError) {
    const int saved = ::dup(STDOUT_FILENO);
    const int target =
        toStandardError ? ::dup(STDERR_FILENO) : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved < 0 || target < 0)
        return saved;
    ::dup2(target, STDOUT_FILENO);
    ::close(target);
    return saved;
}

void Console::restoreStandardOutput(int saved) {
    if (saved < 0)
        return;
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
}

bool Console::isInteractive() {
    return ::isatty(STDIN_FILENO) == 1;
}

void Console::installInterruptHandler() {
    if (::pipe2(wakePipe, O_CLOEXEC) != 0)
        return;
    wakeNotifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
    connect(wakeNotifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(wakePipe[0], &byte, 1) == 1)
            emit interrupted();
    });
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void Console::removeInterruptHandler() {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    delete wakeNotifier;
    wakeNotifier = nullptr;
    for (int &end : wakePipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}
