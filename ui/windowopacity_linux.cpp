#include "ui/windowopacity.h"

#include <QGuiApplication>
#include <QX11Info>

bool windowOpacityAvailable() {
    // Asked at every use: a compositing manager can start or stop while the program runs.
    // Qt's Wayland and offscreen platforms have no window opacity at all.
    return QGuiApplication::platformName() == QLatin1String("xcb") &&
           QX11Info::isCompositingManagerRunning();
}
