// Linux: the hot-plug source has a udev monitor of its own; no window is needed.
#include "cli/notificationwindow.h"

NotificationWindow::NotificationWindow(HotplugSource &) {}

NotificationWindow::~NotificationWindow() = default;
