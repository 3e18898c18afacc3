// The camera list and the binding of a camera for its standard controls, over the simulated bus:
// which inputs become cameras and with which index, id and name; the exact match of a binding
// and its handle; the shared position values; and the names under which hot-plug events arrive.
#include "device/captureinterfacefilter.h"
#include "testsupport/simfixture.h"
#include "testsupport/testsupport.h"

#include <QtTest>

namespace {
std::string pathOf(const char *vidPid, const char *instance, const char *interface = "00") {
    return std::string("\\\\?\\usb#") + vidPid + "&mi_" + interface + "#6&" + instance +
           "&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
}

// "path|name" adds an input with that interface name and friendly name ("A" and "B" stand for
// two cameras' names, "M" for a microphone of the first); "unreadable" an input whose properties
// cannot be read.
VideoInputInfo inputFrom(const QString &spec) {
    VideoInputInfo info;
    if (spec == "unreadable") {
        info.propertiesReadable = false;
        info.hasDisplayName = true;
        return info;
    }
    const QString path = spec.section('|', 0, 0);
    const std::string name = spec.section('|', 1).toStdString();
    info.devicePath = path == "A"   ? pathOf("vid_1d6b&pid_0104", "11111111")
                      : path == "B" ? pathOf("vid_3c1e&pid_0305", "22222222")
                      : path == "M" ? pathOf("vid_1d6b&pid_0104", "11111111", "02")
                                    : path.toStdString();
    info.hasDevicePath = !info.devicePath.empty();
    info.friendlyName = name;
    info.hasFriendlyName = !name.empty();
    info.hasDisplayName = true;
    info.displayName = "@device:" + info.devicePath;
    return info;
}
} // namespace

class TestEnumeration : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> sim;
    DShowCameraWrapper wrapper;

    // "index:name" of each record, blank-separated.
    QString listed() {
        QVector<CameraDevice> devices;
        StdoutCapture quiet;
        const int count = wrapper.enumerateCameras(devices);
        quiet.finish();
        QStringList items;
        for (const CameraDevice &device : devices)
            items << QString("%1:%2").arg(device.index).arg(device.friendlyName);
        return count == devices.size() ? items.join(' ') : "count differs";
    }

private slots:
    void init() {
        sim = std::make_unique<SimFixture>();
        sim->bus.unplug(sim->camera);
    }
    void cleanup() {
        wrapper.releaseCamera();
        sim.reset();
        g_pan = g_tilt = 0;
        g_zoom = 100;
    }

    void namesOfEvents_data() {
        // outcome: 0 camera, 1 another node of it, 2 malformed
        addColumns<QString, QString, int>({"path", "id", "outcome"});
        const QString camera = QString::fromStdString(pathOf("vid_1d6b&pid_0104", "1a2b3c4d"));
        QTest::newRow("camera") << camera << "vid_1d6b&pid_0104&mi_00#6&1a2b3c4d&0&0000" << 0;
        QTest::newRow("upper case")
            << camera.toUpper() << "VID_1D6B&PID_0104&MI_00#6&1A2B3C4D&0&0000" << 0;
        QTest::newRow("second node") << QString(camera).replace("&0000#", "&0001#")
                                     << "vid_1d6b&pid_0104&mi_00#6&1a2b3c4d&0&0001" << 1;
        QTest::newRow("three parts")
            << QString("\\\\?\\usb#vid_1d6b&pid_0104#6&1&0&0000") << "vid_1d6b&pid_0104" << 2;
        QTest::newRow("five parts") << QString("a#b#6&1&0&0000#c#d") << "b#6&1&0&0000#c" << 2;
        QTest::newRow("three instance fields") << QString("a#b#6&1&0000#g") << "b#6&1&0000" << 2;
        QTest::newRow("single #") << QString("\\\\?\\usb#vid_1d6b") << "" << 2;
        QTest::newRow("empty") << QString("") << "" << 2;
    }
    void namesOfEvents() {
        QFETCH(QString, path);
        QFETCH(QString, id);
        QFETCH(int, outcome);
        QCOMPARE(deviceIdFromPath(path), id);
        MessageCapture quiet;
        QCOMPARE(int(classifyCaptureInterfaceEvent(false, path)), outcome);
    }

    void whichInputsAreCameras_data() {
        addColumns<QStringList, QString>({"inputs", "expected"});
        using L = QStringList;
        QTest::newRow("microphone between two cameras")
            << L{"A|QX-M30-000", "M|Headset Microphone (QX)", "B|Kestrelon ZENTA 320"}
            << "0:QX-M30-000 2:Kestrelon ZENTA 320";
        QTest::newRow("mic in any case") << L{"A|usb mic array", "B|After"} << "1:After";
        QTest::newRow("mic inside a word") << L{"A|Dynamic Cam", "B|After"} << "1:After";
        QTest::newRow("M-I-C is no mic") << L{"A|M-I-C Cam", "B|After"} << "0:M-I-C Cam 1:After";
        QTest::newRow("unreadable takes no index") << L{"unreadable", "B|After"} << "0:After";
        QTest::newRow("no path, no name")
            << L{"|Virtual Camera", "|", "B|K"} << "0:Virtual Camera 2:K";
        QTest::newRow("path without name") << L{"A|"} << "0:";
    }
    void whichInputsAreCameras() {
        QFETCH(QStringList, inputs);
        QFETCH(QString, expected);
        for (const QString &input : inputs)
            sim->bus.addOtherVideoInput(inputFrom(input));
        QCOMPARE(listed(), expected);
    }

    void idsAndCutNames() {
        sim->bus.addOtherVideoInput(inputFrom("unreadable"));
        sim->bus.addOtherVideoInput(inputFrom("A|QX-M30-000"));
        const QString wide = QString(254, 'y') + QString::fromUtf8("\xF0\x9F\x93\xB7") + "tail";
        sim->bus.addOtherVideoInput(inputFrom("B|" + wide));
        sim->bus.addOtherVideoInput(inputFrom("B|" + QString(300, 'x')));
        sim->bus.plug(sim->camera);
        QVector<CameraDevice> devices(1); // records are appended
        StdoutCapture quiet;
        const int count = wrapper.enumerateCameras(devices);
        quiet.finish();
        QCOMPARE(count, 5);
        QCOMPARE(devices[1].index, 0);
        QCOMPARE(devices[1].deviceId, QString("vid_1d6b&pid_0104&mi_00#6&11111111&0&0000"));
        QCOMPARE(devices[2].friendlyName, wide.left(254)); // never half a surrogate pair
        QCOMPARE(devices[3].friendlyName, QString(255, 'x'));
        // Binding counts every device, the unreadable one too.
        int index = -1;
        QVERIFY(wrapper.bindCamera(devices[4].deviceId, devices[4].friendlyName, index));
        QCOMPARE(index, devices[4].index + 1);
    }

    void binding_data() {
        // idForm: 0 the camera's id, 1 in upper case, 2 another camera's
        addColumns<int, QString, int>({"idForm", "name", "index"});
        QTest::newRow("exact") << 0 << "Kestrelon ZENTA 320" << 2;
        QTest::newRow("name in other case") << 0 << "kestrelon zenta 320" << -1;
        QTest::newRow("id of another") << 2 << "Kestrelon ZENTA 320" << -1;
    }
    void binding() {
        QFETCH(int, idForm);
        QFETCH(QString, name);
        QFETCH(int, index);
        auto first = sim->bus.addCamera(configAt("1-1"));
        auto camera = sim->bus.addCamera(configAt("1-2", "Kestrelon ZENTA 320"));
        QCOMPARE(listed(), QString("0:QX-M30-000 2:Kestrelon ZENTA 320"));
        const QString id = idForm == 2 ? idOf(*first) : idOf(*camera);
        int found = -1;
        QVERIFY(wrapper.bindCamera(idOf(*first), nameOf(*first), found)); // released by the next
        QCOMPARE(wrapper.bindCamera(idForm == 1 ? id.toUpper() : id, name, found), index >= 0);
        QCOMPARE(found, index >= 0 ? index : 0);
        QCOMPARE(currentCameraFilter() != nullptr, index >= 0);
        QCOMPARE(sim->bus.openHandles(), index >= 0 ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestEnumeration)
#include "tst_enumeration.moc"
