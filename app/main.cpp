#include "app/programstart.h"
#include "ui/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    auto *application = new QApplication(argc, argv);
    std::unique_ptr<MainWindow> window = startProgram();
    const int result = QApplication::exec();

    window.reset();
    delete application;
    return result;
}
