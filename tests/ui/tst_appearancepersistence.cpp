// Window persistence: the saved theme and geometry restored at start and written at close, only
// on a single screen, with the rules for missing, zero and unusual values.
#include "appearancesupport.h"
#include "testsupport/testsupport.h"

using namespace appearance;

class TestAppearancePersistence : public QObject, public Fixture {
    Q_OBJECT

private slots:
    void init() { setUpCase(); }
    void cleanup() { tearDownCase(); }

    void savedThemeAndGeometryOnOneScreen_data();
    void savedThemeAndGeometryOnOneScreen();
    void anyMissingGeometryValueKeepsTheDefaultPlace_data();
    void anyMissingGeometryValueKeepsTheDefaultPlace();
    void partlyVisibleSavedPlaceIsKept();
    void otherScreenCountsIgnoreTheSavedValues_data();
    void otherScreenCountsIgnoreTheSavedValues();
    void closeWritesDecimalValues();
    void styleIndexIsWrittenBackAsLoaded_data();
    void styleIndexIsWrittenBackAsLoaded();
    void restartRestoresTheSamePlaceAndSize();
};

void TestAppearancePersistence::savedThemeAndGeometryOnOneScreen_data() {
    QTest::addColumn<int>("styleIndex");
    QTest::newRow("light") << 0;
    QTest::newRow("dark") << 1;
    QTest::newRow("any other number is dark") << 7;
    QTest::newRow("negative is dark too") << -1;
}

void TestAppearancePersistence::savedThemeAndGeometryOnOneScreen() {
    QFETCH(int, styleIndex);
    writeSettings({{"/window/left", 130},
                   {"/window/top", 70},
                   {"/window/width", 1200},
                   {"/window/height", 760},
                   {"/style/index", styleIndex}});
    MessageCapture messages;
    openWindow();
    const bool dark = styleIndex != 0;
    QCOMPARE(access().styleIndex(), styleIndex);
    verifyTheme(dark);
    QCOMPARE(window->pos(), QPoint(130, 70));
    QCOMPARE(window->size(), QSize(1200, 760));
    QVERIFY(messages.contains(QStringLiteral("pre main window pos: \"130 70 1200 760\"")));
    QVERIFY(messages.contains(QStringLiteral("pre ui style: %1").arg(styleIndex)));
    QVERIFY(messages.contains(QStringLiteral("Set the last display position of the window.")));

    // The mode button starts from the restored theme: one click gives the other one.
    clickModeButtonExpecting(dark ? 0 : 1);
    clickModeButtonExpecting(dark ? 1 : 0);
}

void TestAppearancePersistence::anyMissingGeometryValueKeepsTheDefaultPlace_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    // A window flush with the left screen edge counts as having no saved place.
    QTest::newRow("left edge 0") << "/window/left" << QVariant(0);
    QTest::newRow("top edge 0") << "/window/top" << QVariant(0);
    QTest::newRow("width 0") << "/window/width" << QVariant(0);
    QTest::newRow("height 0") << "/window/height" << QVariant(0);
    QTest::newRow("left missing") << "/window/left" << QVariant();
    QTest::newRow("height not a number") << "/window/height" << QVariant(QStringLiteral("tall"));
    // A place off the screen (saved on a larger desktop) cannot be reached.
    QTest::newRow("left beyond the screen") << "/window/left" << QVariant(5000);
    QTest::newRow("top edge above the screen") << "/window/top" << QVariant(-400);
    QTest::newRow("top edge below the screen") << "/window/top" << QVariant(3000);
    QTest::newRow("50 px left on the screen") << "/window/left" << QVariant(-1150);
}

void TestAppearancePersistence::anyMissingGeometryValueKeepsTheDefaultPlace() {
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QMap<QString, QVariant> values = {{"/window/left", 130},
                                      {"/window/top", 70},
                                      {"/window/width", 1200},
                                      {"/window/height", 760},
                                      {"/style/index", 1}};
    if (value.isValid())
        values[key] = value;
    else
        values.remove(key);
    writeSettings(values);
    MessageCapture messages;
    openWindow();
    QVERIFY(messages.contains(QStringLiteral("Set the default display position of the window.")));
    QVERIFY(!messages.contains(QStringLiteral("Set the last display position of the window.")));
    QCOMPARE(window->size(), kDefaultSize);
    QVERIFY(window->pos() != QPoint(130, 70));
    // The theme does not depend on the geometry.
    verifyTheme(true);
}

void TestAppearancePersistence::partlyVisibleSavedPlaceIsKept() {
    // Half the window hangs off the left edge; its title bar can still be reached.
    writeSettings({{"/window/left", -600},
                   {"/window/top", 70},
                   {"/window/width", 1200},
                   {"/window/height", 760},
                   {"/style/index", 0}});
    MessageCapture messages;
    openWindow();
    QVERIFY(messages.contains(QStringLiteral("Set the last display position of the window.")));
    QVERIFY(!messages.contains(QStringLiteral("The saved window position lies off the screen.")));
    QCOMPARE(window->pos(), QPoint(-600, 70));
    QCOMPARE(window->size(), QSize(1200, 760));
}

void TestAppearancePersistence::otherScreenCountsIgnoreTheSavedValues_data() {
    QTest::addColumn<int>("screens");
    QTest::newRow("two screens") << 2;
    QTest::newRow("three screens") << 3;
    QTest::newRow("no screen reported") << 0;
}

void TestAppearancePersistence::otherScreenCountsIgnoreTheSavedValues() {
    QFETCH(int, screens);
    fakeScreens() = screens;
    writeSettings({{"/window/left", 130},
                   {"/window/top", 70},
                   {"/window/width", 1200},
                   {"/window/height", 760},
                   {"/style/index", 1}});
    const QByteArray before = settingsFileBytes();
    MessageCapture messages;
    openWindow();
    QCOMPARE(window->size(), kDefaultSize);
    QVERIFY(window->pos() != QPoint(130, 70));
    QVERIFY(!messages.contains(QStringLiteral("display position of the window.")));
    verifyTheme(false);
    // The loaded index is kept, but the mode button starts from the light theme.
    QCOMPARE(access().styleIndex(), 1);
    button("btnModeLight")->click();
    verifyTheme(true);

    window->move(200, 150);
    window->resize(1150, 720);
    QVERIFY(window->close());
    QCOMPARE(settingsFileBytes(), before);
}

void TestAppearancePersistence::closeWritesDecimalValues() {
    writeSettings({{"/product_model/main", 0}});
    openWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->move(140, 90);
    window->resize(1150, 720);
    button("btnModeLight")->click();
    const QRect frame = window->frameGeometry();
    const QSize client = window->size();
    QCOMPARE(client, QSize(1150, 720));
    QVERIFY(window->close());

    QSettings settings(settingsPath(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("/window/left")).toString(), QString::number(frame.x()));
    QCOMPARE(settings.value(QStringLiteral("/window/top")).toString(), QString::number(frame.y()));
    QCOMPARE(settings.value(QStringLiteral("/window/width")).toString(), QStringLiteral("1150"));
    QCOMPARE(settings.value(QStringLiteral("/window/height")).toString(), QStringLiteral("720"));
    QCOMPARE(settings.value(QStringLiteral("/style/index")).toString(), QStringLiteral("1"));
    QCOMPARE(settings.value(QStringLiteral("/product_model/main")).toInt(), 0);

    // Plain decimal text under [window] and [style].
    const QString text = QString::fromUtf8(settingsFileBytes());
    const QString windowSection = text.section(QStringLiteral("[window]\n"), 1).section('[', 0, 0);
    for (const QString &line :
         {QStringLiteral("left=%1\n").arg(frame.x()), QStringLiteral("top=%1\n").arg(frame.y()),
          QStringLiteral("width=1150\n"), QStringLiteral("height=720\n")})
        QVERIFY2(windowSection.contains(line), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("[style]\nindex=1\n")), qPrintable(text));
}

void TestAppearancePersistence::styleIndexIsWrittenBackAsLoaded_data() {
    QTest::addColumn<int>("loaded");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QString>("written");
    QTest::newRow("7 kept") << 7 << 0 << "7";
    QTest::newRow("7 switched to light") << 7 << 1 << "0";
    QTest::newRow("7 switched twice") << 7 << 2 << "1";
    QTest::newRow("0 kept") << 0 << 0 << "0";
}

void TestAppearancePersistence::styleIndexIsWrittenBackAsLoaded() {
    QFETCH(int, loaded);
    QFETCH(int, clicks);
    QFETCH(QString, written);
    writeSettings({{"/style/index", loaded}});
    openWindow();
    for (int i = 0; i < clicks; ++i)
        button("btnModeLight")->click();
    QVERIFY(window->close());
    QSettings settings(settingsPath(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("/style/index")).toString(), written);
}

void TestAppearancePersistence::restartRestoresTheSamePlaceAndSize() {
    openWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->move(160, 110);
    window->resize(1210, 745);
    button("btnModeLight")->click();
    const QPoint place = window->pos();
    const QSize size = window->size();
    QVERIFY(window->close());
    const QByteArray saved = settingsFileBytes();
    window.reset();

    openWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->pos(), place);
    QCOMPARE(window->size(), size);
    verifyTheme(true);
    // Closing again without a move writes the same values.
    QVERIFY(window->close());
    QCOMPARE(settingsFileBytes(), saved);
}

QTEST_MAIN(TestAppearancePersistence)
#include "tst_appearancepersistence.moc"
