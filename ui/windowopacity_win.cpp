#include "ui/windowopacity.h"

#include <QGuiApplication>

bool windowOpacityAvailable() {
    // Layered windows are always composited; the offscreen platform (tests) has no opacity.
    return QGuiApplication::platformName() == QLatin1String("windows");
}
