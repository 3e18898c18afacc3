// Windows: while ES_SYSTEM_REQUIRED stays set the computer does not go to sleep when idle, and that
// is all it does: it neither stops the user from choosing sleep nor a shutdown or log-off. Those
// two are held off by a hidden top-level window of this thread that refuses to end the session,
// with the reason registered through ShutdownBlockReasonCreate (shown by Windows in its list of
// programs that keep it from shutting down; the user may still force it). A sleep the user chooses
// cannot be held off. Both belong to the thread that took them, so the hold is released on the
// thread that took it (the window's, or the command line's main thread), and that thread's event
// loop serves the window's messages.
#include "upgrade/sleepinhibitor.h"

#include <QtDebug>

#include <windows.h>

namespace {
const wchar_t kWindowClass[] = L"CameraControlShutdownBlock";

LRESULT CALLBACK blockingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Zero from WM_QUERYENDSESSION keeps the session: Windows then shows the reason.
    if (message == WM_QUERYENDSESSION)
        return FALSE;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND createBlockingWindow(const QString &why) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = blockingProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    // Fails harmlessly when the class is registered already.
    RegisterClassExW(&windowClass);
    // Top-level (not message-only): only those are asked to end the session. Never shown.
    HWND window = CreateWindowExW(0, kWindowClass, reinterpret_cast<LPCWSTR>(why.utf16()), WS_POPUP,
                                  0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window && !ShutdownBlockReasonCreate(window, reinterpret_cast<LPCWSTR>(why.utf16()))) {
        DestroyWindow(window);
        return nullptr;
    }
    return window;
}

class ExecutionStateHold final : public SleepInhibitor::Hold {
public:
    explicit ExecutionStateHold(HWND blocking)
        : window(blocking) {}
    ~ExecutionStateHold() override {
        if (window) {
            ShutdownBlockReasonDestroy(window);
            DestroyWindow(window);
        }
        SetThreadExecutionState(ES_CONTINUOUS);
    }
    ExecutionStateHold(const ExecutionStateHold &) = delete;
    ExecutionStateHold &operator=(const ExecutionStateHold &) = delete;

private:
    HWND window;
};
} // namespace

std::unique_ptr<SleepInhibitor::Hold> takeSleepHold(const QString &why, QString &reason) {
    if (SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0) {
        reason = QStringLiteral("SetThreadExecutionState failed");
        return nullptr;
    }
    HWND window = createBlockingWindow(why);
    // Idle sleep stays held off all the same.
    if (!window)
        qWarning("shutdown and log-off not held off: error %lu", GetLastError());
    return std::make_unique<ExecutionStateHold>(window);
}
