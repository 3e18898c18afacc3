// The window in one language, chosen by CC_TEST_LANGUAGE (the suite runs this test once per
// language) and installed before anything is built, as at start-up: every text fits its widget at
// the window's smallest size with the fonts the program ships, has its glyphs, and every control
// has a name for screen readers; so do the message texts in the message box. The language choice
// itself is a table.
#include "app/language.h"
#include "common/deviceaccess.h"
#include "control/camerasettings.h"
#include "upgrade/formabnormal.h"
#include "upgrade/formupgrade.h"
#include "upgrade/packagesequence.h"
#include "upgrade/upgraderun.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QListWidget>
#include <QStackedWidget>
#include <QStyleOption>

namespace {
// The texts that do not fit their widget, as "objectName: text". Buttons and combo boxes are
// measured against the room their style leaves for the text; labels and text boxes by the size
// their text asks for.
QStringList overflowing(QWidget *root) {
    QStringList found;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(root))
            continue;
        const QFontMetrics metrics = widget->fontMetrics();
        QStringList texts{widget->property("text").toString()};
        bool fits = true;
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                     : label->sizeHint().width() <= label->width() &&
                                           label->sizeHint().height() <= label->height();
        } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            fits = metrics.size(Qt::TextShowMnemonic, button->text()).width() <=
                   button->style()
                       ->subElementRect(QStyle::SE_PushButtonContents, &option, button)
                       .width();
        } else if (auto *box = qobject_cast<QComboBox *>(widget)) {
            QStyleOptionComboBox option;
            option.initFrom(box);
            const int room = box->style()
                                 ->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, box)
                                 .width();
            for (int i = 0; i < box->count(); ++i)
                if (metrics.horizontalAdvance(box->itemText(i)) > room)
                    texts << box->itemText(i);
            fits = texts.size() == 1;
        } else if (qobject_cast<QAbstractButton *>(widget)) {
            fits = widget->sizeHint().width() <= widget->width();
        } else if (auto *edit = qobject_cast<QTextEdit *>(widget)) {
            texts << edit->toPlainText();
            fits = edit->document()->size().height() <= edit->viewport()->height();
        }
        if (!fits)
            found << widget->objectName() + ": " + texts.join(' ');
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
} // namespace

class TestLanguage : public QObject {
    Q_OBJECT

    const QString language = qEnvironmentVariable("CC_TEST_LANGUAGE", "en");
    std::unique_ptr<WindowFixture> f;

private slots:
    void initTestCase() { QVERIFY(installTranslations(language) == (language != "en")); }
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup() { f.reset(); }

    void choice_data() {
        addColumns<QString, QStringList, QString>({"setting", "system", "expected"});
        QTest::newRow("system German") << "" << QStringList{"de-AT", "en-US"} << "de";
        QTest::newRow("system Chinese") << "" << QStringList{"zh-Hans-CN"} << "zh_CN";
        QTest::newRow("traditional Chinese") << "" << QStringList{"zh-Hant-TW"} << "zh_CN";
        QTest::newRow("first known system language") << "" << QStringList{"fr", "de"} << "de";
        QTest::newRow("none known") << "" << QStringList{"fr-FR", "ja"} << "en";
        QTest::newRow("setting over the system") << "zh_CN" << QStringList{"de-DE"} << "zh_CN";
        QTest::newRow("English setting") << "en" << QStringList{"de-DE"} << "en";
        QTest::newRow("unknown setting") << "klingon" << QStringList{"de-DE"} << "de";
    }
    void choice() {
        QFETCH(QString, setting);
        QFETCH(QStringList, system);
        QFETCH(QString, expected);
        QCOMPARE(chooseLanguage(setting, system), expected);
    }

    void windowTexts_data() {
        addColumns<int, int>({"trackingMode", "page"});
        QTest::newRow("Control, tracking off") << 0 << 0;
        QTest::newRow("Control, Auto Framing") << 1 << 0;
        QTest::newRow("Support") << 0 << 1;
    }
    void windowTexts() {
        QFETCH(int, trackingMode);
        QFETCH(int, page);
        f->camera->setSettings({static_cast<std::uint8_t>(trackingMode), 1, 1, 1, 0, 1});
        MainWindow &window = f->open();
        window.resize(window.minimumSize());
        window.show();
        f->child<QStackedWidget>("stackedWidgetMain")->setCurrentIndex(page);
        QCoreApplication::processEvents();
        QVERIFY(f->child<QLabel>("labelState")
                    ->text()
                    .contains(QCoreApplication::translate("QObject", "Connected")));
        for (int theme = 0; theme < 2; ++theme) {
            QVERIFY2(overflowing(&window).isEmpty(), qPrintable(overflowing(&window).join(" | ")));
            QVERIFY2(missingGlyphs(&window).isEmpty(),
                     qPrintable(missingGlyphs(&window).join(" | ")));
            f->child<QPushButton>("btnModeLight")->click();
        }
        QVERIFY2(unnamed(&window).isEmpty(), qPrintable(unnamed(&window).join(" | ")));
    }

    void messageTexts() {
        for (const QString &text : messages()) {
            FormCustomizeMessagebox box(text, 1, true);
            box.show();
            QVERIFY2(overflowing(&box).isEmpty(), qPrintable(overflowing(&box).join(" | ")));
            QVERIFY2(missingGlyphs(&box).isEmpty(), qPrintable(missingGlyphs(&box).join(" | ")));
        }
        FormUpgrade upgrade;
        FormAbnormal abnormal;
        for (QDialog *dialog : std::initializer_list<QDialog *>{&upgrade, &abnormal}) {
            dialog->show();
            QVERIFY2(overflowing(dialog).isEmpty(), qPrintable(overflowing(dialog).join(" | ")));
            QVERIFY2(unnamed(dialog).isEmpty(), qPrintable(unnamed(dialog).join(" | ")));
        }
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
