#include "control/uvcextensionunit.h"
#include "device/dshowcamerawrapper.h"
#include "sim/simulatedbus.h"
#include "tests/device/stdoutcapture.h"
#include "tests/testsupport/simcamerasupport.h"
#include "tests/testsupport/testsupport.h"

#include <QtTest>

#include <atomic>
#include <thread>

namespace {
QByteArray bytesOf(const std::array<std::uint8_t, 8> &bytes) {
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), 8);
}

QByteArray packet(std::uint8_t code, std::uint8_t sequence, std::uint8_t argument = 0) {
    return bytesOf({{code, sequence, argument, 0, 0, 0, 0, 0}});
}

// The operations of the command set by name, so that the tables below can name them.
bool runSetter(UVCExtensionUnit &unit, const QString &operation, int argument) {
    if (operation == "setTrackingMode")
        return unit.setTrackingMode(argument);
    if (operation == "setTrackingEffect")
        return unit.setTrackingEffect(argument);
    if (operation == "setTrackingSpeed")
        return unit.setTrackingSpeed(argument);
    if (operation == "setAntiFlicker")
        return unit.setAntiFlicker(argument);
    if (operation == "setHdr")
        return unit.setHdr(argument);
    if (operation == "setMicEnabled")
        return unit.setMicEnabled(argument);
    if (operation == "restoreDefaults")
        return unit.restoreDefaults();
    if (operation == "enterUpgradeMode")
        return unit.enterUpgradeMode();
    qFatal("unknown operation");
    return false;
}

bool runGetter(UVCExtensionUnit &unit, const QString &operation, int &value) {
    if (operation == "getTrackingMode")
        return unit.getTrackingMode(value);
    if (operation == "getTrackingEffect")
        return unit.getTrackingEffect(value);
    if (operation == "getTrackingSpeed")
        return unit.getTrackingSpeed(value);
    if (operation == "getAntiFlicker")
        return unit.getAntiFlicker(value);
    if (operation == "getHdr")
        return unit.getHdr(value);
    if (operation == "getMicEnabled")
        return unit.getMicEnabled(value);
    qFatal("unknown operation");
    return false;
}

void addGetterColumns() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("code");
}

void addGetterRows() {
    QTest::newRow("tracking mode") << "getTrackingMode" << 0x90;
    QTest::newRow("tracking effect") << "getTrackingEffect" << 0x91;
    QTest::newRow("tracking speed") << "getTrackingSpeed" << 0x92;
    QTest::newRow("anti-flicker") << "getAntiFlicker" << 0x82;
    QTest::newRow("hdr") << "getHdr" << 0x81;
    QTest::newRow("microphone") << "getMicEnabled" << 0x84;
}

// Stands between the window's object and the simulated bus and notices requests that overlap.
class OverlapProbe final : public ExtensionUnitBackend {
public:
    explicit OverlapProbe(ExtensionUnitBackend &backend)
        : inner(backend) {}

    bool enumerate(std::vector<CaptureSourceInfo> &sources, PlatformFailure &failure) override {
        return inner.enumerate(sources, failure);
    }
    std::unique_ptr<ExtensionUnitDevice> activate(std::size_t position,
                                                  PlatformFailure &failure) override {
        auto device = inner.activate(position, failure);
        if (!device)
            return nullptr;
        return std::make_unique<Device>(*this, std::move(device));
    }

    std::atomic<int> inFlight{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> requests{0};
    std::atomic<bool> deviceAlive{false};
    std::atomic<bool> closedDuringRequest{false};
    // When armed, the next request signals `entered` and waits for `proceed`.
    std::atomic<bool> holdNext{false};
    QSemaphore entered;
    QSemaphore proceed;

private:
    class Device final : public ExtensionUnitDevice {
    public:
        Device(OverlapProbe &owner, std::unique_ptr<ExtensionUnitDevice> device)
            : probe(owner)
            , inner(std::move(device)) {
            probe.deviceAlive = true;
        }
        ~Device() override {
            if (probe.inFlight.load() > 0)
                probe.closedDuringRequest = true;
            probe.deviceAlive = false;
        }
        PlatformStatus request(std::uint32_t selector, UnitDirection direction, std::uint8_t *data,
                               std::uint32_t length, PlatformFailure &failure) override {
            if (++probe.inFlight > 1)
                ++probe.overlaps;
            ++probe.requests;
            if (probe.holdNext.exchange(false)) {
                probe.entered.release();
                probe.proceed.acquire();
            }
            // Widen the window in which another thread could come in.
            for (int i = 0; i < 50; ++i)
                std::this_thread::yield();
            const PlatformStatus status =
                inner->request(selector, direction, data, length, failure);
            --probe.inFlight;
            return status;
        }

    private:
        OverlapProbe &probe;
        std::unique_ptr<ExtensionUnitDevice> inner;
    };

    ExtensionUnitBackend &inner;
};
} // namespace

class TestUvcExtensionUnit : public QObject {
    Q_OBJECT

private:
    VirtualClock clock;
    std::unique_ptr<ScopedClock> scopedClock;
    std::unique_ptr<SimulatedBus> bus;
    std::shared_ptr<SimCamera> camera;

    void open(UVCExtensionUnit &unit) {
        QVERIFY(unit.InitVideoDevice(idOf(*camera), nameOf(*camera)));
        camera->clearLogs();
    }

private slots:
    void init() {
        scopedClock = std::make_unique<ScopedClock>(clock);
        bus = std::make_unique<SimulatedBus>();
        bus->install();
        camera = bus->addCamera(configAt("1-1"));
    }

    void cleanup() {
        camera.reset();
        bus.reset();
        scopedClock.reset();
    }

    void setterSendsItsPacket_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("argument");
        QTest::addColumn<uint>("selector");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("tracking mode 3") << "setTrackingMode" << 3 << 1u << packet(0x10, 1, 3);
        QTest::newRow("tracking mode 1") << "setTrackingMode" << 1 << 1u << packet(0x10, 1, 1);
        QTest::newRow("tracking effect 0") << "setTrackingEffect" << 0 << 1u << packet(0x11, 1, 0);
        QTest::newRow("tracking speed 2") << "setTrackingSpeed" << 2 << 1u << packet(0x12, 1, 2);
        QTest::newRow("anti-flicker 2") << "setAntiFlicker" << 2 << 1u << packet(0x02, 1, 2);
        QTest::newRow("anti-flicker 258, low byte")
            << "setAntiFlicker" << 258 << 1u << packet(0x02, 1, 2);
        QTest::newRow("anti-flicker -1, low byte")
            << "setAntiFlicker" << -1 << 1u << packet(0x02, 1, 0xFF);
        QTest::newRow("hdr on") << "setHdr" << 1 << 1u << packet(0x01, 1, 1);
        QTest::newRow("microphone off") << "setMicEnabled" << 0 << 1u << packet(0x04, 1, 0);
        QTest::newRow("restore defaults") << "restoreDefaults" << 0 << 1u << packet(0x7F, 1);
        QTest::newRow("enter upgrade") << "enterUpgradeMode" << 0 << 4u << packet(0x00, 1);
    }
    void setterSendsItsPacket() {
        QFETCH(QString, operation);
        QFETCH(int, argument);
        QFETCH(uint, selector);
        QFETCH(QByteArray, expected);
        UVCExtensionUnit unit;
        open(unit);
        QVERIFY(runSetter(unit, operation, argument));
        const std::vector<SimXuRecord> log = camera->xuLog();
        QCOMPARE(log.size(), std::size_t(1));
        QCOMPARE(log[0].selector, std::uint32_t(selector));
        QVERIFY(log[0].direction == UnitDirection::Write);
        QCOMPARE(bytesOf(log[0].bytes), expected);
    }

    void settingReachesTheCamera() {
        UVCExtensionUnit unit;
        open(unit);
        QVERIFY(unit.setTrackingMode(3));
        QVERIFY(unit.setTrackingEffect(0));
        QVERIFY(unit.setTrackingSpeed(2));
        QVERIFY(unit.setAntiFlicker(2));
        QVERIFY(unit.setHdr(1));
        const SimSettings settings = camera->settings();
        QCOMPARE(settings.trackingMode, std::uint8_t(3));
        QCOMPARE(settings.trackingEffect, std::uint8_t(0));
        QCOMPARE(settings.trackingSpeed, std::uint8_t(2));
        QCOMPARE(settings.antiFlicker, std::uint8_t(2));
        QCOMPARE(settings.hdr, std::uint8_t(1));
    }

    void getterQueriesAndReadsByte2_data() {
        addGetterColumns();
        addGetterRows();
    }
    void getterQueriesAndReadsByte2() {
        QFETCH(QString, operation);
        QFETCH(int, code);
        SimSettings settings;
        settings.trackingMode = 3;
        settings.trackingEffect = 0;
        settings.trackingSpeed = 2;
        settings.antiFlicker = 2;
        settings.hdr = 1;
        settings.mic = 0;
        camera->setSettings(settings);
        const QMap<int, int> expected = {{0x90, 3}, {0x91, 0}, {0x92, 2},
                                         {0x82, 2}, {0x81, 1}, {0x84, 0}};

        UVCExtensionUnit unit;
        open(unit);
        QVERIFY(unit.setHdr(1)); // spends sequence number 1
        camera->clearLogs();
        int value = -7;
        QVERIFY(runGetter(unit, operation, value));
        QCOMPARE(value, expected.value(code));

        const std::vector<SimXuRecord> log = camera->xuLog();
        QCOMPARE(log.size(), std::size_t(2));
        QCOMPARE(log[0].selector, kSelectorCommand);
        QVERIFY(log[0].direction == UnitDirection::Write);
        QCOMPARE(bytesOf(log[0].bytes), packet(std::uint8_t(code), 2));
        QCOMPARE(log[1].selector, kSelectorResponse);
        QVERIFY(log[1].direction == UnitDirection::Read);
        QCOMPARE(bytesOf(log[1].bytes), packet(std::uint8_t(code), 3));
        QCOMPARE(unit.sequenceCounterValue(), 3);
    }

    void queryReturnsTheWholeResponse() {
        camera->setVersion({0x0102, 0x0304, 0x0506});
        UVCExtensionUnit unit;
        open(unit);
        XuPacket response{};
        QVERIFY(unit.queryCommand(kQueryVersion, response));
        QCOMPARE(bytesOf(response), QByteArray::fromHex("8001010203040506"));
    }

    void getterLeavesItsOutputOnFailure_data() {
        addGetterColumns();
        QTest::addColumn<int>("failAfter"); // -1: every request times out
        QTest::newRow("mode, write fails") << "getTrackingMode" << 0x90 << -1;
        QTest::newRow("mode, read fails") << "getTrackingMode" << 0x90 << 1;
        QTest::newRow("effect, read fails") << "getTrackingEffect" << 0x91 << 1;
        QTest::newRow("speed, write fails") << "getTrackingSpeed" << 0x92 << -1;
        QTest::newRow("anti-flicker, read fails") << "getAntiFlicker" << 0x82 << 1;
        QTest::newRow("hdr, read fails") << "getHdr" << 0x81 << 1;
        QTest::newRow("microphone, write fails") << "getMicEnabled" << 0x84 << -1;
    }
    void getterLeavesItsOutputOnFailure() {
        QFETCH(QString, operation);
        QFETCH(int, failAfter);
        UVCExtensionUnit unit;
        open(unit);
        SimCameraFaults faults;
        faults.requestsTimeOut = failAfter < 0;
        faults.failRequestAfter = failAfter;
        camera->setCameraFaults(faults);
        int value = 42;
        StdoutCapture output;
        QVERIFY(!runGetter(unit, operation, value));
        QCOMPARE(value, 42);
        QVERIFY(output.finish().contains("UVCExtensionUnit::SetGetExtensionUnit"));
    }

    void failedWriteSkipsTheRead() {
        UVCExtensionUnit unit;
        open(unit);
        SimCameraFaults faults;
        faults.requestsTimeOut = true;
        camera->setCameraFaults(faults);
        StdoutCapture output;
        XuPacket response{};
        QVERIFY(!unit.queryCommand(0x90, response));
        output.finish();
        QCOMPARE(camera->xuLog().size(), std::size_t(1));
        QCOMPARE(unit.sequenceCounterValue(), 1);
    }

    void firmwareVersion_data() {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("patch");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("text");
        QTest::newRow("1.2.30") << 1 << 2 << 30 << true << "1.2.30";
        QTest::newRow("256.0.0") << 256 << 0 << 0 << true << "256.0.0";
        QTest::newRow("0.0.1") << 0 << 0 << 1 << true << "0.0.1";
        QTest::newRow("largest") << 65535 << 65535 << 65535 << true << "65535.65535.65535";
        QTest::newRow("all zero") << 0 << 0 << 0 << false << "unchanged";
    }
    void firmwareVersion() {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, patch);
        QFETCH(bool, ok);
        QFETCH(QString, text);
        camera->setVersion({std::uint16_t(major), std::uint16_t(minor), std::uint16_t(patch)});
        UVCExtensionUnit unit;
        open(unit);
        QString version = "unchanged";
        QCOMPARE(unit.getFirmwareVersion(kQueryVersion, version), ok);
        QCOMPARE(version, text);
        const std::vector<SimXuRecord> log = camera->xuLog();
        QCOMPARE(log.size(), std::size_t(2));
        QCOMPARE(bytesOf(log[0].bytes), packet(0x80, 1));
        QCOMPARE(bytesOf(log[1].bytes), packet(0x80, 2));
    }

    void versionAllZeroIsNoVersion() {
        SimCameraFaults faults;
        faults.versionAllZero = true;
        camera->setCameraFaults(faults);
        UVCExtensionUnit unit;
        open(unit);
        QString version = "unchanged";
        QVERIFY(!unit.getFirmwareVersion(kQueryVersion, version));
        QVERIFY(!unit.getFirmwareVersion(kQueryVersionLegacy, version));
        QCOMPARE(version, QString("unchanged"));
    }

    void legacyVersionQuery() {
        SimCameraFaults faults;
        faults.noVersionQuery = true;
        camera->setCameraFaults(faults);
        camera->setVersion({2, 5, 9});
        UVCExtensionUnit unit;
        open(unit);
        QString version;
        StdoutCapture output;
        QVERIFY(!unit.getFirmwareVersion(kQueryVersion, version));
        QCOMPARE(output.finish(), QString("info: Function: UVCExtensionUnit::SetGetExtensionUnit, "
                                          "UVCIOC_CTRL_QUERY failed, Error code: 0x80070005 \n"));
        QVERIFY(version.isEmpty());
        QVERIFY(unit.getFirmwareVersion(kQueryVersionLegacy, version));
        QCOMPARE(version, QString("2.5.9"));
    }

    void sequenceWrapsAfter255() {
        UVCExtensionUnit unit;
        open(unit);
        QCOMPARE(unit.sequenceCounterValue(), 0);
        for (int i = 0; i < 254; ++i)
            QVERIFY(unit.setHdr(0));
        camera->clearLogs();
        QVERIFY(unit.setHdr(1)); // 255th
        QVERIFY(unit.setHdr(0)); // 256th
        QVERIFY(unit.setHdr(1)); // 257th
        int value = -1;
        QVERIFY(unit.getHdr(value)); // 258th and 259th
        const std::vector<SimXuRecord> log = camera->xuLog();
        QCOMPARE(log.size(), std::size_t(5));
        QCOMPARE(int(log[0].bytes[1]), 255);
        QCOMPARE(int(log[1].bytes[1]), 0);
        QCOMPARE(int(log[2].bytes[1]), 1);
        QCOMPARE(int(log[3].bytes[1]), 2);
        QCOMPARE(int(log[4].bytes[1]), 3);
        QCOMPARE(unit.sequenceCounterValue(), 3);
    }

    void queryStraddlingTheWrap() {
        UVCExtensionUnit unit;
        open(unit);
        for (int i = 0; i < 255; ++i)
            QVERIFY(unit.setHdr(0));
        camera->clearLogs();
        int value = -1;
        QVERIFY(unit.getTrackingMode(value));
        const std::vector<SimXuRecord> log = camera->xuLog();
        QCOMPARE(log.size(), std::size_t(2));
        QCOMPARE(bytesOf(log[0].bytes), packet(0x90, 0));
        QCOMPARE(bytesOf(log[1].bytes), packet(0x90, 1));
    }

    void counterAdvancesWhenClosedAndFailing() {
        UVCExtensionUnit unit;
        StdoutCapture output;
        std::uint8_t data[8] = {};
        std::uint32_t returned = 99;
        QCOMPARE(unit.SetGetExtensionUnit(kExtensionUnitSet, 1, kWriteFlags, data, 8, returned),
                 kStatusPointer);
        QCOMPARE(unit.sequenceCounterValue(), 0); // a bare request takes no sequence number
        QVERIFY(!unit.setTrackingMode(1));
        QCOMPARE(unit.sequenceCounterValue(), 1);
        XuPacket response{};
        QVERIFY(!unit.queryCommand(0x90, response));
        QCOMPARE(unit.sequenceCounterValue(), 2);
        QVERIFY(!unit.enterUpgradeMode());
        QCOMPARE(unit.sequenceCounterValue(), 3);
        QCOMPARE(output.finish(), QString()); // a closed object reports nothing
        QVERIFY(camera->xuLog().empty());

        unit.releaseDevice();
        QCOMPARE(unit.sequenceCounterValue(), 0);
        unit.releaseDevice();
        QCOMPARE(unit.sequenceCounterValue(), 0);
    }

    void counterStartsAgainAfterRelease() {
        UVCExtensionUnit unit;
        open(unit);
        QVERIFY(unit.setHdr(1));
        QVERIFY(unit.setHdr(0));
        unit.releaseDevice();
        QCOMPARE(unit.sequenceCounterValue(), 0);
        open(unit);
        QVERIFY(unit.setTrackingMode(1));
        QCOMPARE(bytesOf(camera->xuLog().at(0).bytes), packet(0x10, 1, 1));
        unit.releaseDevice();
        QVERIFY(!unit.setTrackingMode(1)); // closed again: E_POINTER
    }

    void debugLinesOfTheCommands_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("line");
        QTest::newRow("effect") << "setTrackingEffect"
                                << "Auto config Effect";
        QTest::newRow("speed") << "setTrackingSpeed"
                               << "Auto config Speend";
        QTest::newRow("restore") << "restoreDefaults"
                                 << "updateDev.";
        QTest::newRow("upgrade") << "enterUpgradeMode"
                                 << "updateDev.";
    }
    void debugLinesOfTheCommands() {
        QFETCH(QString, operation);
        QFETCH(QString, line);
        UVCExtensionUnit unit;
        MessageCapture messages;
        QVERIFY(!runSetter(unit, operation, 1)); // logged before any transfer, also when closed
        QVERIFY(messages.contains(line));
    }

    void debugLinesOfTheQueries() {
        UVCExtensionUnit unit;
        open(unit);
        MessageCapture messages;
        int value = 0;
        QVERIFY(unit.getTrackingEffect(value));
        QVERIFY(unit.getTrackingSpeed(value));
        QVERIFY(messages.contains("Auto query Effect"));
        QVERIFY(messages.contains("Auto query Speend"));
        QVERIFY(!messages.contains("Auto config"));
        MessageCapture others;
        QVERIFY(unit.getTrackingMode(value));
        QVERIFY(unit.setTrackingMode(value));
        QVERIFY(others.messages().isEmpty());
    }

    void openLogsEveryCandidate() {
        bus->addCamera(configAt("1-2", "Other Cam"));
        UVCExtensionUnit unit;
        MessageCapture messages;
        QVERIFY(unit.InitVideoDevice(idOf(*camera), nameOf(*camera)));
        QVERIFY(messages.contains("uvc camera index: 0  name: \"QX-M30-000\""));
        QVERIFY(messages.contains(
            "uvc path: \"" + QString::fromStdString(camera->interfaceName()).replace("\\", "\\\\") +
            "\""));
    }

    void opensTheCameraWhoseLinkHoldsTheId() {
        auto second = bus->addCamera(configAt("1-2"));
        UVCExtensionUnit unit;
        QVERIFY(unit.InitVideoDevice(idOf(*second), nameOf(*second)));
        camera->clearLogs();
        second->clearLogs();
        QVERIFY(unit.setHdr(1));
        QVERIFY(camera->xuLog().empty());
        QCOMPARE(second->xuLog().size(), std::size_t(1));
    }

    void emptyIdOpensTheFirstOfThatName() {
        auto second = bus->addCamera(configAt("1-2"));
        UVCExtensionUnit unit;
        QVERIFY(unit.InitVideoDevice(QString(), nameOf(*second)));
        camera->clearLogs();
        second->clearLogs();
        QVERIFY(unit.setHdr(1));
        QCOMPARE(camera->xuLog().size(), std::size_t(1));
        QVERIFY(second->xuLog().empty());
    }

    void namesMustMatchExactly_data() {
        QTest::addColumn<QString>("friendlyName");
        QTest::addColumn<bool>("lowerCaseId");
        QTest::newRow("lower case name") << "qx-m30-000" << false;
        QTest::newRow("trailing blank") << "QX-M30-000 " << false;
        QTest::newRow("prefix only") << "QX-M30" << false;
        QTest::newRow("id in upper case") << "QX-M30-000" << true;
    }
    void namesMustMatchExactly() {
        QFETCH(QString, friendlyName);
        QFETCH(bool, lowerCaseId);
        const QString id = lowerCaseId ? idOf(*camera).toUpper() : idOf(*camera);
        UVCExtensionUnit unit;
        StdoutCapture output;
        QVERIFY(!unit.InitVideoDevice(id, friendlyName));
        QCOMPARE(output.finish(), QString()); // no match is not a failure of the platform
        QCOMPARE(bus->openHandles(), 0);
        QVERIFY(!unit.setHdr(1));
    }

    void failedActivationIsReported() {
        SimCameraFaults faults;
        faults.openFails = true;
        camera->setCameraFaults(faults);
        UVCExtensionUnit unit;
        StdoutCapture output;
        QVERIFY(!unit.InitVideoDevice(idOf(*camera), nameOf(*camera)));
        QCOMPARE(output.finish(),
                 QString("info: Function: UVCExtensionUnit::InitVideoDevice, "
                         "Activating video device failed, Error code: 0x80070010 \n"));
        QCOMPARE(bus->openHandles(), 0);
    }

    void onlyTheFirstMatchIsTried() {
        SimCameraFaults faults;
        faults.openFails = true;
        camera->setCameraFaults(faults);
        bus->addCamera(configAt("1-2"));
        UVCExtensionUnit unit;
        StdoutCapture output;
        QVERIFY(!unit.InitVideoDevice(QString(), nameOf(*camera)));
        output.finish();
        QCOMPARE(bus->openHandles(), 0);
    }

    void missingExtensionUnitIsReportedPerRequest() {
        SimCameraFaults faults;
        faults.noExtensionUnit = true;
        camera->setCameraFaults(faults);
        UVCExtensionUnit unit;
        open(unit);
        StdoutCapture output;
        QVERIFY(!unit.setTrackingMode(1));
        QVERIFY(!unit.setHdr(1));
        const QString line = "info: Function: UVCExtensionUnit::SetGetExtensionUnit, "
                             "FindExtensionNode failed, Error code: 0x80004005 \n";
        QCOMPARE(output.finish(), line + line);
    }

    void timedOutRequestIsReported() {
        SimCameraFaults faults;
        faults.requestsTimeOut = true;
        camera->setCameraFaults(faults);
        UVCExtensionUnit unit;
        open(unit);
        StdoutCapture output;
        std::uint8_t data[8] = {0x10, 1, 1};
        std::uint32_t returned = 5;
        const PlatformStatus status =
            unit.SetGetExtensionUnit(kExtensionUnitSet, 1, kWriteFlags, data, 8, returned);
        QCOMPARE(status, statusFromErrno(ETIMEDOUT));
        QCOMPARE(returned, 0u);
        QCOMPARE(output.finish(), QString("info: Function: UVCExtensionUnit::SetGetExtensionUnit, "
                                          "UVCIOC_CTRL_QUERY failed, Error code: 0x8007006e \n"));
    }

    void unpluggedCameraFailsItsRequests() {
        UVCExtensionUnit unit;
        open(unit);
        bus->unplug(camera);
        StdoutCapture output;
        QVERIFY(!unit.setHdr(1));
        QVERIFY(output.finish().contains("Error code: 0x80070013"));
        unit.releaseDevice();
        QCOMPARE(bus->openHandles(), 0);
    }

    void noHandleLeaksOverManyOpens() {
        UVCExtensionUnit unit;
        const int descriptors = openFileDescriptorCount();
        for (int i = 0; i < 3000; ++i) {
            QVERIFY(unit.InitVideoDevice(idOf(*camera), nameOf(*camera)));
            QCOMPARE(bus->openHandles(), 1);
            if (i % 2 == 0)
                unit.releaseDevice();
        }
        // Opening again without a release closes the previous handle.
        QVERIFY(unit.InitVideoDevice(idOf(*camera), nameOf(*camera)));
        QCOMPARE(bus->openHandles(), 1);
        unit.releaseDevice();
        QCOMPARE(bus->openHandles(), 0);
        QCOMPARE(openFileDescriptorCount(), descriptors);
        {
            UVCExtensionUnit scoped;
            QVERIFY(scoped.InitVideoDevice(idOf(*camera), nameOf(*camera)));
            QCOMPARE(bus->openHandles(), 1);
        }
        QCOMPARE(bus->openHandles(), 0);
    }

    void requestsOfTwoThreadsNeverInterleave() {
        SimSettings settings;
        settings.antiFlicker = 2;
        settings.hdr = 1;
        camera->setSettings(settings);
        camera->setVersion({1, 2, 3});
        OverlapProbe probe(*bus);
        installExtensionUnitBackend(&probe);
        UVCExtensionUnit unit;
        open(unit);

        std::atomic<int> wrong{0};
        auto window = [&] {
            for (int i = 0; i < 300; ++i) {
                int value = -1;
                if (!unit.setAntiFlicker(2) || !unit.getAntiFlicker(value) || value != 2)
                    ++wrong;
            }
        };
        auto worker = [&] {
            for (int i = 0; i < 300; ++i) {
                QString version;
                int value = -1;
                if (!unit.getFirmwareVersion(kQueryVersion, version) || version != "1.2.3" ||
                    !unit.getHdr(value) || value != 1)
                    ++wrong;
            }
        };
        std::thread first(window);
        std::thread second(worker);
        first.join();
        second.join();
        installExtensionUnitBackend(bus.get());

        QCOMPARE(probe.overlaps.load(), 0);
        QCOMPARE(wrong.load(), 0);
        QCOMPARE(probe.requests.load(), 300 * 3 + 300 * 4);
        // Every read follows the write of its own query, with the next sequence number.
        const std::vector<SimXuRecord> log = camera->xuLog();
        for (std::size_t i = 0; i < log.size(); ++i) {
            if (log[i].selector != kSelectorResponse)
                continue;
            QVERIFY(i > 0);
            QCOMPARE(log[i - 1].selector, kSelectorCommand);
            QCOMPARE(log[i - 1].bytes[0], log[i].bytes[0]);
            QCOMPARE(std::uint8_t(log[i - 1].bytes[1] + 1), log[i].bytes[1]);
        }
        // Sequence numbers are handed out once each.
        for (std::size_t i = 1; i < log.size(); ++i)
            QCOMPARE(log[i].bytes[1], std::uint8_t(log[i - 1].bytes[1] + 1));
    }

    void releaseWaitsForARunningRequest() {
        OverlapProbe probe(*bus);
        installExtensionUnitBackend(&probe);
        UVCExtensionUnit unit;
        open(unit);

        probe.holdNext = true;
        std::atomic<bool> result{false};
        std::thread requester([&] { result = unit.setTrackingMode(1); });
        probe.entered.acquire();

        QThread *releaser = QThread::create([&] { unit.releaseDevice(); });
        releaser->start();
        // The release must wait for the request in progress.
        QVERIFY(!releaser->wait(100));
        QVERIFY(probe.deviceAlive.load());
        probe.proceed.release();
        requester.join();
        QVERIFY(releaser->wait(5000));
        delete releaser;
        installExtensionUnitBackend(bus.get());

        QVERIFY(result.load());
        QVERIFY(!probe.closedDuringRequest.load());
        QVERIFY(!probe.deviceAlive.load());
        QCOMPARE(bus->openHandles(), 0);
    }

    void propertySetOtherThanTheUnitsIsRefused() {
        UVCExtensionUnit unit;
        open(unit);
        Guid other = kExtensionUnitSet;
        other.data1 ^= 1;
        std::uint8_t data[8] = {0x01, 1, 1};
        std::uint32_t returned = 0;
        StdoutCapture output;
        QVERIFY(unit.SetGetExtensionUnit(other, 1, kWriteFlags, data, 8, returned) != kStatusOk);
        output.finish();
        QVERIFY(camera->xuLog().empty());
    }

    void bareRequestReadsTheAnswer() {
        camera->setVersion({7, 8, 9});
        UVCExtensionUnit unit;
        open(unit);
        std::uint8_t query[8] = {0x80, 0x11};
        std::uint32_t returned = 0;
        QCOMPARE(unit.SetGetExtensionUnit(kExtensionUnitSet, 1, kWriteFlags, query, 8, returned),
                 kStatusOk);
        QCOMPARE(returned, 8u);
        std::uint8_t answer[8] = {};
        QCOMPARE(unit.SetGetExtensionUnit(kExtensionUnitSet, 2, kReadFlags, answer, 8, returned),
                 kStatusOk);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(answer), 8),
                 QByteArray::fromHex("8011000700080009"));
        QCOMPARE(unit.sequenceCounterValue(), 0);
    }
};

QTEST_GUILESS_MAIN(TestUvcExtensionUnit)
#include "tst_uvcextensionunit.moc"
