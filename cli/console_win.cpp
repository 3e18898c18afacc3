// The console on Windows: the C runtime's descriptors of the console streams, and Ctrl+C,
// Ctrl+Break and closing the console window through a console control handler, which Windows runs
// on a thread of its own.
#include "cli/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>

namespace {
std::atomic<Console *> interruptReceiver{nullptr};

BOOL WINAPI onConsoleControl(DWORD event) {
    Console *receiver = interruptReceiver.load();
    if (!receiver ||
        (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT))
        return FALSE;
    // Emitted on this thread, delivered queued on the main thread.
    emit receiver->interrupted();
    return TRUE;
}
} // namespace

int Console::divertStandardOutput(bool toStandardError) {
    const int saved = _dup(_fileno(stdout));
    const int target = toStandardError ? _dup(_fileno(stderr)) : _open("NUL", _O_WRONLY);
    if (saved < 0 || target < 0)
        return saved;
    _dup2(target, _fileno(stdout));
    _close(target);
    return saved;
}

void Console::restoreStandardOutput(int saved) {
    if (saved < 0)
        return;
    _dup2(saved, _fileno(stdout));
    _close(saved);
}

bool Console::isInteractive() {
    return _isatty(_fileno(stdin)) != 0;
}

void Console::installInterruptHandler() {
    interruptReceiver.store(this);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

void Console::removeInterruptHandler() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    interruptReceiver.store(nullptr);
}
