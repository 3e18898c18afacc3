#include "app/startup.h"
#include "common/nativebackends.h"
#include "ui/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    auto *application = new QApplication(argc, argv);
    prepareApplicationFrame();

    installNativeBackends();
    auto *window = new MainWindow();
    window->show();
    const int result = QApplication::exec();

    delete window;
    delete application;
    return result;
}
