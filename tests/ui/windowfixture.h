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

#include <QApplication>
#include <QComboBox>
#include <QGlyphRun>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QtTest>

class MainWindowTestAccess {
public:
    explicit MainWindowTestAccess(MainWindow &window)
        : w(window) {}
    QString currentDeviceId() const { return w.currentDeviceId; }
    bool controlsReady() const { return w.controlsReady; }
    bool upgrading() const { return w.upgrading; }
    bool previewWorkerRunning() const { return w.videoWorker && w.videoThread; }
    int styleIndex() const { return w.styleIndex; }
    VideoStreamThread *worker() const { return w.videoWorker; }
    // Delivers an event as the hot-plug source would, at once.
    void reportCaptureInterface(bool arrival, const std::string &name) {
        emit w.hotplugSource->captureInterfaceChanged(arrival, QString::fromStdString(name));
    }
    void setUpgrading(bool on, bool awaitingReport = false) {
        w.upgrading = on;
        w.awaitingReport = awaitingReport;
    }
    void setPackageChooser(const QString &package) {
        w.choosePackageFile = [package](QWidget *) { return package; };
    }
    void setPackageDirectory(const QString &directory) { w.packageDir = directory; }

private:
    MainWindow &w;
};

// The texts that a widget shows, as plain text.
inline QStringList textsOf(QWidget *widget) {
    QStringList texts;
    if (auto *label = qobject_cast<QLabel *>(widget))
        texts << label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        texts << button->text();
    else if (auto *edit = qobject_cast<QTextEdit *>(widget))
        texts << edit->toPlainText();
    else if (auto *box = qobject_cast<QComboBox *>(widget))
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
    else if (auto *list = qobject_cast<QListWidget *>(widget))
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
    for (QString &text : texts) {
        if (Qt::mightBeRichText(text)) {
            QTextDocument document;
            document.setHtml(text);
            text = document.toPlainText();
        }
    }
    return texts;
}

// The lines shown by the widget and its children that a font Qt resolves for them has no glyph
// for (they would show a box), as "objectName: line".
inline QStringList missingGlyphs(QWidget *root) {
    QStringList missing;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *widget : qAsConst(widgets))
        for (const QString &text : textsOf(widget))
            for (const QString &line : text.split('\n', Qt::SkipEmptyParts)) {
                QTextLayout layout(line, widget->font());
                layout.beginLayout();
                layout.createLine();
                layout.endLayout();
                for (const QGlyphRun &run : layout.glyphRuns())
                    if (run.glyphIndexes().contains(0))
                        missing << widget->objectName() + ": " + line;
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
        const QStringList boxes = missingGlyphs(dialog);
        seen << dialog->objectName() + (shown.isEmpty() ? "" : ": " + shown) +
                    (masked ? " [masked]" : "") +
                    (boxes.isEmpty() ? "" : " [no glyph: " + boxes.join(", ") + "]");
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

// The user's settings file, in Qt's test location below the test's home; the system's
// configuration folder is one of the test's own.
inline QString settingsPath() {
    QStandardPaths::setTestModeEnabled(true);
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(QDir::homePath() + "/.qttest/xdg"));
    return userSettingsFile();
}
// The vendor selection's files: "system", "user" (settingsPath()) and "beside" the program.
inline QString settingsPath(const QString &where) {
    const QString user = settingsPath();
    const QStringList files = vendorSelectionFiles();
    return where == "system" ? files.first() : where == "user" ? user : files.last();
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
