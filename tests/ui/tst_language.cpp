// The window in one language, chosen by CC_TEST_LANGUAGE (the suite runs this test once per
// language) and installed before anything is built, as at start-up: every text fits its widget at
// the window's smallest size with the fonts the program ships and has its glyphs, and so do the
// message texts in the message box; every control has a name for screen readers. And the window
// from the keyboard: the tab order of each page, Escape on the dialogs.
#include "app/language.h"
#include "ui/picturepage.h"
#include "upgrade/formabnormal.h"
#include "upgrade/formupgrade.h"
#include "windowfixture.h"

#include <QAccessible>
#include <QSettings>
#include <QXmlStreamReader>

namespace {
// The texts that do not fit their widget, as "objectName: text" (labels and text boxes by the size
// their text asks for, buttons and combo boxes, their longest item, by their size hint, which is
// the text with the style sheet's padding), and the controls that take the focus but that a screen
// reader would read without a name.
QStringList problems(QWidget *root) {
    QStringList found;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        const auto *label = qobject_cast<QLabel *>(widget);
        const auto *edit = qobject_cast<QTextEdit *>(widget);
        const QSize hint = widget->sizeHint();
        bool fits = true;
        if (label && label->wordWrap())
            fits = label->heightForWidth(label->width()) <= label->height();
        else if (label)
            fits = hint.width() <= label->width() && hint.height() <= label->height();
        else if (edit)
            fits = edit->document()->size().height() <= edit->viewport()->height();
        else if (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QComboBox *>(widget))
            fits = hint.width() <= widget->width();
        if (!fits && widget->isVisibleTo(root))
            found << widget->objectName() + ": " + widget->property("text").toString();
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(root) &&
            QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).isEmpty())
            found << widget->objectName() + ": no name for screen readers";
    }
    return found;
}

// Every text of the window's and of the access notices' contexts (where the message texts are), in
// the language of the run, from its translation file (English: the sources of one).
QStringList messages(const QString &language) {
    QFile file(QString(CC_SOURCE_DIR "/translations/cameracontrol_%1.ts")
                   .arg(language == "en" ? "de" : language));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no translation file %s", qPrintable(file.fileName()));
    QStringList texts;
    QString context;
    for (QXmlStreamReader xml(&file); !xml.atEnd();) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == "name")
            context = xml.readElementText();
        else if (xml.isStartElement() &&
                 xml.name() == (language == "en" ? "source" : "translation") &&
                 QString("MainWindow DeviceAccessNotices").contains(context))
            texts << xml.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    return texts;
}

#define QVERIFY_NONE(list) QVERIFY2((list).isEmpty(), qPrintable((list).join(" | ")))
} // namespace

class TestLanguage : public QObject {
    Q_OBJECT

    const QString language = qEnvironmentVariable("CC_TEST_LANGUAGE", "en");
    std::unique_ptr<WindowFixture> f;

private slots:
    // The language as start-up chooses it: from the system's (LANGUAGE) or the user's setting.
    void initTestCase() {
        QSettings(settingsPath(), QSettings::IniFormat)
            .setValue("language", qEnvironmentVariable("CC_TEST_SETTING"));
        QCOMPARE(installConfiguredLanguage(), language);
    }
    // Each case opens the window, at its smallest size (the camera's tracking is off).
    void init() {
        f = std::make_unique<WindowFixture>();
        f->open().show();
        f->window->resize(f->window->minimumSize());
        QApplication::setActiveWindow(f->window.get());
    }
    void cleanup() { f.reset(); }

    // The Control page with tracking off, then in Auto Framing (its other rows), the Support page.
    // The themes differ in colours only.
    void windowTexts() {
        MainWindow &window = *f->window;
        QVERIFY_NONE(problems(&window) + missingGlyphs(&window));
        f->child<QComboBox>("comboBoxTrackMode")->setCurrentIndex(0);
        QVERIFY_NONE(problems(&window) + missingGlyphs(&window));
        f->child<QAbstractButton>("btnNavPicture")->click();
        QVERIFY_NONE(problems(&window) + missingGlyphs(&window));
        QCOMPARE(f->child<QComboBox>("comboBoxPicture_auto-exposure")->currentText(),
                 PicturePage::tr("Aperture Priority Mode")); // the driver's words, translated
        f->child<QAbstractButton>("btnNavSupport")->click();
        QVERIFY_NONE(problems(&window) + missingGlyphs(&window));
    }

    // The message texts in the message box; the other dialogs, and Escape on each: the result is
    // Cancel's (OK's where it is alone), pressed on the button that has the focus.
    void dialogs() {
        for (const QString &text : messages(language)) {
            FormCustomizeMessagebox box(text, 1, true);
            box.show();
            QVERIFY_NONE(problems(&box) + missingGlyphs(&box));
        }
        qApp->removeEventFilter(&f->dialogs); // the keyboard answers here
        FormCustomizeMessagebox box("text", 1, true), okOnly("text", 0, true);
        FormUpgrade upgrade;
        FormAbnormal abnormal;
        QList<int> results;
        for (QDialog *dialog :
             std::initializer_list<QDialog *>{&upgrade, &abnormal, &box, &okOnly}) {
            dialog->show();
            QVERIFY_NONE(problems(dialog) + missingGlyphs(dialog));
            QTimer::singleShot(
                0, dialog, [dialog] { QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape); });
            results << dialog->exec();
        }
        QCOMPARE(results, (QList<int>{0, 0, 0, 1}));
        QVERIFY(!box.countdownActive());
    }

    // From the first control until the focus comes back to it, on each page: every control once
    // (a label's link is a second stop in its label).
    void tabOrder() {
        QWidget *first = f->child("btnModeLight");
        QStringList visited;
        for (const char *page : {"btnNavControl", "btnNavPicture", "btnNavSupport"}) {
            f->child<QAbstractButton>(page)->click();
            first->setFocus(Qt::TabFocusReason);
            visited << page;
            do {
                if (visited.last() != QApplication::focusWidget()->objectName())
                    visited << QApplication::focusWidget()->objectName();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            } while (QApplication::focusWidget() != first && visited.size() < 80);
        }
        const QString top =
            "btnModeLight btnNavControl btnNavPicture btnNavSupport listWidgetCamera ";
        // The profile row's buttons take the focus only while they can be used (a stored profile).
        QString profileRow;
        for (const char *name : {"comboBoxProfiles", "btnProfileSaveAs", "btnProfileApply",
                                 "btnProfileDelete", "checkBoxConnectProfile"})
            if (f->child(name)->isEnabled())
                profileRow += QString(name) + ' ';
        QCOMPARE(visited.join(' '),
                 "btnNavControl " + top +
                     "labPreview comboBoxAntiFlicker comboBoxTrackMode widgetDirectionBg "
                     "sliderZoom comboBoxMic btnRestoreDefaults " +
                     profileRow + "btnNavPicture " + top +
                     "sliderPicture_brightness sliderPicture_contrast sliderPicture_saturation "
                     "sliderPicture_sharpness sliderPicture_gamma sliderPicture_gain "
                     "sliderPicture_backlight-compensation checkBoxPicture_white-balance-automatic "
                     "comboBoxPicture_auto-exposure btnResetPicture btnNavSupport " +
                     top +
                     "btnDevInfoExtend btnDevUpdateExtend btnUpgrade btnDevSupportExtend "
                     "labelHyperlinksQuickStartGuide labelHyperlinksContactSupport "
                     "btnDevDesktopVerExtend");
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
