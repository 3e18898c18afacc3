#include "app/startup.h"

#include "app/logging.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QIcon>

void setApplicationFont() {
    MainWindow::installFontSubstitutes();
    QApplication::setFont(QFont(QStringLiteral("Segoe UI"), 12));
}

void prepareApplicationFrame() {
    setApplicationFont();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/main.ico")));
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    setUpLogFile();
    qInstallMessageHandler(logMessageHandler);
    qInfo("---------------------------------------------------");
    qInfo("- System Start!");
    qInfo("---------------------------------------------------");
}
