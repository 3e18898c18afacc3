// The main window over the simulated bus, for the window tests: access to its controller state,
// the widgets by name, and an answerer for the modal dialogs it runs, which records what each
// dialog showed and whether the dimming mask covered the window meanwhile.
#pragma once

#include "app/startup.h"
#include "common/settingsfiles.h"
#include "device/hotplugsource.h"
#include "preview/videostreamthread.h"
#include "testsupport/simfixture.h"
#include "testsupport/testsupport.h"
#include "ui/formcustomizemessagebox.h"
#include "ui/mainwindow.h"
#include "ui/maskwidget.h"
#include "upgrade/massstorage.h"

#include <QApplication>
#include <QComboBox>
#include <QGlyphRun>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QtTest>

// An upgrade under way (and its final report still to come), without one running.
class UpgradeFlowTestAccess {
public:
    static void setUpgrading(UpgradeFlow &flow, bool on, bool awaitingReport) {
        flow.upgrading = on;
        flow.awaitingReport = awaitingReport;
    }
};

class MainWindowTestAccess {
public:
    explicit MainWindowTestAccess(MainWindow &window)
        : w(window) {}
    QString currentDeviceId() const { return w.currentDeviceId; }
    bool controlsReady() const { return w.controlsReady; }
    bool upgrading() const { return w.upgradeFlow->isUpgrading(); }
    bool previewWorkerRunning() const { return w.videoWorker && w.videoThread.isRunning(); }
    VideoStreamThread *worker() const { return w.videoWorker; }
    // Delivers an event as the hot-plug source would, at once.
    void reportCaptureInterface(bool arrival, const std::string &name) {
        emit w.hotplugSource->captureInterfaceChanged(arrival, QString::fromStdString(name));
    }
    void setUpgrading(bool on, bool awaitingReport = false) {
        UpgradeFlowTestAccess::setUpgrading(*w.upgradeFlow, on, awaitingReport);
    }
    void setPackageChooser(const QString &package) {
        setPackageChooser([package] { return package; });
    }
    void setPackageChooser(std::function<QString()> chooser) {
        w.upgradeFlow->setPackageFileChooser([chooser](QWidget *) { return chooser(); });
    }
    QThread *watcherThread() const { return w.upgradeFlow->watcherThread(); }
    void setPackageDirectory(const QString &directory) {
        w.upgradeFlow->setPackageDirectory(directory);
    }

private:
    MainWindow &w;
};

// The lines that the widget and its children show (labels, buttons, text panels, combo boxes) for
// which a font Qt resolves has no glyph, so that they would show a box, as "objectName: line".
inline QStringList missingGlyphs(QWidget *root) {
    QStringList missing;
    const QList<QWidget *> widgets = root->findChildren<QWidget *>() << root;
    for (QWidget *widget : widgets) {
        QStringList texts{widget->property("text").toString(),
                          widget->property("plainText").toString()};
        if (auto *box = qobject_cast<QComboBox *>(widget))
            for (int i = 0; i < box->count(); ++i)
                texts << box->itemText(i);
        for (const QString &line : texts.join('\n').split('\n', Qt::SkipEmptyParts)) {
            QTextLayout layout(line, widget->font());
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            for (const QGlyphRun &run : layout.glyphRuns())
                if (run.glyphIndexes().contains(0))
                    missing << widget->objectName() + ": " + line;
        }
    }
    return missing;
}

// Answers every dialog of the family as it opens, from inside its own event loop: with the next
// answer given ("ok", "cancel", "upgrade" for the stuck-camera offer), or "ok" when none is left.
class DialogAnswerer : public QObject {
public:
    DialogAnswerer() { qApp->installEventFilter(this); }
    QStringList answers;
    // "ObjectName: shown text", with " [masked]" while the mask covered, and the lines that would
    // show a box for a missing glyph.
    QStringList seen;
    std::function<void()> beforeAnswer; // runs while each dialog is open

    bool eventFilter(QObject *watched, QEvent *event) override {
        auto *dialog = qobject_cast<QDialog *>(watched);
        if (event->type() == QEvent::Show && dialog && dialog->isWindow())
            QTimer::singleShot(0, this,
                               [this, target = QPointer<QDialog>(dialog)] { answer(target); });
        return false;
    }

private:
    // Runs inside the dialog's event loop, once everything that reacts to its showing has.
    void answer(QDialog *dialog) {
        if (!dialog)
            return;
        auto *text = dialog->findChild<QTextEdit *>("textEditPrompt");
        MaskWidget *mask = MaskWidget::instance();
        const QWidget *covered = mask->coveredWidget();
        // Covered by the mask, and about centred over the window (a box may grow once shown).
        const QPoint offset =
            covered ? dialog->geometry().center() - covered->geometry().center() : QPoint();
        const bool masked = covered && mask->dims() && mask->dimmedArea() == covered->geometry() &&
                            offset.manhattanLength() < 60;
        // A message box whole; of the other dialogs their heading.
        QString shown = text ? text->toPlainText() : QString();
        if (!qobject_cast<FormCustomizeMessagebox *>(dialog))
            shown = shown.section('\n', 0, 0);
        seen << dialog->objectName() + (shown.isEmpty() ? "" : ": " + shown) +
                    (masked ? " [masked]" : "");
        if (beforeAnswer)
            beforeAnswer();
        const QString answer = answers.isEmpty() ? "ok" : answers.takeFirst();
        const char *button = answer == "ok"       ? "btnOK"
                             : answer == "cancel" ? "btnCancel"
                                                  : "btnUpgrade";
        if (auto *push = dialog->findChild<QPushButton *>(button))
            push->click();
        else
            dialog->reject();
    }
};

inline void leftPress(QWidget *widget) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

// The vendor selection's files: "system" (a folder of the test's home), "user" (in Qt's test
// location below the test's home, where window place and theme go too) and "beside" the program.
inline QString settingsPath(const QString &where = "user") {
    QStandardPaths::setTestModeEnabled(true);
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(QDir::homePath() + "/.qttest/xdg"));
    const QStringList files = vendorSelectionFiles();
    return where == "user" ? userSettingsFile() : where == "system" ? files.first() : files.last();
}

struct WindowFixture : SimFixture {
    WindowFixture()
        : SimFixture(configAt("1-1")) {
        installClock(nullptr); // the preview and the watcher run on the system clock
        setApplicationFont();
        for (const char *where : {"system", "user", "beside"})
            QFile::remove(settingsPath(where));
        g_pan = g_tilt = 0;
        g_zoom = 100;
    }
    ~WindowFixture() {
        window.reset();
        // A disk the window's watcher left open belongs to the simulated bus, which goes next.
        releaseUpdaterDevice();
        for (const char *where : {"system", "user", "beside"})
            QFile::remove(settingsPath(where));
    }
    // Opens the window and stops the preview that opening the first camera started.
    MainWindow &open() {
        window = std::make_unique<MainWindow>();
        if (access().previewWorkerRunning())
            leftPress(child<QLabel>("labelStop"));
        return *window;
    }
    MainWindowTestAccess access() { return MainWindowTestAccess(*window); }
    template <typename T = QWidget>
    T *child(const QString &name) const {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no widget %s", qPrintable(name));
        return found;
    }
    // The objects among these names that are enabled.
    QStringList enabled(const QStringList &names) const {
        QStringList result;
        for (const QString &name : names)
            if (child(name)->isEnabled())
                result << name;
        return result;
    }

    DialogAnswerer dialogs;
    std::unique_ptr<MainWindow> window;
};
