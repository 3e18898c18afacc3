#include "app/programstart.h"

#include "app/nativebackends.h"
#include "app/startup.h"
#include "ui/mainwindow.h"

std::unique_ptr<MainWindow> startProgram() {
    prepareApplicationFrame();
    installNativeBackends();
    auto window = std::make_unique<MainWindow>();
    window->show();
    return window;
}
