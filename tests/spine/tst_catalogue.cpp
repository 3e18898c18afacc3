#include "device/catalogue.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestCatalogue : public QObject {
    Q_OBJECT

private slots:
    void parseVidPid_data();
    void parseVidPid();
    void modelIndexByName_data();
    void modelIndexByName();
    void modelIndexByIds_data();
    void modelIndexByIds();
    void vendorFromSettings_data();
    void vendorFromSettings();
    void optionTablesKeepTheirOddOrder();
};

void TestCatalogue::parseVidPid_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("result");
    QTest::addColumn<uint>("vendorId");
    QTest::addColumn<uint>("productId");

    QTest::newRow("composite device")
        << "usb#vid_1d6b&pid_0104&mi_00#6&1a2b&0&0000" << true << 0x1D6Bu << 0x0104u;
    QTest::newRow("interface name")
        << "\\\\?\\usb#vid_3c1e&pid_0305&mi_00#6&abc&0&0000#{65e8773d}\\global" << true << 0x3C1Eu
        << 0x0305u;
    QTest::newRow("markers are case-sensitive")
        << "usb#VID_1D6B&PID_0104&MI_00#x" << false << 0u << 0u;
    QTest::newRow("pid not followed by &")
        << "usb#vid_1d6b&pid_0104#6&1a2b" << false << 0x1D6Bu << 0u;
    QTest::newRow("empty") << "" << false << 0u << 0u;
    QTest::newRow("& too close to vid_") << "vid&_1d6b" << false << 0u << 0u;
    QTest::newRow("non-hex vendor digits") << "vid_zz&pid_0104&mi" << true << 0u << 0x0104u;
    QTest::newRow("non-hex product digits") << "vid_1d6b&pid_zzzz&mi" << false << 0x1D6Bu << 0u;
}

void TestCatalogue::parseVidPid() {
    QFETCH(QString, path);
    QFETCH(bool, result);
    QFETCH(uint, vendorId);
    QFETCH(uint, productId);

    std::uint32_t vid = 0;
    std::uint32_t pid = 0;
    QCOMPARE(::parseVidPid(path, vid, pid), result);
    QCOMPARE(uint(vid), vendorId);
    QCOMPARE(uint(pid), productId);
}

void TestCatalogue::modelIndexByName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("model");

    QTest::newRow("maker and model") << "Kestrelon ZENTA 320" << 2;
    QTest::newRow("lower case") << "kestrelon zenta 320" << 2;
    QTest::newRow("linux gadget") << "QX-M30-000" << 0;
    QTest::newRow("325 is not 320") << "ZENTA 325 Pro" << 3;
    QTest::newRow("no model") << "Integrated Webcam" << ModelIndexNone;
    QTest::newRow("compact name is not searched") << "ZENTA320" << ModelIndexNone;
    QTest::newRow("empty") << "" << ModelIndexNone;
}

void TestCatalogue::modelIndexByName() {
    QFETCH(QString, name);
    QFETCH(int, model);
    QCOMPARE(::modelIndexByName(name), model);
}

void TestCatalogue::modelIndexByIds_data() {
    QTest::addColumn<uint>("vendorId");
    QTest::addColumn<uint>("productId");
    QTest::addColumn<int>("model");

    QTest::newRow("gadget") << 0x1D6Bu << 0x0104u << 0;
    QTest::newRow("325") << uint(kVendorUsbId) << 0x0306u << 3;
    QTest::newRow("310") << uint(kVendorUsbId) << 0x0103u << 1;
    QTest::newRow("vendor with gadget product") << uint(kVendorUsbId) << 0x0104u << ModelIndexNone;
    QTest::newRow("gadget vendor with 320 product") << 0x1D6Bu << 0x0305u << ModelIndexNone;
}

void TestCatalogue::modelIndexByIds() {
    QFETCH(uint, vendorId);
    QFETCH(uint, productId);
    QFETCH(int, model);
    QCOMPARE(::modelIndexByIds(vendorId, productId), model);
}

void TestCatalogue::vendorFromSettings_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("manufacturer");
    QTest::addColumn<int>("vendorId");

    QTest::newRow("missing key reads as 0") << ""
                                            << "QX" << 0x1D6B;
    QTest::newRow("vendor 1") << "[product_model]\nmain=1\n"
                              << "Kestrelon" << int(kVendorUsbId);
    QTest::newRow("vendor 0") << "[product_model]\nmain=0\n"
                              << "QX" << 0x1D6B;
    QTest::newRow("no such row") << "[product_model]\nmain=7\n"
                                 << "" << 0;
    QTest::newRow("not a number") << "[product_model]\nmain=abc\n"
                                  << "QX" << 0x1D6B;
}

void TestCatalogue::vendorFromSettings() {
    QFETCH(QString, content);
    QFETCH(QString, manufacturer);
    QFETCH(int, vendorId);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(kSettingsFileName);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content.toUtf8());
    file.close();

    QSettings settings(path, QSettings::IniFormat);
    QString name = QStringLiteral("unchanged");
    int id = -1;
    vendorByIndex(settings.value(QStringLiteral("/product_model/main")).toInt(), name, id);
    QCOMPARE(name, manufacturer);
    QCOMPARE(id, vendorId);
}

void TestCatalogue::optionTablesKeepTheirOddOrder() {
    // The combo boxes are filled in table order and map an index to the i-th value.
    QCOMPARE(optionValueAt(SwitchOptions, 0), 1);
    QCOMPARE(optionValueAt(SwitchOptions, 1), 0);
    QCOMPARE(optionValueAt(TrackingModeOptions, 0), 1);
    QCOMPARE(optionValueAt(TrackingModeOptions, 1), 3);
    QCOMPARE(optionValueAt(TrackingModeOptions, 2), 0);
    QCOMPARE(optionIndexOfValue(TrackingModeOptions, 2), -1);
    QCOMPARE(optionIndexOfValue(TrackingEffectOptions, 0), 1);
    QCOMPARE(optionLabelOfValue(ConnectionStateText, 1), QStringLiteral("Disconnected"));
    QCOMPARE(optionLabelOfValue(ConnectionStateText, 5), QString());
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
