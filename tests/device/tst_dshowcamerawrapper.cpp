#include "device/dshowcamerawrapper.h"
#include "sim/simulatedbus.h"
#include "tests/device/stdoutcapture.h"
#include "tests/testsupport/simcamerasupport.h"
#include "tests/testsupport/testsupport.h"

#include <QtTest>

namespace {
VideoInputInfo input(const std::string &path, const std::string &name) {
    VideoInputInfo info;
    info.hasDevicePath = !path.empty();
    info.devicePath = path;
    info.hasFriendlyName = !name.empty();
    info.friendlyName = name;
    info.hasDisplayName = true;
    info.displayName = "@device:pnp:" + path;
    return info;
}

const std::string kPathA =
    "\\\\?\\usb#vid_1d6b&pid_0104&mi_00#6&11111111&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
    "\\global";
const std::string kPathB =
    "\\\\?\\usb#vid_3c1e&pid_0305&mi_00#6&22222222&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
    "\\global";
const std::string kPathMic =
    "\\\\?\\usb#vid_1d6b&pid_0104&mi_02#6&11111111&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
    "\\global";

} // namespace

class TestDShowCameraWrapper : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<SimulatedBus> bus;
    DShowCameraWrapper wrapper;

    QVector<CameraDevice> enumerate(QString *console = nullptr) {
        QVector<CameraDevice> devices;
        StdoutCapture output;
        const int count = wrapper.enumerateCameras(devices);
        const QString text = output.finish();
        if (console)
            *console = text;
        if (count != devices.size())
            qWarning("count and records differ");
        return devices;
    }

private slots:
    // Runs first, before anything touched the shared values.
    void sharedPositionStartsAtRest() {
        QCOMPARE(g_pan, 0);
        QCOMPARE(g_tilt, 0);
        QCOMPARE(g_zoom, 100);
        QVERIFY(!currentCameraFilter());
    }

    void init() {
        bus = std::make_unique<SimulatedBus>();
        bus->install();
    }

    void cleanup() {
        wrapper.releaseCamera();
        bus.reset();
        g_pan = 0;
        g_tilt = 0;
        g_zoom = 100;
    }

    void deviceIdFromPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("id");
        QTest::newRow("usual") << QString::fromStdString(kPathA)
                               << "vid_1d6b&pid_0104&mi_00#6&11111111&0&0000";
        QTest::newRow("single #") << "\\\\?\\usb#vid_1d6b&pid_0104"
                                  << "";
        QTest::newRow("no #") << "plain"
                              << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("adjacent") << "a##b"
                                  << "";
        QTest::newRow("inner # kept") << "a#b#c#d"
                                      << "b#c";
    }
    void deviceIdFromPath() {
        QFETCH(QString, path);
        QFETCH(QString, id);
        QCOMPARE(::deviceIdFromPath(path), id);
    }

    void microphoneBetweenTwoCameras() {
        bus->addOtherVideoInput(input(kPathA, "QX-M30-000"));
        bus->addOtherVideoInput(input(kPathMic, "Headset Microphone (QX-M30-000)"));
        bus->addOtherVideoInput(input(kPathB, "Kestrelon ZENTA 320"));
        QString console;
        MessageCapture messages;
        const QVector<CameraDevice> devices = enumerate(&console);
        QCOMPARE(devices.size(), 2);
        QCOMPARE(devices[0].index, 0);
        QCOMPARE(devices[0].deviceId, QString("vid_1d6b&pid_0104&mi_00#6&11111111&0&0000"));
        QCOMPARE(devices[0].friendlyName, QString("QX-M30-000"));
        QCOMPARE(devices[1].index, 2);
        QCOMPARE(devices[1].friendlyName, QString("Kestrelon ZENTA 320"));
        QCOMPARE(console, "SETUP: Looking For Capture Devices\n"
                          "Device path: " +
                              QString::fromStdString(kPathA) +
                              "\n"
                              "Device path: " +
                              QString::fromStdString(kPathMic) +
                              "\n"
                              "Device path: " +
                              QString::fromStdString(kPathB) + "\n");
        QVERIFY(messages.contains("usb camera name: \"QX-M30-000\"  id: "
                                  "\"vid_1d6b&pid_0104&mi_00#6&11111111&0&0000\""));
        QVERIFY(!messages.contains("Microphone"));
    }

    void namesWithMicAreLeftOut_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("listed");
        QTest::newRow("upper") << "USB MIC" << false;
        QTest::newRow("lower") << "usb mic array" << false;
        QTest::newRow("inside a word") << "Dynamic Camera" << false;
        QTest::newRow("mixed") << "Mimic" << false;
        QTest::newRow("M I C apart") << "M-I-C Camera" << true;
        QTest::newRow("camera") << "QX-M30-000" << true;
    }
    void namesWithMicAreLeftOut() {
        QFETCH(QString, name);
        QFETCH(bool, listed);
        bus->addOtherVideoInput(input(kPathA, name.toStdString()));
        bus->addOtherVideoInput(input(kPathB, "After"));
        const QVector<CameraDevice> devices = enumerate();
        QCOMPARE(devices.size(), listed ? 2 : 1);
        QCOMPARE(devices.last().friendlyName, QString("After"));
        QCOMPARE(devices.last().index, 1); // the left-out device still took its index
    }

    void unreadableDeviceTakesNoIndex() {
        VideoInputInfo unreadable;
        unreadable.propertiesReadable = false;
        unreadable.hasDisplayName = true;
        unreadable.displayName = "@device:broken";
        bus->addOtherVideoInput(unreadable);
        auto camera = bus->addCamera(configAt("1-1"));
        const QVector<CameraDevice> devices = enumerate();
        QCOMPARE(devices.size(), 1);
        QCOMPARE(devices[0].index, 0);
        // Binding counts every device, also the unreadable one.
        int index = -1;
        QVERIFY(wrapper.bindCamera(idOf(*camera), nameOf(*camera), index));
        QCOMPARE(index, 1);
    }

    void deviceWithoutPath() {
        bus->addOtherVideoInput(input("", "Virtual Camera"));
        VideoInputInfo nothing;
        bus->addOtherVideoInput(nothing);
        bus->addOtherVideoInput(input(kPathB, "Kestrelon ZENTA 320"));
        QString console;
        const QVector<CameraDevice> devices = enumerate(&console);
        QCOMPARE(devices.size(), 2);
        QCOMPARE(devices[0].index, 0);
        QVERIFY(devices[0].deviceId.isEmpty());
        QCOMPARE(devices[0].friendlyName, QString("Virtual Camera"));
        QCOMPARE(devices[1].index, 2);
        QCOMPARE(console.count("Device path:"), 1);
    }

    void pathWithoutName() {
        bus->addOtherVideoInput(input(kPathA, ""));
        const QVector<CameraDevice> devices = enumerate();
        QCOMPARE(devices.size(), 1);
        QVERIFY(devices[0].friendlyName.isEmpty());
        QCOMPARE(devices[0].deviceId, ::deviceIdFromPath(QString::fromStdString(kPathA)));
    }

    void singleHashGivesEmptyId() {
        bus->addOtherVideoInput(input("\\\\?\\usb#vid_1d6b&pid_0104&mi_00", "Odd Camera"));
        const QVector<CameraDevice> devices = enumerate();
        QCOMPARE(devices.size(), 1);
        QVERIFY(devices[0].deviceId.isEmpty());
    }

    void longNameIsCut_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const QString letters = QString(300, QLatin1Char('x'));
        QTest::newRow("300 characters") << letters << letters.left(255);
        QTest::newRow("255 characters") << letters.left(255) << letters.left(255);
        QTest::newRow("256 characters") << letters.left(256) << letters.left(255);
        // A character outside the basic plane is not split in half.
        const QString wide = QString(254, QLatin1Char('y')) +
                             QString::fromUtf8("\xF0\x9F\x93\xB7") + QStringLiteral("tail");
        QTest::newRow("surrogate pair at the cut") << wide << wide.left(254);
    }
    void longNameIsCut() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        bus->addOtherVideoInput(input(kPathA, name.toStdString()));
        const QVector<CameraDevice> devices = enumerate();
        QCOMPARE(devices.size(), 1);
        QCOMPARE(devices[0].friendlyName, expected);
    }

    void emptyListPrintsNothing() {
        QVector<CameraDevice> devices(2);
        StdoutCapture output;
        QCOMPARE(wrapper.enumerateCameras(devices), 2);
        QCOMPARE(output.finish(), QString());
        installVideoInputBackend(nullptr); // no enumerator at all
        QCOMPARE(wrapper.enumerateCameras(devices), 2);
    }

    void recordsAreAppended() {
        bus->addCamera(configAt("1-1"));
        QVector<CameraDevice> devices(1);
        StdoutCapture output;
        QCOMPARE(wrapper.enumerateCameras(devices), 2);
        QCOMPARE(devices[1].friendlyName, QString("QX-M30-000"));
    }

    void simulatedCamerasAndTheirMetadataNodes() {
        auto first = bus->addCamera(configAt("1-1"));
        auto second = bus->addCamera(configAt("1-2", "Kestrelon ZENTA 320"));
        const QVector<CameraDevice> devices = enumerate();
        QCOMPARE(devices.size(), 2);
        QCOMPARE(devices[0].index, 0);
        QCOMPARE(devices[0].deviceId, idOf(*first));
        QCOMPARE(devices[1].index, 2);
        QCOMPARE(devices[1].deviceId, idOf(*second));
    }

    void bindNeedsTheExactIdAndName_data() {
        QTest::addColumn<int>("idForm"); // 0 the camera's, 1 in upper case, 2 another camera's
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::newRow("exact") << 0 << "Kestrelon ZENTA 320" << 2;
        QTest::newRow("name in other case") << 0 << "kestrelon zenta 320" << -1;
        QTest::newRow("name with a blank") << 0 << "Kestrelon ZENTA 320 " << -1;
        QTest::newRow("id in other case") << 1 << "Kestrelon ZENTA 320" << -1;
        QTest::newRow("id of another") << 2 << "Kestrelon ZENTA 320" << -1;
    }
    void bindNeedsTheExactIdAndName() {
        QFETCH(int, idForm);
        QFETCH(QString, name);
        QFETCH(int, index);
        auto first = bus->addCamera(configAt("1-1"));
        auto camera = bus->addCamera(configAt("1-2", "Kestrelon ZENTA 320"));
        const QString asked = idForm == 0   ? idOf(*camera)
                              : idForm == 1 ? idOf(*camera).toUpper()
                                            : idOf(*first);
        MessageCapture messages;
        int found = -1;
        QCOMPARE(wrapper.bindCamera(asked, name, found), index >= 0);
        QCOMPARE(found, index);
        QCOMPARE(currentCameraFilter() != nullptr, index >= 0);
        QCOMPARE(bus->openHandles(), index >= 0 ? 1 : 0);
        QCOMPARE(messages.contains("get camera name:"), index >= 0);
    }

    void bindingAgainReleasesThePrevious() {
        auto first = bus->addCamera(configAt("1-1"));
        auto second = bus->addCamera(configAt("1-2", "Kestrelon ZENTA 320"));
        int index = -1;
        QVERIFY(wrapper.bindCamera(idOf(*first), nameOf(*first), index));
        QVERIFY(wrapper.bindCamera(idOf(*second), nameOf(*second), index));
        QCOMPARE(bus->openHandles(), 1);
        // A failed bind leaves nothing bound.
        QVERIFY(!wrapper.bindCamera("nothing", "nothing", index));
        QVERIFY(!currentCameraFilter());
        QCOMPARE(bus->openHandles(), 0);
    }

    void noHandleLeaksOverManySwitches() {
        auto first = bus->addCamera(configAt("1-1"));
        auto second = bus->addCamera(configAt("1-2", "Kestrelon ZENTA 320"));
        for (int i = 0; i < 3000; ++i) {
            const auto &camera = (i % 2) ? second : first;
            int index = -1;
            QVERIFY(wrapper.bindCamera(idOf(*camera), nameOf(*camera), index));
            QCOMPARE(bus->openHandles(), 1);
            if (i % 3 == 0)
                wrapper.releaseCamera();
        }
        wrapper.releaseCamera();
        QCOMPARE(bus->openHandles(), 0);
    }

    void controlsNeedABoundCamera() {
        g_pan = 5;
        g_tilt = 6;
        g_zoom = 300;
        int value = 9;
        QVERIFY(!wrapper.getCameraControl(0, value));
        QVERIFY(!wrapper.getCameraControl(3, value));
        QVERIFY(!wrapper.setCameraControl(0, 20));
        QCOMPARE(value, 9);
        QCOMPARE(g_pan, 5);
        QCOMPARE(g_tilt, 6);
        QCOMPARE(g_zoom, 300);
    }

    void readingStoresTheSharedValue_data() {
        QTest::addColumn<int>("property");
        QTest::addColumn<int>("pan");
        QTest::addColumn<int>("tilt");
        QTest::addColumn<int>("zoom");
        QTest::newRow("pan") << 0 << 25 << 0 << 100;
        QTest::newRow("tilt") << 1 << 0 << -12 << 100;
        QTest::newRow("roll stores nothing") << 2 << 0 << 0 << 100;
        QTest::newRow("zoom") << 3 << 0 << 0 << 640;
    }
    void readingStoresTheSharedValue() {
        QFETCH(int, property);
        QFETCH(int, pan);
        QFETCH(int, tilt);
        QFETCH(int, zoom);
        auto camera = bus->addCamera(configAt("1-1"));
        camera->setPosition({25, -12, 640});
        int index = -1;
        QVERIFY(wrapper.bindCamera(idOf(*camera), nameOf(*camera), index));
        MessageCapture messages;
        int value = 0;
        QVERIFY(wrapper.getCameraControl(property, value));
        QVERIFY(messages.contains("devCtl.Value:"));
        QCOMPARE(g_pan, pan);
        QCOMPARE(g_tilt, tilt);
        QCOMPARE(g_zoom, zoom);
    }

    void refusedReadKeepsTheCallersValue() {
        auto camera = bus->addCamera(configAt("1-1"));
        camera->setPosition({25, -12, 640});
        SimCameraFaults faults;
        faults.positionRefused = true;
        camera->setCameraFaults(faults);
        int index = -1;
        QVERIFY(wrapper.bindCamera(idOf(*camera), nameOf(*camera), index));
        g_zoom = 300;
        QVERIFY(wrapper.getCameraControl(3, g_zoom));
        QCOMPARE(g_zoom, 300);
        QVERIFY(wrapper.setCameraControl(3, 500)); // the refusal itself is not reported
        QCOMPARE(camera->position().zoom, 640);
    }

    void writingMovesTheCamera() {
        auto camera = bus->addCamera(configAt("1-1"));
        int index = -1;
        QVERIFY(wrapper.bindCamera(idOf(*camera), nameOf(*camera), index));
        QVERIFY(wrapper.setCameraControl(0, -30));
        QVERIFY(wrapper.setCameraControl(1, 20));
        QVERIFY(wrapper.setCameraControl(3, 800));
        QCOMPARE(camera->position().pan_deg, -30);
        QCOMPARE(camera->position().tilt_deg, 20);
        QCOMPARE(camera->position().zoom, 800);
        QVERIFY(wrapper.getCameraControl(0, g_pan));
        QCOMPARE(g_pan, -30);
    }
};

QTEST_GUILESS_MAIN(TestDShowCameraWrapper)
#include "tst_dshowcamerawrapper.moc"
