// The console on Windows: the C runtime's descriptors of the console streams, UTF-8 as the
// console's output code page while the program runs (its text is UTF-8: camera names, paths), and
// Ctrl+C, Ctrl+Break and closing the console window through a console control handler, which
// Windows runs on a thread of its own.
//
// Ctrl+C and Ctrl+Break are caught. Closing the console window is not: Windows ends the process as
// soon as the handler returns (or after a few seconds). The handler only reports it, and the log
// keeps the line; a camera left in an updater stage is found and brought back by "recover".
// Log-off and shutdown during an upgrade are held off by the sleep inhibitor's window, not here
// (a program that uses windows does not get those console events).
#include "cli/console.h"

#include <QtDebug>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>

namespace {
std::atomic<Console *> interruptReceiver{nullptr};
UINT savedCodePage = 0;

BOOL WINAPI onConsoleControl(DWORD event) {
    Console *receiver = interruptReceiver.load();
    if (!receiver ||
        (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT))
        return FALSE;
    if (event == CTRL_CLOSE_EVENT)
        qWarning("console window closed: Windows ends the program now");
    // Emitted on this thread, delivered queued on the main thread.
    emit receiver->interrupted();
    return TRUE;
}
} // namespace

int Console::divertStandardOutput(bool toStandardError) {
    // Zero without a console (output to a file or a pipe): nothing to set or restore.
    savedCodePage = GetConsoleOutputCP();
    if (savedCodePage != 0 && savedCodePage != CP_UTF8 && !SetConsoleOutputCP(CP_UTF8))
        savedCodePage = 0;
    const int saved = _dup(_fileno(stdout));
    const int target = toStandardError ? _dup(_fileno(stderr)) : _open("NUL", _O_WRONLY);
    if (saved < 0 || target < 0)
        return saved;
    _dup2(target, _fileno(stdout));
    _close(target);
    return saved;
}

void Console::restoreStandardOutput(int saved) {
    // The console outlives the program: give it back its code page.
    if (savedCodePage != 0 && savedCodePage != CP_UTF8)
        SetConsoleOutputCP(savedCodePage);
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
