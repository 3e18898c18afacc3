#include "app/startup.h"

#include "app/logging.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QIcon>

void prepareApplicationFrame() {
    MainWindow::installFontSubstitutes();
    QApplication::setFont(QFont(QStringLiteral("Segoe UI"), 12));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/main.ico")));
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    setUpLogFile();
    qInstallMessageHandler(logMessageHandler);
    qInfo("---------------------------------------------------");
    qInfo("- System Start!");
    qInfo("---------------------------------------------------");
}
