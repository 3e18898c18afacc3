#include "app/startup.h"
#include "common/nativebackends.h"
#include "ui/mainwindow.h"
#include "upgrade/elevation.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[]) {
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    auto *application = new QApplication(argc, argv);
    prepareApplicationFrame();

    installNativeBackends();
    auto *window = new MainWindow();
    window->show();
    // An instance started elevated to carry on an upgrade: once the event loop runs.
    const HandOver handOver = handOverFromArguments(QCoreApplication::arguments().mid(1));
    QTimer::singleShot(0, window, [window, handOver] { window->carryOnHandOver(handOver); });
    const int result = QApplication::exec();

    delete window;
    delete application;
    return result;
}
