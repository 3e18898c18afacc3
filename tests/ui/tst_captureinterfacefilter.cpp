#include "device/captureinterfacefilter.h"
#include "device/interfacename.h"
#include "testsupport/testsupport.h"

#include <QtTest>

Q_DECLARE_METATYPE(CaptureInterfaceOutcome)

class TestCaptureInterfaceFilter : public QObject {
    Q_OBJECT

private slots:
    void classifies_data();
    void classifies();
    void namesBuiltForCaptureNodesPass_data();
    void namesBuiltForCaptureNodesPass();
};

void TestCaptureInterfaceFilter::classifies_data() {
    QTest::addColumn<bool>("arrival");
    QTest::addColumn<QString>("name");
    QTest::addColumn<CaptureInterfaceOutcome>("outcome");
    QTest::addColumn<QString>("trace");

    const QString guid = QStringLiteral("{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");
    const QString camera =
        QStringLiteral("\\\\?\\usb#vid_1d6b&pid_0104&mi_00#6&1a2b3c4d&0&0000#") + guid;
    QTest::newRow("arrival") << true << camera << CaptureInterfaceOutcome::Camera
                             << "usb camera in";
    QTest::newRow("removal") << false << camera << CaptureInterfaceOutcome::Camera
                             << "usb camera out";
    QTest::newRow("upper case") << true << camera.toUpper() << CaptureInterfaceOutcome::Camera
                                << "usb camera in";
    QTest::newRow("second node")
        << true << QStringLiteral("\\\\?\\usb#vid_1d6b&pid_0104&mi_00#6&1a2b3c4d&0&0001#") + guid
        << CaptureInterfaceOutcome::OtherNode << "";
    QTest::newRow("ordinal with more digits")
        << true << QStringLiteral("\\\\?\\usb#vid_1d6b&pid_0104&mi_00#6&1a2b3c4d&0&00000#") + guid
        << CaptureInterfaceOutcome::OtherNode << "";
    QTest::newRow("three parts") << true
                                 << QStringLiteral(
                                        "\\\\?\\usb#vid_1d6b&pid_0104&mi_00#6&1a2b3c4d&0&0000")
                                 << CaptureInterfaceOutcome::Malformed << "camera logic error";
    QTest::newRow("five parts")
        << true << QStringLiteral("\\\\?\\usb#vid_1d6b&pid_0104#mi_00#6&1a2b3c4d&0&0000#") + guid
        << CaptureInterfaceOutcome::Malformed << "camera logic error";
    // An empty part still counts: "##" makes a fifth part rather than being skipped.
    QTest::newRow("empty part counted")
        << false << QStringLiteral("\\\\?\\usb#vid_1d6b&pid_0104&mi_00##6&1a2b3c4d&0&0000#") + guid
        << CaptureInterfaceOutcome::Malformed << "camera logic error";
    QTest::newRow("empty instance part")
        << true << QStringLiteral("\\\\?\\usb#vid_1d6b&pid_0104&mi_00##") + guid
        << CaptureInterfaceOutcome::Malformed << "camera logic error";
    QTest::newRow("three instance fields")
        << true << QStringLiteral("\\\\?\\usb#vid_1d6b&pid_0104&mi_00#6&1a2b3c4d&0000#") + guid
        << CaptureInterfaceOutcome::Malformed << "camera logic error";
    QTest::newRow("empty instance field kept")
        << true << QStringLiteral("\\\\?\\usb#vid_1d6b&pid_0104&mi_00#6&&0&0000#") + guid
        << CaptureInterfaceOutcome::Camera << "usb camera in";
    QTest::newRow("empty name") << true << QString() << CaptureInterfaceOutcome::Malformed
                                << "camera logic error";
}

void TestCaptureInterfaceFilter::classifies() {
    QFETCH(bool, arrival);
    QFETCH(QString, name);
    QFETCH(CaptureInterfaceOutcome, outcome);
    QFETCH(QString, trace);

    MessageCapture messages;
    QCOMPARE(classifyCaptureInterfaceEvent(arrival, name), outcome);
    if (trace.isEmpty())
        QCOMPARE(messages.messages(), QStringList());
    else
        QCOMPARE(messages.messages(), QStringList{trace});
}

void TestCaptureInterfaceFilter::namesBuiltForCaptureNodesPass_data() {
    QTest::addColumn<unsigned>("ordinal");
    QTest::addColumn<CaptureInterfaceOutcome>("outcome");
    QTest::newRow("first node") << 0u << CaptureInterfaceOutcome::Camera;
    QTest::newRow("second node") << 1u << CaptureInterfaceOutcome::OtherNode;
    QTest::newRow("node 0x10000 wraps to 0000") << 0x10000u << CaptureInterfaceOutcome::Camera;
}

void TestCaptureInterfaceFilter::namesBuiltForCaptureNodesPass() {
    QFETCH(unsigned, ordinal);
    QFETCH(CaptureInterfaceOutcome, outcome);
    InterfaceNameParts parts;
    parts.vendorId = 0x3C1E;
    parts.productId = 0x0305;
    parts.portKey = "usb2/2-1.3";
    parts.nodeOrdinal = ordinal;
    const QString name = QString::fromStdString(makeCaptureInterfaceName(parts));
    MessageCapture quiet;
    QCOMPARE(classifyCaptureInterfaceEvent(true, name), outcome);
}

QTEST_GUILESS_MAIN(TestCaptureInterfaceFilter)
#include "tst_captureinterfacefilter.moc"
