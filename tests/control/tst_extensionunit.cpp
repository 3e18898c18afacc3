// The vendor extension unit: the request layouts and the descriptor search of the platform side,
// and the command set over the simulated camera (packets, sequence byte, answers, failures, the
// exact match of an open, and two threads sharing one unit).
#include "control/uvcdescriptors.h"
#include "control/uvcextensionunit.h"
#include "testsupport/simfixture.h"
#include "testsupport/testsupport.h"

#include <QtTest>

#include <atomic>
#include <functional>
#include <thread>

namespace {
using Blob = std::vector<std::uint8_t>;
using Operation = std::function<bool(UVCExtensionUnit &, int &)>;

const QMap<QString, Operation> &operations() {
    using U = UVCExtensionUnit;
    static const QMap<QString, Operation> table = {
        {"setAntiFlicker", [](U &u, int &v) { return u.setAntiFlicker(v); }},
        {"setHdr", [](U &u, int &v) { return u.setHdr(v); }},
        {"restoreDefaults", [](U &u, int &) { return u.restoreDefaults(); }},
        {"enterUpgradeMode", [](U &u, int &) { return u.enterUpgradeMode(); }},
        {"getAntiFlicker", [](U &u, int &v) { return u.getAntiFlicker(v); }},
    };
    return table;
}

// Each request the camera received: selector, W or R, and the eight bytes.
QString xuTrace(const SimCamera &camera) {
    QStringList trace;
    for (const SimXuRecord &record : camera.xuLog())
        trace << QString::asprintf("%d%c ", int(record.selector),
                                   record.direction == UnitDirection::Write ? 'W' : 'R') +
                     hexOf(record.bytes.data(), record.bytes.size());
    return trace.join(", ");
}

// Stands between the unit and the simulated camera, widens the window in which two requests could
// meet, and counts those that do.
struct OverlapProbe final : ExtensionUnitBackend {
    explicit OverlapProbe(ExtensionUnitBackend &backend)
        : inner(backend) {}
    bool enumerate(std::vector<CaptureSourceInfo> &sources, PlatformFailure &failure) override {
        return inner.enumerate(sources, failure);
    }
    std::unique_ptr<ExtensionUnitDevice> activate(std::size_t position,
                                                  PlatformFailure &failure) override {
        struct Device final : ExtensionUnitDevice {
            Device(OverlapProbe &owner, std::unique_ptr<ExtensionUnitDevice> device)
                : probe(owner)
                , wrapped(std::move(device)) {}
            PlatformStatus request(std::uint32_t selector, UnitDirection direction,
                                   std::uint8_t *data, std::uint32_t length,
                                   PlatformFailure &failure) override {
                probe.overlaps += ++probe.inFlight > 1;
                for (int i = 0; i < 50; ++i)
                    std::this_thread::yield();
                const PlatformStatus status =
                    wrapped->request(selector, direction, data, length, failure);
                --probe.inFlight;
                return status;
            }
            OverlapProbe &probe;
            std::unique_ptr<ExtensionUnitDevice> wrapped;
        };
        auto device = inner.activate(position, failure);
        return device ? std::make_unique<Device>(*this, std::move(device)) : nullptr;
    }
    std::atomic<int> inFlight{0};
    std::atomic<int> overlaps{0};
    ExtensionUnitBackend &inner;
};

Blob interfaceDescriptor(std::uint8_t number, std::uint8_t cls, std::uint8_t subclass) {
    return {9, 0x04, number, 0, 1, cls, subclass, 0x00, 0x02};
}

Blob extensionUnit(std::uint8_t id, bool ours = true) {
    Blob unit = {26, 0x24, 0x06, id};
    const GuidBytes guid = encodeGuid(kExtensionUnitSet);
    unit.insert(unit.end(), guid.begin(), guid.end());
    unit.back() ^= ours ? 0 : 1;
    unit.insert(unit.end(), {0x04, 0x01, 0x01, 0x01, 0x0F, 0x00});
    return unit;
}

// Device and configuration descriptors, then the parts.
Blob descriptors(const std::vector<Blob> &parts) {
    Blob blob = {18, 0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40, 0x6B, 0x1D, 0x04, 0x01, 0,   1,
                 1,  2,    3,    1,    9,    0x02, 0,    0,    2,    1,    0,    0x80, 0xFA};
    for (const Blob &part : parts)
        blob.insert(blob.end(), part.begin(), part.end());
    return blob;
}
} // namespace

Q_DECLARE_METATYPE(Blob)

class TestExtensionUnit : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> sim;
    UVCExtensionUnit unit;

    void open() {
        QVERIFY(unit.InitVideoDevice(idOf(*sim->camera), nameOf(*sim->camera)));
        sim->camera->clearLogs();
    }

private slots:
    void init() { sim = std::make_unique<SimFixture>(configAt("1-1")); }
    void cleanup() {
        unit.releaseDevice();
        sim.reset();
    }

    void requestLayouts() {
        const GuidBytes set = encodeGuid(kExtensionUnitSet);
        QCOMPARE(hexOf(set.data(), 16), QString("d0 9e e4 23 78 11 31 4f ae 52 d2 fb 8a 8d 3b 48"));
        const NodeRequest node = encodeNodeRequest(kExtensionUnitSet, 4, kWriteFlags, 0x01020304);
        QCOMPARE(hexOf(node.data() + 16, 16),
                 QString("04 00 00 00 02 00 00 10 04 03 02 01 00 00 00 00"));
        const CameraControlRecord tilt = encodeCameraControlRecord(1, kPropertyTypeSet, -30);
        QCOMPARE(hexOf(tilt.data(), 40),
                 "70 33 e1 c6 ac 30 d0 11 a1 8c 00 a0 c9 11 89 56 01 00 00 00 02 00 00 00 "
                 "e2 ff ff ff 02 00 00 00 02 00 00 00 00 00 00 00");
        QCOMPARE(cameraControlRecordValue(tilt), -30);
    }

    void findsTheUnit_data() {
        // expected: -1: not found
        addColumns<Blob, int, int>({"blob", "interfaceNumber", "expected"});
        const Blob vc0 = interfaceDescriptor(0, 0x0E, 0x01);
        const Blob vc1 = interfaceDescriptor(1, 0x0E, 0x01);
        const Blob audio = interfaceDescriptor(2, 0x01, 0x01);
        const Blob config = {9, 0x02, 0, 0, 1, 2, 0, 0x80, 0xFA};
        QTest::newRow("only unit") << descriptors({vc0, extensionUnit(4)}) << -1 << 4;
        QTest::newRow("third of three") << descriptors({vc0, extensionUnit(2, false),
                                                        extensionUnit(3, false), extensionUnit(6)})
                                        << -1 << 6;
        QTest::newRow("on interface 1") << descriptors({vc1, extensionUnit(9)}) << 1 << 9;
        QTest::newRow("on another interface") << descriptors({vc1, extensionUnit(9)}) << 0 << -1;
        QTest::newRow("in an audio interface")
            << descriptors({audio, extensionUnit(3)}) << -1 << -1;
        QTest::newRow("after the next configuration")
            << descriptors({vc0, config, extensionUnit(3)}) << -1 << -1;
        Blob zero = descriptors({vc0, extensionUnit(4)});
        zero[27] = 0; // the interface descriptor: would loop for ever
        QTest::newRow("bLength 0") << zero << -1 << -1;
        Blob cut = descriptors({vc0, extensionUnit(4)});
        cut.resize(cut.size() - 16); // inside the guid
        QTest::newRow("cut inside the guid") << cut << -1 << -1;
        Blob trailing = descriptors({vc0, extensionUnit(4)});
        trailing.push_back(200);
        QTest::newRow("garbage after the unit") << trailing << -1 << 4;
    }
    void findsTheUnit() {
        QFETCH(Blob, blob);
        QFETCH(int, interfaceNumber);
        QFETCH(int, expected);
        // An exact-size heap copy lets the address sanitizer catch a read past the end.
        std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[blob.size()]);
        std::copy(blob.begin(), blob.end(), exact.get());
        const auto found = findExtensionUnit(exact.get(), blob.size(),
                                             encodeGuid(kExtensionUnitSet), interfaceNumber);
        QCOMPARE(found ? int(*found) : -1, expected);
    }

    void commandsOnTheWire_data() {
        // value: what a query hands back
        addColumns<QString, int, QString, int>({"operation", "argument", "trace", "value"});
        const QString zeros = " 00 00 00 00 00";
        QTest::newRow("anti-flicker 258, low byte")
            << "setAntiFlicker" << 258 << "1W 02 01 02" + zeros << 258;
        QTest::newRow("hdr -1, low byte") << "setHdr" << -1 << "1W 01 01 ff" + zeros << -1;
        QTest::newRow("restore defaults") << "restoreDefaults" << 5 << "1W 7f 01 00" + zeros << 5;
        QTest::newRow("enter upgrade") << "enterUpgradeMode" << 5 << "4W 00 01 00" + zeros << 5;
        QTest::newRow("query flicker")
            << "getAntiFlicker" << -7 << "1W 82 01 00" + zeros + ", 2R 82 02 00" + zeros << 2;
    }
    void commandsOnTheWire() {
        QFETCH(QString, operation);
        QFETCH(int, argument);
        QFETCH(QString, trace);
        QFETCH(int, value);
        sim->camera->setSettings({3, 0, 2, 2, 0, 1});
        open();
        QVERIFY(operations()[operation](unit, argument));
        QCOMPARE(xuTrace(*sim->camera), trace);
        QCOMPARE(argument, value);
    }

    void sequenceByteWrapsAndRestarts() {
        open();
        for (int i = 0; i < 254; ++i)
            QVERIFY(unit.setHdr(0));
        sim->camera->clearLogs();
        int value = -1;
        QVERIFY(unit.setHdr(1) && unit.setHdr(0) && unit.getHdr(value));
        QList<int> sequence;
        for (const SimXuRecord &record : sim->camera->xuLog())
            sequence << record.bytes[1];
        QCOMPARE(sequence, (QList<int>{255, 0, 1, 2}));
        QCOMPARE(unit.sequenceCounterValue(), 2);
        unit.releaseDevice();
        QCOMPARE(unit.sequenceCounterValue(), 0);
        open();
        QVERIFY(unit.setTrackingMode(1));
        QCOMPARE(xuTrace(*sim->camera), QString("1W 10 01 01 00 00 00 00 00"));
        Guid other = kExtensionUnitSet; // another property set never reaches the camera
        other.data1 ^= 1;
        std::uint8_t data[8] = {};
        std::uint32_t returned = 0;
        QVERIFY(unit.SetGetExtensionUnit(other, 1, kWriteFlags, data, 8, returned) != kStatusOk);
        QCOMPARE(sim->camera->xuLog().size(), std::size_t(1));
    }

    void failures_data() {
        // requests: sent before the failure ended the query
        addColumns<QString, int, int, QString>({"fault", "requests", "sequence", "report"});
        const QString query = "UVCIOC_CTRL_QUERY failed, Error code: ";
        QTest::newRow("write times out") << "timeout" << 1 << 1 << query + "0x8007006e";
        QTest::newRow("read fails") << "after1" << 2 << 2 << query + "0x8007006e";
        QTest::newRow("no extension unit")
            << "nounit" << 1 << 1 << "FindExtensionNode failed, Error code: 0x80004005";
    }
    void failures() {
        QFETCH(QString, fault);
        QFETCH(int, requests);
        QFETCH(int, sequence);
        QFETCH(QString, report);
        open();
        SimCameraFaults faults;
        faults.requestsTimeOut = fault == "timeout";
        faults.failRequestAfter = fault == "after1" ? 1 : -1;
        faults.noExtensionUnit = fault == "nounit";
        sim->camera->setCameraFaults(faults);
        int value = 42;
        StdoutCapture output;
        QVERIFY(!unit.getAntiFlicker(value));
        QCOMPARE(value, 42);
        QVERIFY2(output.finish().contains(report), qPrintable(output.finish()));
        QCOMPARE(int(sim->camera->xuLog().size()), requests);
        QCOMPARE(unit.sequenceCounterValue(), sequence);
    }

    void opensOnlyTheExactCamera_data() {
        // id: "second": the second camera's id ("SECOND": in upper case); "fails": the second
        // camera's, which cannot open
        // opened: which camera takes the request: 0 none, 1, 2
        addColumns<QString, QString, int, QString>({"id", "name", "opened", "output"});
        QTest::newRow("exact") << QString("second") << "QX-M30-000" << 2 << "";
        QTest::newRow("id in another case") << QString("SECOND") << "QX-M30-000" << 2 << "";
        QTest::newRow("empty id: first of the name") << QString("") << "QX-M30-000" << 1 << "";
        // No match is no failure of the platform.
        QTest::newRow("name in lower case") << QString("second") << "qx-m30-000" << 0 << "";
        QTest::newRow("right id, other name")
            << QString("second") << "Kestrelon ZENTA 320" << 0 << "";
        QTest::newRow("open fails") << QString("fails") << "QX-M30-000" << 0
                                    << "info: Function: UVCExtensionUnit::InitVideoDevice, "
                                       "Activating video device failed, Error code: 0x80070010 \n";
    }
    void opensOnlyTheExactCamera() {
        QFETCH(QString, id);
        QFETCH(QString, name);
        QFETCH(int, opened);
        QFETCH(QString, output);
        auto second = sim->bus.addCamera(configAt("1-2"));
        SimCameraFaults faults;
        faults.openFails = id == "fails";
        second->setCameraFaults(faults);
        StdoutCapture console;
        const QString wanted = id.isEmpty()     ? id
                               : id == "SECOND" ? idOf(*second).toUpper()
                                                : idOf(*second);
        QCOMPARE(unit.InitVideoDevice(wanted, name), opened != 0);
        QCOMPARE(console.finish(), output);
        QCOMPARE(sim->bus.openHandles(), opened ? 1 : 0);
        sim->camera->clearLogs();
        QCOMPARE(unit.setHdr(1), opened != 0);
        QCOMPARE(sim->camera->xuLog().size(), std::size_t(opened == 1));
        QCOMPARE(second->xuLog().size(), std::size_t(opened == 2));
    }

    // The window and the upgrade worker share the unit: a query's write and read stay together.
    void twoThreadsNeverMixTheirAnswers() {
        sim->camera->setSettings({0, 1, 1, 2, 1, 1});
        sim->camera->setVersion({1, 2, 3});
        OverlapProbe probe(sim->bus);
        installExtensionUnitBackend(&probe);
        open();
        std::atomic<int> wrong{0};
        std::thread window([&] {
            for (int i = 0; i < 150; ++i) {
                int value = -1;
                wrong += !unit.setAntiFlicker(2) || !unit.getAntiFlicker(value) || value != 2;
            }
        });
        std::thread worker([&] {
            for (int i = 0; i < 150; ++i) {
                QString version;
                int value = -1;
                wrong += !unit.getFirmwareVersion(kQueryVersion, version) || version != "1.2.3" ||
                         !unit.getHdr(value) || value != 1;
            }
        });
        window.join();
        worker.join();
        unit.releaseDevice();
        installExtensionUnitBackend(&sim->bus);
        QCOMPARE(probe.overlaps.load(), 0);
        QCOMPARE(wrong.load(), 0);
        QCOMPARE(sim->camera->xuLog().size(), std::size_t(150 * 3 + 150 * 4));
    }
};

QTEST_GUILESS_MAIN(TestExtensionUnit)
#include "tst_extensionunit.moc"
