// Windows: a message-only window whose procedure hands every message to the hot-plug source as the
// window's native event hook would. Device-interface notifications registered for a window are
// sent to message-only windows too.
#include "cli/notificationwindow.h"

#include "device/hotplugsource.h"

#include <windows.h>

namespace {
const wchar_t kWindowClass[] = L"CameraControlCliNotifications";

LRESULT CALLBACK notificationProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto *source = reinterpret_cast<HotplugSource *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (source && message == WM_DEVICECHANGE) {
        MSG delivered = {};
        delivered.hwnd = window;
        delivered.message = message;
        delivered.wParam = wParam;
        delivered.lParam = lParam;
        source->handleNativeEvent(QByteArrayLiteral("windows_generic_MSG"), &delivered);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
} // namespace

NotificationWindow::NotificationWindow(HotplugSource &source) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = notificationProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
    HWND created = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   windowClass.hInstance, nullptr);
    if (!created)
        return;
    SetWindowLongPtrW(created, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&source));
    window = reinterpret_cast<quintptr>(created);
}

NotificationWindow::~NotificationWindow() {
    if (window)
        DestroyWindow(reinterpret_cast<HWND>(window));
    UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr));
}
