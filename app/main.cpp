#include "app/programstart.h"
#include "ui/mainwindow.h"
#include "upgrade/elevation.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[]) {
    prepareProcess();
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    auto *application = new QApplication(argc, argv);
    std::unique_ptr<MainWindow> window = startProgram();
    // An instance started elevated to carry on an upgrade: once the event loop runs.
    const HandOver handOver = handOverFromArguments(QCoreApplication::arguments().mid(1));
    QTimer::singleShot(0, window.get(),
                       [window = window.get(), handOver] { window->carryOnHandOver(handOver); });
    const int result = QApplication::exec();

    window.reset();
    delete application;
    return result;
}
