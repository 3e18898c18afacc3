#include "app/programstart.h"

#include "app/nativebackends.h"
#include "app/startup.h"
#include "ui/mainwindow.h"

#include <QtGlobal>

void prepareProcess() {
#ifdef Q_OS_LINUX
    // The window paints with the raster engine alone. Without this, Qt's X11 platform sets up its
    // GLX integration and with it the system's OpenGL driver (Mesa's llvmpipe maps some 45 MB)
    // for nothing. A value the user set wins.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
#endif
}

std::unique_ptr<MainWindow> startProgram() {
    prepareApplicationFrame();
    installNativeBackends();
    auto window = std::make_unique<MainWindow>();
    window->show();
    return window;
}
