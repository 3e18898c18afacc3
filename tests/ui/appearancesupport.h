// What the appearance tests share: the settings file beside the test program, a stand-in for the
// desktop's screen count, a counter of restyling, and the check of everything a theme consists
// of as the window shows it.
#pragma once

#include "mainwindowaccess.h"
#include "sim/simulatedbus.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QMovie>
#include <QPalette>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <memory>

namespace appearance {

// The form's 1103 x 691 raised to the minimum height: the size without a saved one.
inline const QSize kDefaultSize(1103, 700);

inline QString settingsPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/product.ini");
}

inline QString sheetText(bool dark) {
    QFile file(dark ? QStringLiteral(":/qss/dark.css") : QStringLiteral(":/qss/light.css"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

inline QByteArray settingsFileBytes() {
    QFile file(settingsPath());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

inline void writeSettings(const QMap<QString, QVariant> &values) {
    QSettings settings(settingsPath(), QSettings::IniFormat);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings.setValue(it.key(), it.value());
}

// The number of screens the window is told about.
inline int &fakeScreens() {
    static int screens = 1;
    return screens;
}

// Counts the restyling of one widget: every application style sheet that is set (even an
// unchanged one) reaches every styled widget as a StyleChange event.
class StyleChangeCounter : public QObject {
public:
    explicit StyleChangeCounter(QObject *watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::StyleChange)
            ++count;
        return false;
    }
    int count = 0;
};

// The window of one test over a simulated bus with no camera, on a desktop of fakeScreens().
class Fixture {
protected:
    void setUpCase() {
        QFile::remove(settingsPath());
        fakeScreens() = 1;
        MainWindow::setScreenCounter([] { return fakeScreens(); });
        bus = std::make_unique<SimulatedBus>();
        bus->install();
    }
    void tearDownCase() {
        window.reset();
        bus.reset();
        MainWindow::setScreenCounter(nullptr);
        QFile::remove(settingsPath());
    }
    MainWindow &openWindow() {
        window = std::make_unique<MainWindow>();
        return *window;
    }
    MainWindowTestAccess access() { return MainWindowTestAccess(*window); }
    QPushButton *button(const char *name) const {
        return window->findChild<QPushButton *>(QString::fromLatin1(name));
    }
    QLabel *label(const char *name) const {
        return window->findChild<QLabel *>(QString::fromLatin1(name));
    }

    // Checks everything a theme consists of, as the window shows it now.
    void verifyTheme(bool dark) {
        const QString sheet = sheetText(dark);
        QVERIFY(!sheet.isEmpty());
        QCOMPARE(qApp->styleSheet(), sheet);
        QCOMPARE(QApplication::palette().color(QPalette::Button),
                 QColor(dark ? QStringLiteral("#000000") : QStringLiteral("#FFFFFF")));
        QCOMPARE(button("btnModeLight")->isChecked(), !dark);
        QCOMPARE(button("btnModeDark")->isChecked(), dark);
        const QString colour = dark ? QStringLiteral("#DEE2E2") : QStringLiteral("#000000");
        for (const char *link : {"labelHyperlinksQuickStartGuide", "labelHyperlinksUserGuide",
                                 "labelHyperlinksContactSupport"})
            QVERIFY2(label(link)->text().contains(QStringLiteral("style='color: %1;'").arg(colour)),
                     qPrintable(label(link)->text()));
        QMovie *movie = label("labelloading")->movie();
        QVERIFY(movie);
        QCOMPARE(movie->fileName(), dark ? QStringLiteral(":/qss/dark/loading.gif")
                                         : QStringLiteral(":/qss/light/loading.gif"));
    }

    // Clicks the mode button and checks the theme it gives, by index and by look.
    void clickModeButtonExpecting(int styleIndex) {
        button("btnModeLight")->click();
        QCOMPARE(access().styleIndex(), styleIndex);
        verifyTheme(styleIndex != 0);
    }

    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<MainWindow> window;
};

} // namespace appearance
