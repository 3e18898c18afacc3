#include "app/logging.h"
#include "common/nativebackends.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QIcon>

int main(int argc, char *argv[]) {
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    auto *application = new QApplication(argc, argv);
    MainWindow::installFontSubstitutes();
    QApplication::setFont(QFont(QStringLiteral("Segoe UI"), 12));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/main.ico")));
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    setUpLogFile();
    qInstallMessageHandler(logMessageHandler);
    qInfo("---------------------------------------------------");
    qInfo("- System Start!");
    qInfo("---------------------------------------------------");

    installNativeBackends();
    auto *window = new MainWindow();
    window->show();
    const int result = QApplication::exec();

    delete window;
    delete application;
    return result;
}
