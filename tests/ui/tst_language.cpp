// The window in one language, chosen by CC_TEST_LANGUAGE (the suite runs this test once per
// language) and installed before anything is built, as at start-up: every text fits its widget at
// the window's smallest size with the fonts the program ships and has its glyphs, in both themes,
// and so do the message texts in the message box; every control has a name for screen readers.
// And the window from the keyboard: the tab order of each page, the keys of the direction pad, the
// zoom and the preview on the simulated camera, Escape on the dialogs. The language choice itself
// is a table.
#include "app/language.h"
#include "common/deviceaccess.h"
#include "control/camerasettings.h"
#include "upgrade/formabnormal.h"
#include "upgrade/formupgrade.h"
#include "upgrade/packagesequence.h"
#include "upgrade/upgraderun.h"
#include "windowfixture.h"

#include <QAccessible>

namespace {
// The texts that do not fit their widget, as "objectName: text": labels and text boxes by the
// size their text asks for, buttons and combo boxes (their longest item) by their size hint, which
// is the text with the style sheet's padding.
QStringList overflowing(QWidget *root) {
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
            found << widget->objectName() + ": " + widget->property("text").toString() +
                         widget->property("currentText").toString() +
                         (edit ? edit->toPlainText() : QString());
    }
    return found;
}

// The controls that take the focus but that a screen reader would read without a name.
QStringList unnamed(QWidget *root) {
    QStringList found;
    for (QWidget *widget : root->findChildren<QWidget *>())
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(root) &&
            QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).isEmpty())
            found << widget->objectName();
    return found;
}

// Every text that a message box shows, in the language installed.
QStringList messages() {
    QStringList texts = {upgradeResultText(true),
                         upgradeResultText(false),
                         settingTimeoutText(settingDefinition(CameraSetting::Hdr)),
                         settingTimeoutText(settingDefinition(CameraSetting::TrackingMode)),
                         DeviceAccessNotices::advice(DeviceNodeKind::Camera, "/dev/video0"),
                         DeviceAccessNotices::advice(DeviceNodeKind::Updater, "/dev/sg0")};
    for (PackageVerdict verdict :
         {PackageVerdict::BadLayout, PackageVerdict::Corrupted, PackageVerdict::OtherModel})
        texts << packageRefusalText(verdict);
    for (const char *source :
         {"To complete this process, your device may take a few seconds to restart.",
          "<h3>Restore Defaults</h3>\r\nTo complete this process, your device may take a few "
          "seconds to restart.",
          "Cannot exit during the upgrade process!"})
        texts << QCoreApplication::translate("MainWindow", source);
    return texts;
}

#define QVERIFY_NONE(list) QVERIFY2((list).isEmpty(), qPrintable((list).join(" | ")))
} // namespace

class TestLanguage : public QObject {
    Q_OBJECT

    const QString language = qEnvironmentVariable("CC_TEST_LANGUAGE", "en");
    std::unique_ptr<WindowFixture> f;

    // Opens the window at its smallest size on a camera with tracking off (Auto Framing: 1).
    MainWindow &show(std::uint8_t trackingMode = 0) {
        f->camera->setSettings({trackingMode, 1, 1, 1, 0, 1});
        MainWindow &window = f->open();
        window.resize(window.minimumSize());
        window.show();
        QApplication::setActiveWindow(&window);
        return window;
    }
    QString position() const {
        const SimPosition at = f->camera->position();
        return QString("%1 %2 %3").arg(at.pan_deg).arg(at.tilt_deg).arg(at.zoom);
    }

private slots:
    void initTestCase() { QVERIFY(installTranslations(language) == (language != "en")); }
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup() { f.reset(); }

    void choice_data() {
        addColumns<QString, QStringList, QString>({"setting", "system", "expected"});
        QTest::newRow("system") << "" << QStringList{"de-AT", "en-US"} << "de";
        QTest::newRow("any Chinese") << "" << QStringList{"zh-Hant-TW"} << "zh_CN";
        QTest::newRow("first known") << "" << QStringList{"fr", "ja", "zh-Hans-CN"} << "zh_CN";
        QTest::newRow("none known") << "" << QStringList{"fr-FR"} << "en";
        QTest::newRow("setting first") << "en" << QStringList{"de-DE"} << "en";
        QTest::newRow("unknown setting") << "klingon" << QStringList{"de-DE"} << "de";
    }
    void choice() {
        QFETCH(QString, setting);
        QFETCH(QStringList, system);
        QFETCH(QString, expected);
        QCOMPARE(chooseLanguage(setting, system), expected);
    }

    // Each page, and the Control page in both layouts of its tracking rows.
    void windowTexts_data() {
        addColumns<std::uint8_t, QString>({"trackingMode", "page"});
        QTest::newRow("Control, tracking off") << std::uint8_t(0) << "btnNavControl";
        QTest::newRow("Control, Auto Framing") << std::uint8_t(1) << "btnNavControl";
        QTest::newRow("Support") << std::uint8_t(0) << "btnNavSupport";
    }
    void windowTexts() {
        QFETCH(std::uint8_t, trackingMode);
        QFETCH(QString, page);
        MainWindow &window = show(trackingMode);
        f->child<QAbstractButton>(page)->click();
        QVERIFY(f->child<QLabel>("labelState")
                    ->text()
                    .endsWith("(" + QCoreApplication::translate("QObject", "Connected") + ")"));
        for (int theme = 0; theme < 2; ++theme) {
            QVERIFY_NONE(overflowing(&window));
            QVERIFY_NONE(missingGlyphs(&window));
            f->child<QPushButton>("btnModeLight")->click();
        }
        QVERIFY_NONE(unnamed(&window));
    }

    void dialogTexts() {
        for (const QString &text : messages()) {
            FormCustomizeMessagebox box(text, 1, true);
            box.show();
            QVERIFY_NONE(overflowing(&box));
            QVERIFY_NONE(missingGlyphs(&box));
        }
        FormUpgrade upgrade;
        FormAbnormal abnormal;
        for (QDialog *dialog : std::initializer_list<QDialog *>{&upgrade, &abnormal}) {
            dialog->show();
            QVERIFY_NONE(overflowing(dialog) + missingGlyphs(dialog) + unnamed(dialog));
        }
    }

    void tabOrder_data() {
        addColumns<QString, QString>({"page", "expected"});
        const QString top = "btnModeLight btnNavControl btnNavSupport listWidgetCamera ";
        QTest::newRow("Control") << "btnNavControl"
                                 << top + "labPreview comboBoxAntiFlicker comboBoxTrackMode "
                                          "widgetDirectionBg sliderZoom comboBoxMic "
                                          "btnRestoreDefaults";
        QTest::newRow("Support") << "btnNavSupport"
                                 << top + "btnDevInfoExtend btnDevUpdateExtend btnUpgrade "
                                          "btnDevSupportExtend labelHyperlinksQuickStartGuide "
                                          "labelHyperlinksContactSupport btnDevDesktopVerExtend";
    }
    // From the first control until the focus comes back to it, every control once (a label's
    // link is a second stop in its label).
    void tabOrder() {
        QFETCH(QString, page);
        QFETCH(QString, expected);
        show();
        f->child<QAbstractButton>(page)->click();
        QWidget *first = f->child("btnModeLight");
        first->setFocus(Qt::TabFocusReason);
        QStringList visited;
        for (int tab = 0; tab < 40 && (tab == 0 || QApplication::focusWidget() != first); ++tab) {
            if (visited.isEmpty() || visited.last() != QApplication::focusWidget()->objectName())
                visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited.join(' '), expected);
    }

    void padZoomAndPreviewKeys() {
        show();
        QWidget *pad = f->child("widgetDirectionBg");
        QTest::keyClick(pad, Qt::Key_Up); // at 100 % the picture cannot move
        QTest::keyClick(pad, Qt::Key_Plus);
        QTest::keyClick(pad, Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(position(), QString("0 0 120"));
        for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Left, Qt::Key_Down, Qt::Key_Left})
            QTest::keyClick(pad, key);
        QTest::keyClick(pad, Qt::Key_Right, Qt::ControlModifier); // not the pad's key
        QTest::keyClick(f->child("sliderZoom"), Qt::Key_Minus);
        QCOMPARE(position(), QString("-2 1 110"));
        QWidget *preview = f->child("labPreview");
        QTest::keyClick(preview, Qt::Key_Space);
        QTRY_VERIFY(f->access().previewWorkerRunning()); // after the loading animation
        QTest::keyClick(preview, Qt::Key_Return);
        QVERIFY(!f->access().previewWorkerRunning());
        QTest::keyClick(preview, Qt::Key_Minus);
        QCOMPARE(position(), QString("-2 1 100"));
    }

    // Escape on the button that has the focus, as a key press goes; the result is Cancel's.
    void escapeCancels() {
        qApp->removeEventFilter(&f->dialogs); // the keyboard answers here
        FormCustomizeMessagebox box("text", 1, true), okOnly("text", 0, true);
        FormUpgrade upgrade;
        FormAbnormal abnormal;
        QList<int> results;
        for (QDialog *dialog :
             std::initializer_list<QDialog *>{&box, &okOnly, &upgrade, &abnormal}) {
            QTimer::singleShot(
                0, dialog, [dialog] { QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape); });
            results << dialog->exec();
        }
        QCOMPARE(results, (QList<int>{0, 1, 0, 0}));
        QVERIFY(!box.countdownActive());
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
