// The Linux video-input list, node names and hot-plug tracking, over a sysfs tree of our own and
// over the real system (which has no camera here).
#include "device/dshowcamerawrapper.h"
#include "device/hotplugsource.h"
#include "device/interfacename.h"
#include "device/v4l2node_linux.h"
#include "device/videoinputs.h"
#include "tests/device/fakesysfs.h"
#include "tests/device/stdoutcapture.h"
#include "tests/testsupport/testsupport.h"

#include <QtTest>

namespace {
std::string nameFor(std::uint16_t vendor, std::uint16_t product, std::uint8_t interfaceNumber,
                    const std::string &port, unsigned ordinal = 0) {
    InterfaceNameParts parts;
    parts.vendorId = vendor;
    parts.productId = product;
    parts.interfaceNumber = interfaceNumber;
    parts.portKey = port;
    parts.nodeOrdinal = ordinal;
    return makeCaptureInterfaceName(parts);
}

// Two cameras with their metadata nodes, a gap, and a capture device that is not on USB:
//   video0 capture, video1 metadata (1-1), video2 capture, video3 metadata (1-1.4), video5 other.
struct Tree {
    FakeSysfs sysfs;
    QString first;
    QString firstInterface;
    QString second;
    QString secondInterface;

    Tree() {
        first = sysfs.addUsbDevice("1-1", "1d6b", "0104", "QX-M30-000");
        firstInterface = sysfs.addInterface(first, 0);
        sysfs.addNode(0, firstInterface, kCaptureCaps, "QX-M30-000: QX-M30-000");
        sysfs.addNode(1, firstInterface, kMetadataCaps, "QX-M30-000: QX-M30-000");
        second = sysfs.addUsbDevice("1-1.4", "3c1e", "0305", "Kestrelon ZENTA 320");
        secondInterface = sysfs.addInterface(second, 2);
        sysfs.addNode(2, secondInterface, kCaptureCaps);
        sysfs.addNode(3, secondInterface, kMetadataCaps);
        const QString platform = sysfs.devicesDir() + "/platform-camera";
        QDir().mkpath(platform);
        sysfs.addNode(5, platform, kCaptureCaps, "Platform Camera");
    }
};
} // namespace

class TestV4l2Linux : public QObject {
    Q_OBJECT
private slots:
    void listHasOneEntryPerNodeNumber() {
        Tree tree;
        auto backend = makeLinuxVideoInputBackend(tree.sysfs.roots(), tree.sysfs.query());
        QVERIFY(backend->available());
        const std::vector<VideoInputInfo> inputs = backend->list();
        QCOMPARE(inputs.size(), std::size_t(6));
        for (const VideoInputInfo &input : inputs)
            QVERIFY(input.propertiesReadable);

        QVERIFY(inputs[0].hasDevicePath);
        QCOMPARE(inputs[0].devicePath, nameFor(0x1d6b, 0x0104, 0, "1-1"));
        QVERIFY(inputs[0].hasFriendlyName);
        QCOMPARE(inputs[0].friendlyName, std::string("QX-M30-000"));
        QCOMPARE(inputs[0].displayName, tree.sysfs.devNode(0));

        for (int empty : {1, 3, 4}) {
            QVERIFY2(!inputs[empty].hasDevicePath && !inputs[empty].hasFriendlyName &&
                         !inputs[empty].hasDisplayName,
                     qPrintable(QString::number(empty)));
        }

        QCOMPARE(inputs[2].devicePath, nameFor(0x3c1e, 0x0305, 2, "1-1.4"));
        QCOMPARE(inputs[2].friendlyName, std::string("Kestrelon ZENTA 320"));

        // Not on USB: no interface name, the driver's card name.
        QVERIFY(!inputs[5].hasDevicePath);
        QVERIFY(inputs[5].hasFriendlyName);
        QCOMPARE(inputs[5].friendlyName, std::string("Platform Camera"));
    }

    void enumerationIndexIsTheNodeNumber() {
        Tree tree;
        auto backend = makeLinuxVideoInputBackend(tree.sysfs.roots(), tree.sysfs.query());
        installVideoInputBackend(backend.get());
        DShowCameraWrapper wrapper;
        QVector<CameraDevice> devices;
        StdoutCapture output;
        QCOMPARE(wrapper.enumerateCameras(devices), 3);
        output.finish();
        QCOMPARE(devices[0].index, 0);
        QCOMPARE(devices[0].friendlyName, QString("QX-M30-000"));
        QVERIFY(devices[0].deviceId.startsWith("vid_1d6b&pid_0104&mi_00#6&"));
        QVERIFY(devices[0].deviceId.endsWith("&0&0000"));
        QCOMPARE(devices[1].index, 2);
        QCOMPARE(devices[2].index, 5);
        QVERIFY(devices[2].deviceId.isEmpty());

        int index = -1;
        QVERIFY(wrapper.bindCamera(devices[1].deviceId, devices[1].friendlyName, index));
        QCOMPARE(index, 2);
        QVERIFY(currentCameraFilter());
        // The node is no V4L2 device here: the read fails and the value stays.
        int pan = 12;
        QVERIFY(wrapper.getCameraControl(0, pan));
        QCOMPARE(pan, 12);
        wrapper.releaseCamera();
        installVideoInputBackend(nullptr);
    }

    void productStringFallsBackToTheCardName() {
        FakeSysfs sysfs;
        const QString device = sysfs.addUsbDevice("2-3", "1d6b", "0104", QString());
        sysfs.addNode(0, sysfs.addInterface(device, 0), kCaptureCaps, "QX-M30-000: QX-M30-000");
        const VideoNodeInfo node = VideoNodeScanner(sysfs.roots(), sysfs.query()).describe(0);
        QVERIFY(node.capture);
        QCOMPARE(node.friendlyName, std::string("QX-M30-000: QX-M30-000"));
        QCOMPARE(node.interfaceName, nameFor(0x1d6b, 0x0104, 0, "2-3"));
        QCOMPARE(node.interfaceNumber, 0);
    }

    void nodeThatDoesNotAnswerIsNoCamera() {
        FakeSysfs sysfs;
        const QString device = sysfs.addUsbDevice("1-2", "1d6b", "0104", "QX-M30-000");
        sysfs.addNode(0, sysfs.addInterface(device, 0), 0);
        const VideoNodeInfo node = VideoNodeScanner(sysfs.roots(), sysfs.query()).describe(0);
        QVERIFY(node.present);
        QVERIFY(!node.capture);
        QVERIFY(!node.hasInterfaceName);
    }

    void secondCaptureNodeOfAnInterfaceHasOrdinalOne() {
        FakeSysfs sysfs;
        const QString device = sysfs.addUsbDevice("1-1", "1d6b", "0104", "QX-M30-000");
        const QString interface = sysfs.addInterface(device, 0);
        sysfs.addNode(0, interface, kCaptureCaps);
        sysfs.addNode(1, interface, kMetadataCaps);
        sysfs.addNode(2, interface, kCaptureCaps);
        VideoNodeScanner scanner(sysfs.roots(), sysfs.query());
        QCOMPARE(scanner.describe(0).interfaceName, nameFor(0x1d6b, 0x0104, 0, "1-1", 0));
        QCOMPARE(scanner.describe(2).interfaceName, nameFor(0x1d6b, 0x0104, 0, "1-1", 1));
    }

    void malformedAttributesGiveNoInterfaceName_data() {
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QString>("product");
        QTest::newRow("vendor not hex") << "xyz"
                                        << "0104";
        QTest::newRow("vendor too large") << "1d6b0"
                                          << "0104";
        QTest::newRow("product empty") << "1d6b"
                                       << "";
    }
    void malformedAttributesGiveNoInterfaceName() {
        QFETCH(QString, vendor);
        QFETCH(QString, product);
        FakeSysfs sysfs;
        const QString device = sysfs.addUsbDevice("1-1", vendor, product, "Cam");
        sysfs.addNode(0, sysfs.addInterface(device, 0), kCaptureCaps);
        const VideoNodeInfo node = VideoNodeScanner(sysfs.roots(), sysfs.query()).describe(0);
        QVERIFY(node.capture);
        QVERIFY(!node.hasInterfaceName);
        QCOMPARE(node.friendlyName, std::string("Cam"));
    }

    void nodeNumbers_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number");
        QTest::newRow("video0") << "video0" << 0;
        QTest::newRow("video17") << "video17" << 17;
        QTest::newRow("vbi0") << "vbi0" << -1;
        QTest::newRow("video") << "video" << -1;
        QTest::newRow("video1a") << "video1a" << -1;
        QTest::newRow("v4l-subdev0") << "v4l-subdev0" << -1;
        QTest::newRow("huge") << "video99999999999" << -1;
    }
    void nodeNumbers() {
        QFETCH(QString, name);
        QFETCH(int, number);
        QCOMPARE(videoNodeNumber(name.toStdString()), number);
    }

    void arcSeconds_data() {
        QTest::addColumn<qlonglong>("arcSeconds");
        QTest::addColumn<int>("degrees");
        QTest::newRow("zero") << 0LL << 0;
        QTest::newRow("one degree") << 3600LL << 1;
        QTest::newRow("just under one and a half") << 5399LL << 1;
        QTest::newRow("one and a half") << 5400LL << 2;
        QTest::newRow("minus one and a half") << -5400LL << -2;
        QTest::newRow("minus 30 degrees") << -108000LL << -30;
        QTest::newRow("170 degrees") << 612000LL << 170;
    }
    void arcSeconds() {
        QFETCH(qlonglong, arcSeconds);
        QFETCH(int, degrees);
        QCOMPARE(arcSecondsToDegrees(arcSeconds), degrees);
    }

    void degreesToArcSecondsClamps() {
        QCOMPARE(degreesToArcSeconds(-30), -108000);
        QCOMPARE(degreesToArcSeconds(170), 612000);
        QCOMPARE(degreesToArcSeconds(2000000), std::numeric_limits<std::int32_t>::max());
        QCOMPARE(degreesToArcSeconds(-2000000), std::numeric_limits<std::int32_t>::min());
    }

    void trackerNamesRemovalsFromMemory() {
        Tree tree;
        CaptureNodeTracker tracker(VideoNodeScanner(tree.sysfs.roots(), tree.sysfs.query()));
        tracker.rememberPresentNodes();
        // video0 and video2; video5 is not on USB and has no name to announce.
        QCOMPARE(tracker.rememberedCount(), std::size_t(2));

        const std::string firstName = nameFor(0x1d6b, 0x0104, 0, "1-1");
        const std::string capturePath = tree.sysfs.devPathOf(tree.firstInterface, 0);
        const std::string metadataPath = tree.sysfs.devPathOf(tree.firstInterface, 1);
        tree.sysfs.removeUsbDevice(tree.first);

        QVERIFY(!tracker.handle("remove", metadataPath, "video1"));
        auto removed = tracker.handle("remove", capturePath, "video0");
        QVERIFY(removed);
        QVERIFY(!removed->arrival);
        QCOMPARE(removed->interfaceName, firstName);
        QVERIFY(!tracker.handle("remove", capturePath, "video0")); // once only

        // Plugged into the same port again: the same name, also for its later removal.
        tree.first = tree.sysfs.addUsbDevice("1-1", "1d6b", "0104", "QX-M30-000");
        tree.firstInterface = tree.sysfs.addInterface(tree.first, 0);
        tree.sysfs.addNode(0, tree.firstInterface, kCaptureCaps);
        tree.sysfs.addNode(1, tree.firstInterface, kMetadataCaps);
        QVERIFY(!tracker.handle("add", metadataPath, "video1"));
        auto added = tracker.handle("add", capturePath, "video0");
        QVERIFY(added);
        QVERIFY(added->arrival);
        QCOMPARE(added->interfaceName, firstName);
        QVERIFY(!tracker.handle("change", capturePath, "video0"));
        QVERIFY(!tracker.handle("bind", capturePath, "video0"));

        tree.sysfs.removeUsbDevice(tree.first);
        auto again = tracker.handle("remove", capturePath, "video0");
        QVERIFY(again);
        QCOMPARE(again->interfaceName, firstName);
    }

    void trackerIgnoresOtherNodes() {
        Tree tree;
        CaptureNodeTracker tracker(VideoNodeScanner(tree.sysfs.roots(), tree.sysfs.query()));
        QVERIFY(!tracker.handle("add", "/devices/virtual/video4linux/vbi0", "vbi0"));
        QVERIFY(!tracker.handle("remove", "/devices/virtual/video4linux/video9", "video9"));
        QVERIFY(!tracker.handle("add", "/devices/x/video4linux/video9", "video9")); // not there
        // A capture node that is not on USB has no name to announce.
        QVERIFY(!tracker.handle("add", "/devices/platform-camera/video4linux/video5", "video5"));
        QCOMPARE(tracker.rememberedCount(), std::size_t(0));
    }

    void capabilitiesOfSomethingElse() {
        std::uint32_t caps = 7;
        std::string card = "kept";
        QVERIFY(!queryV4l2Capabilities("/nonexistent/video0", caps, card));
        QTemporaryFile file;
        QVERIFY(file.open());
        QVERIFY(!queryV4l2Capabilities(file.fileName().toStdString(), caps, card));
        QCOMPARE(caps, 7u);
        QCOMPARE(card, std::string("kept"));
    }

    // This machine has no camera: the real back end lists nothing and binds nothing.
    void nativeBackendWithoutCameras() {
        if (QDir("/sys/class/video4linux").exists() && !QDir("/sys/class/video4linux").isEmpty())
            QSKIP("this machine has video devices");
        const int descriptors = openFileDescriptorCount();
        VideoInputBackend &backend = nativeVideoInputBackend();
        QVERIFY(backend.available());
        QVERIFY(backend.list().empty());
        QVERIFY(!backend.bind(0));
        installVideoInputBackend(&backend);
        DShowCameraWrapper wrapper;
        QVector<CameraDevice> devices;
        {
            StdoutCapture output;
            QCOMPARE(wrapper.enumerateCameras(devices), 0);
            int index = -1;
            QVERIFY(!wrapper.bindCamera("vid_1d6b&pid_0104&mi_00#6&0&0&0000", "QX-M30-000", index));
            QCOMPARE(index, -1);
            QCOMPARE(output.finish(), QString());
        }
        installVideoInputBackend(nullptr);
        QCOMPARE(openFileDescriptorCount(), descriptors);
    }

    void nativeHotplugSourceStartsAndCloses() {
        const int descriptors = openFileDescriptorCount();
        {
            std::unique_ptr<HotplugSource> source = createNativeHotplugSource();
            QSignalSpy events(source.get(), &HotplugSource::captureInterfaceChanged);
            const bool started = source->start(0);
            qInfo() << "native hot-plug source started:" << started;
            QVERIFY(source->start(0) == started); // a second start changes nothing
            QCoreApplication::processEvents();
            QCOMPARE(events.count(), 0);
        }
        QCOMPARE(openFileDescriptorCount(), descriptors);
    }
};

QTEST_GUILESS_MAIN(TestV4l2Linux)
#include "tst_v4l2_linux.moc"
