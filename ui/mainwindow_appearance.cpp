// Themes (style sheet, palette, link colour, loading animation), the vendor selection, the saved
// window geometry and theme in the user's settings, and the screen count that decides whether the
// saved values are used.
#include "common/settingsfiles.h"
#include "device/cameralist.h"
#include "device/catalogue.h"
#include "themecolours.h"
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QMovie>
#include <QPalette>
#include <QScreen>
#include <QSettings>

#include <algorithm>

namespace {
// The palette colour stands at this place in both style sheets: "QPalette{background:#RRGGBB;}".
constexpr int kPaletteColourAt = 20;
constexpr int kPaletteColourLength = 7;

// Without the Windows family, fontconfig's default choice (DejaVu Sans and the like) is so wide
// that the longest caption of the Control page, "Powerline Frequency:" at 15 px, no longer fits
// its column beside the combo boxes. Carlito (free, Debian: fonts-crosextra-carlito) fits it.
// Carlito has no full-width forms, such as the colon of the "Mic" caption (U+FF1A): WenQuanYi
// Micro Hei (Debian: fonts-wqy-microhei, 5 MiB) has every character the window shows, and is
// named so that no other font of the machine is picked for them.
const char kApplicationFontFamily[] = "Segoe UI";
const char *const kApplicationFontStandIns[] = {"Carlito", "WenQuanYi Micro Hei"};

// How much of the saved frame's top edge must lie on the screen for the saved place to be used.
constexpr int kReachableTopEdgeWidth = 100;
constexpr int kReachableTopEdgeHeight = 20;

MainWindow::ScreenCounter screenCounter = nullptr;
} // namespace

void MainWindow::setScreenCounter(ScreenCounter counter) {
    screenCounter = counter;
}

int MainWindow::screenCount() {
    if (screenCounter)
        return screenCounter();
    return QGuiApplication::screens().size();
}

void MainWindow::installFontSubstitutes() {
    // Substitutes are only looked at when the family itself is not installed; the first one that
    // has a character draws it.
    for (const char *standIn : kApplicationFontStandIns)
        QFont::insertSubstitution(QString::fromLatin1(kApplicationFontFamily),
                                  QString::fromLatin1(standIn));
}

void MainWindow::changeStyle(const QString &qssFile) {
    if (qssFile.isEmpty())
        return;
    QFile file(qssFile);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "read style failed." << qssFile;
        return;
    }
    const QString text = QString::fromUtf8(file.readAll());
    // Setting an application style sheet restyles every widget: skip an unchanged one.
    static QString lastApplied;
    if (text == lastApplied)
        return;
    lastApplied = text;
    QApplication::setPalette(QPalette(QColor(text.mid(kPaletteColourAt, kPaletteColourLength))));
    qApp->setStyleSheet(text);
}

void MainWindow::applyTheme(int index) {
    if (index != 0) {
        ui->btnModeDark->setChecked(true);
        ui->btnModeLight->setChecked(false);
        updateSupportLinks(QString::fromLatin1(kLinkColourDark));
        ui->labelloading->setMovie(loadingMovieDark);
        changeStyle(QStringLiteral(":/qss/dark.css"));
    } else {
        ui->btnModeDark->setChecked(false);
        ui->btnModeLight->setChecked(true);
        updateSupportLinks(QString::fromLatin1(kLinkColourLight));
        ui->labelloading->setMovie(loadingMovieLight);
        changeStyle(QStringLiteral(":/qss/light.css"));
    }
    styleIndex = index;
}

void MainWindow::on_btnModeLight_clicked() {
    darkModeToggle = !darkModeToggle;
    applyTheme(darkModeToggle ? 1 : 0);
}

void MainWindow::on_btnModeDark_clicked() {
    applyTheme(1);
}

void MainWindow::loadSettings() {
    const VendorSelection vendor = readConfiguredVendor();
    vendorIndex = vendor.index;
    vendorId = vendor.vendorId;

    const QSettings settings(userSettingsFile(), QSettings::IniFormat);

    windowLeft = settings.value(settingsKeyName(SettingsKey::WindowLeft)).toInt();
    windowTop = settings.value(settingsKeyName(SettingsKey::WindowTop)).toInt();
    windowWidth = settings.value(settingsKeyName(SettingsKey::WindowWidth)).toInt();
    windowHeight = settings.value(settingsKeyName(SettingsKey::WindowHeight)).toInt();
    qInfo() << "pre main window pos:"
            << QStringLiteral("%1 %2 %3 %4")
                   .arg(windowLeft)
                   .arg(windowTop)
                   .arg(windowWidth)
                   .arg(windowHeight);

    styleIndex = settings.value(settingsKeyName(SettingsKey::StyleIndex)).toInt();
    qInfo() << "pre ui style:" << styleIndex;
}

bool MainWindow::savedPlaceIsReachable() const {
    // A place saved on a larger desktop, or edited by hand, can lie off the screen; the window
    // would then open where nobody can see or move it.
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    const QRect topEdge(windowLeft, windowTop, windowWidth, kReachableTopEdgeHeight);
    const QRect visible = screen->availableGeometry().intersected(topEdge);
    return visible.width() >= std::min(kReachableTopEdgeWidth, windowWidth) &&
           visible.height() >= kReachableTopEdgeHeight;
}

void MainWindow::saveSettings() {
    QSettings settings(userSettingsFile(), QSettings::IniFormat);
    const QRect frame = frameGeometry();
    settings.setValue(settingsKeyName(SettingsKey::WindowLeft), QString::number(frame.x()));
    settings.setValue(settingsKeyName(SettingsKey::WindowTop), QString::number(frame.y()));
    settings.setValue(settingsKeyName(SettingsKey::WindowWidth), QString::number(width()));
    settings.setValue(settingsKeyName(SettingsKey::WindowHeight), QString::number(height()));
    settings.setValue(settingsKeyName(SettingsKey::StyleIndex), QString::number(styleIndex));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qWarning() << "the settings could not be written:" << settings.fileName();
}
