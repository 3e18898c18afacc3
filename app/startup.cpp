#include "app/startup.h"

#include "app/language.h"
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
    // Before the window and the tables of labels are built: they are translated once.
    installConfiguredLanguage();
}
