// Where the system sends device notifications to a window (Windows), a program without windows
// needs one: a message-only window that hands WM_DEVICECHANGE to the hot-plug source. Elsewhere
// the source listens by itself and there is no window.
#pragma once

#include <QtGlobal>

class HotplugSource;

class NotificationWindow {
public:
    explicit NotificationWindow(HotplugSource &source);
    ~NotificationWindow();
    NotificationWindow(const NotificationWindow &) = delete;
    NotificationWindow &operator=(const NotificationWindow &) = delete;

    // The native handle to start the source with (0 where none is needed).
    quintptr handle() const { return window; }

private:
    quintptr window = 0;
};
