// Themes of the main window: the mode button switching style sheet, palette, link colour and
// loading animation together, the style sheet applied once per change, an unreadable sheet
// changing nothing, and the captions fitting their column with the application font.
#include "appearancesupport.h"
#include "testsupport/testsupport.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QStyle>
#include <QStyleOptionComboBox>

using namespace appearance;

class TestAppearance : public QObject, public Fixture {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { setUpCase(); }
    void cleanup() { tearDownCase(); }

    void startsLightWithoutSettings();
    void modeButtonSwitchesTheWholeAppearance();
    void hiddenDarkButtonLeavesTheToggle();
    void sameSheetIsAppliedOnce();
    void unreadableOrEmptySheetChangesNothing();
    void captionsFitTheirColumn_data();
    void captionsFitTheirColumn();
};

void TestAppearance::initTestCase() {
    // As at start-up.
    MainWindow::installFontSubstitutes();
    QApplication::setFont(QFont(QStringLiteral("Segoe UI"), 12));
}

void TestAppearance::startsLightWithoutSettings() {
    MessageCapture messages;
    openWindow();
    QCOMPARE(access().styleIndex(), 0);
    verifyTheme(false);
    QCOMPARE(window->size(), kDefaultSize);
    QVERIFY(messages.contains(QStringLiteral("credit manufacturer: \"QX\"")));
    QVERIFY(messages.contains(QStringLiteral("pre main window pos: \"0 0 0 0\"")));
    QVERIFY(messages.contains(QStringLiteral("pre ui style: 0")));
    QVERIFY(messages.contains(QStringLiteral("Set the default display position of the window.")));
    QVERIFY(!messages.contains(QStringLiteral("Set the last display position of the window.")));
    // Reading creates no file.
    QVERIFY(!QFile::exists(settingsPath()));
}

void TestAppearance::modeButtonSwitchesTheWholeAppearance() {
    openWindow();
    verifyTheme(false);
    for (int round = 0; round < 2; ++round) {
        clickModeButtonExpecting(1);
        clickModeButtonExpecting(0);
    }
}

void TestAppearance::hiddenDarkButtonLeavesTheToggle() {
    openWindow();
    window->on_btnModeDark_clicked();
    QCOMPARE(access().styleIndex(), 1);
    verifyTheme(true);
    // The toggle still says light, so the next click of the mode button "switches" to dark.
    clickModeButtonExpecting(1);
    clickModeButtonExpecting(0);
}

void TestAppearance::sameSheetIsAppliedOnce() {
    openWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    StyleChangeCounter restyled(label("labelState"));

    // The counter sees a sheet that is set again unchanged.
    qApp->setStyleSheet(qApp->styleSheet());
    QVERIFY(restyled.count > 0);

    auto countOf = [&](const std::function<void()> &step) {
        restyled.count = 0;
        step();
        return restyled.count;
    };
    QVERIFY(countOf([&] { window->on_btnModeDark_clicked(); }) > 0);
    QCOMPARE(qApp->styleSheet(), sheetText(true));
    QCOMPARE(countOf([&] { window->on_btnModeDark_clicked(); }), 0);
    QCOMPARE(countOf([&] { window->changeStyle(QStringLiteral(":/qss/dark.css")); }), 0);
    // The toggle still said light: this click asks for dark again.
    QCOMPARE(countOf([&] { button("btnModeLight")->click(); }), 0);
    QVERIFY(countOf([&] { button("btnModeLight")->click(); }) > 0);
    QCOMPARE(qApp->styleSheet(), sheetText(false));
    QCOMPARE(countOf([&] { window->changeStyle(QStringLiteral(":/qss/light.css")); }), 0);
    // The applied text is remembered for the whole process, not per window.
    window.reset();
    openWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    StyleChangeCounter second(label("labelState"));
    window->changeStyle(QStringLiteral(":/qss/light.css"));
    QCOMPARE(second.count, 0);
    verifyTheme(false);
}

void TestAppearance::unreadableOrEmptySheetChangesNothing() {
    openWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    StyleChangeCounter restyled(label("labelState"));
    const QPalette palette = QApplication::palette();
    {
        MessageCapture messages;
        window->changeStyle(QStringLiteral(":/qss/no-such-theme.css"));
        QVERIFY(messages.contains(QStringLiteral("read style failed.")));
        QVERIFY(messages.contains(QStringLiteral(":/qss/no-such-theme.css")));
    }
    {
        MessageCapture messages;
        window->changeStyle(QString());
        QVERIFY(messages.messages().isEmpty());
    }
    QCOMPARE(restyled.count, 0);
    QCOMPARE(QApplication::palette(), palette);
    verifyTheme(false);
}

void TestAppearance::captionsFitTheirColumn_data() {
    QTest::addColumn<int>("styleIndex");
    QTest::newRow("light") << 0;
    QTest::newRow("dark") << 1;
}

void TestAppearance::captionsFitTheirColumn() {
    QFETCH(int, styleIndex);
    QVERIFY(QFont::substitutes(QStringLiteral("Segoe UI"))
                .contains(QStringLiteral("Carlito"), Qt::CaseInsensitive));
    if (QFontDatabase().families().contains(QStringLiteral("Segoe UI")))
        QSKIP("the application font itself is installed here");
    if (!QFontDatabase().families().contains(QStringLiteral("Carlito")))
        QSKIP("Carlito is not installed (scripts/install-deps.sh installs it)");

    writeSettings({{"/style/index", styleIndex}});
    openWindow();
    QCOMPARE(QFontInfo(label("label_2")->font()).family(), QStringLiteral("Carlito"));
    // Shown at the form's size, the narrowest the window gets at the first start.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->size(), kDefaultSize);
    for (const char *caption : {"label_2", "label_6", "label_16", "label_17", "label", "label_5"}) {
        QLabel *text = label(caption);
        QVERIFY2(text->width() >= text->minimumSizeHint().width(),
                 qPrintable(QStringLiteral("%1: %2 < %3")
                                .arg(QLatin1String(caption))
                                .arg(text->width())
                                .arg(text->minimumSizeHint().width())));
    }
    // Every choice of every combo box is readable in full in the box.
    for (QComboBox *box : window->findChildren<QComboBox *>()) {
        QStyleOptionComboBox option;
        option.initFrom(box);
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                         QStyle::SC_ComboBoxEditField, box);
        for (int i = 0; i < box->count(); ++i) {
            const int needed = box->fontMetrics().horizontalAdvance(box->itemText(i));
            QVERIFY2(needed <= field.width(), qPrintable(QStringLiteral("%1 \"%2\": %3 > %4")
                                                             .arg(box->objectName())
                                                             .arg(box->itemText(i))
                                                             .arg(needed)
                                                             .arg(field.width())));
        }
    }
}

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
