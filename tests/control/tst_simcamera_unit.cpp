// The simulated camera's extension unit and camera controls, driven through the seams the way the
// platform layer drives a real camera.
#include "control/uvcextensionunit.h"
#include "sim/simulatedbus.h"

#include <QSignalSpy>
#include <QtTest>

#include <cerrno>

namespace {
using Packet = std::array<std::uint8_t, 8>;

QByteArray bytesOf(const Packet &bytes) {
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), 8);
}
} // namespace

class TestSimCameraUnit : public QObject {
    Q_OBJECT

private:
    VirtualClock clock;
    std::unique_ptr<ScopedClock> scopedClock;
    std::unique_ptr<SimulatedBus> bus;
    std::shared_ptr<SimCamera> camera;
    std::unique_ptr<ExtensionUnitDevice> device;

    PlatformStatus write(std::uint32_t selector, Packet packet,
                         PlatformFailure *failure = nullptr) {
        PlatformFailure ignored;
        return device->request(selector, UnitDirection::Write, packet.data(), 8,
                               failure ? *failure : ignored);
    }

    PlatformStatus read(std::uint32_t selector, Packet &packet,
                        PlatformFailure *failure = nullptr) {
        PlatformFailure ignored;
        return device->request(selector, UnitDirection::Read, packet.data(), 8,
                               failure ? *failure : ignored);
    }

    void advance(Milliseconds duration) {
        clock.advance(duration);
        bus->poll();
    }

private slots:
    void init() {
        scopedClock = std::make_unique<ScopedClock>(clock);
        bus = std::make_unique<SimulatedBus>();
        bus->install();
        camera = bus->addCamera(SimCameraConfig());
        std::vector<CaptureSourceInfo> sources;
        PlatformFailure failure;
        QVERIFY(bus->enumerate(sources, failure));
        QCOMPARE(sources.size(), std::size_t(1));
        device = bus->activate(0, failure);
        QVERIFY(device);
    }

    void cleanup() {
        device.reset();
        camera.reset();
        bus.reset();
        scopedClock.reset();
    }

    void writesAreStoredAndQueriesAnswered_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("value");
        QTest::newRow("tracking mode") << 0x10 << 3;
        QTest::newRow("tracking effect") << 0x11 << 0;
        QTest::newRow("tracking speed") << 0x12 << 2;
        QTest::newRow("anti-flicker") << 0x02 << 2;
        QTest::newRow("hdr") << 0x01 << 1;
        QTest::newRow("microphone, unchanged") << 0x04 << 1;
    }
    void writesAreStoredAndQueriesAnswered() {
        QFETCH(int, code);
        QFETCH(int, value);
        QCOMPARE(write(1, {{std::uint8_t(code), 5, std::uint8_t(value)}}), kStatusOk);
        QCOMPARE(write(1, {{std::uint8_t(code | 0x80), 6}}), kStatusOk);
        Packet answer{{0xEE, 0xEE, 0xEE}};
        QCOMPARE(read(2, answer), kStatusOk);
        QCOMPARE(bytesOf(answer), bytesOf({{std::uint8_t(code | 0x80), 6, std::uint8_t(value)}}));
        QCOMPARE(camera->stage(), SimStage::Camera);
    }

    void versionAnswers_data() {
        QTest::addColumn<int>("code");
        QTest::newRow("version") << 0x80;
        QTest::newRow("legacy version") << 0x0B;
    }
    void versionAnswers() {
        QFETCH(int, code);
        camera->setVersion({0x0102, 0x00FF, 0xA00B});
        QCOMPARE(write(1, {{std::uint8_t(code), 9}}), kStatusOk);
        Packet answer{};
        QCOMPARE(read(2, answer), kStatusOk);
        QCOMPARE(bytesOf(answer),
                 bytesOf({{std::uint8_t(code), 9, 0x01, 0x02, 0x00, 0xFF, 0xA0, 0x0B}}));
    }

    void unknownPacketsStall_data() {
        QTest::addColumn<int>("selector");
        QTest::addColumn<bool>("isRead");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("error");
        QTest::newRow("unknown code") << 1 << false << 0x55 << EIO;
        QTest::newRow("unknown query") << 1 << false << 0xFF << EIO;
        QTest::newRow("enter upgrade on the command control") << 1 << false << 0x00 << EIO;
        QTest::newRow("other code on the upgrade control") << 4 << false << 0x10 << EIO;
        QTest::newRow("write to the response control") << 2 << false << 0x10 << EBADRQC;
        QTest::newRow("read of the command control") << 1 << true << 0x00 << EBADRQC;
        QTest::newRow("control 3") << 3 << false << 0x10 << ENOENT;
    }
    void unknownPacketsStall() {
        QFETCH(int, selector);
        QFETCH(bool, isRead);
        QFETCH(int, code);
        QFETCH(int, error);
        const SimSettings before = camera->settings();
        PlatformFailure failure;
        Packet packet{{std::uint8_t(code), 1, 1}};
        const PlatformStatus status = isRead ? read(std::uint32_t(selector), packet, &failure)
                                             : write(std::uint32_t(selector), packet, &failure);
        QCOMPARE(status, statusFromErrno(error));
        QCOMPARE(failure.status, status);
        QCOMPARE(QString::fromStdString(failure.step), QString("UVCIOC_CTRL_QUERY"));
        QCOMPARE(camera->stage(), SimStage::Camera);
        QCOMPARE(camera->settings().trackingMode, before.trackingMode);
        // Refused requests are on the record too.
        QCOMPARE(camera->xuLog().size(), std::size_t(1));
    }

    void wrongLengthIsRefused() {
        std::uint8_t data[4] = {0x01, 1, 1, 0};
        PlatformFailure failure;
        QCOMPARE(device->request(1, UnitDirection::Write, data, 4, failure),
                 statusFromErrno(ENOBUFS));
        QCOMPARE(camera->settings().hdr, std::uint8_t(0));
    }

    void recordsEveryRequest() {
        camera->clearLogs();
        QCOMPARE(write(1, {{0x90, 1}}), kStatusOk);
        Packet answer{{0x90, 2}};
        QCOMPARE(read(2, answer), kStatusOk);
        const std::vector<SimXuRecord> log = camera->xuLog();
        QCOMPARE(log.size(), std::size_t(2));
        QCOMPARE(log[0].selector, 1u);
        QVERIFY(log[0].direction == UnitDirection::Write);
        QCOMPARE(bytesOf(log[0].bytes), bytesOf({{0x90, 1}}));
        QCOMPARE(log[1].selector, 2u);
        QVERIFY(log[1].direction == UnitDirection::Read);
        QCOMPARE(bytesOf(log[1].bytes), bytesOf({{0x90, 2}})); // what the caller sent
    }

    void restoreDefaultsRestarts() {
        auto hotplug = bus->createHotplugSource();
        QSignalSpy events(hotplug.get(), &HotplugSource::captureInterfaceChanged);
        SimSettings changed;
        changed.trackingMode = 3;
        changed.antiFlicker = 2;
        changed.mic = 0;
        camera->setSettings(changed);

        QCOMPARE(write(1, {{0x7F, 1}}), kStatusOk);
        QCOMPARE(camera->stage(), SimStage::Off);
        const SimSettings defaults;
        QCOMPARE(camera->settings().trackingMode, defaults.trackingMode);
        QCOMPARE(camera->settings().antiFlicker, defaults.antiFlicker);
        QCOMPARE(camera->settings().mic, defaults.mic);
        // Gone from the bus while it restarts.
        PlatformFailure failure;
        QCOMPARE(write(1, {{0x01, 2, 1}}, &failure), statusFromErrno(ENODEV));

        advance(camera->restartDelay - Milliseconds(1));
        QCOMPARE(camera->stage(), SimStage::Off);
        advance(Milliseconds(1));
        QCOMPARE(camera->stage(), SimStage::Camera);

        QTRY_COMPARE(events.count(), 2);
        const QString name = QString::fromStdString(camera->interfaceName());
        QCOMPARE(events.at(0).at(0).toBool(), false);
        QCOMPARE(events.at(0).at(1).toString(), name);
        QCOMPARE(events.at(1).at(0).toBool(), true);
        QCOMPARE(events.at(1).at(1).toString(), name);
    }

    void microphoneChangeRestarts_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("restarts");
        QTest::newRow("switched off") << 0 << true;
        QTest::newRow("unchanged") << 1 << false;
    }
    void microphoneChangeRestarts() {
        QFETCH(int, value);
        QFETCH(bool, restarts);
        QCOMPARE(write(1, {{0x04, 1, std::uint8_t(value)}}), kStatusOk);
        QCOMPARE(camera->settings().mic, std::uint8_t(value));
        QCOMPARE(camera->stage(), restarts ? SimStage::Off : SimStage::Camera);
        advance(camera->restartDelay);
        QCOMPARE(camera->stage(), SimStage::Camera);
        QCOMPARE(camera->settings().mic, std::uint8_t(value)); // a restart keeps the setting
    }

    void enterUpgradeShowsTheDisk_data() {
        QTest::addColumn<bool>("neverShowsVolume");
        QTest::newRow("shows its disk") << false;
        QTest::newRow("never shows its disk") << true;
    }
    void enterUpgradeShowsTheDisk() {
        QFETCH(bool, neverShowsVolume);
        SimUpdaterFaults faults;
        faults.neverShowsVolume = neverShowsVolume;
        camera->setUpdaterFaults(faults);
        QCOMPARE(write(4, {{0x00, 1}}), kStatusOk);
        QCOMPARE(camera->stage(), SimStage::Off);
        QVERIFY(bus->candidates().empty());
        advance(camera->updaterAppearDelay - Milliseconds(1));
        QCOMPARE(camera->stage(), SimStage::Off);
        advance(Milliseconds(1));
        QCOMPARE(camera->stage(), neverShowsVolume ? SimStage::Off : SimStage::UBoot);
        QCOMPARE(bus->candidates().size(), neverShowsVolume ? std::size_t(0) : std::size_t(1));
    }

    void faultsOfTheUnit() {
        PlatformFailure failure;
        SimCameraFaults faults;
        faults.noExtensionUnit = true;
        camera->setCameraFaults(faults);
        QCOMPARE(write(1, {{0x01, 1, 1}}, &failure), kStatusFail);
        QCOMPARE(QString::fromStdString(failure.step), QString("FindExtensionNode"));

        faults = SimCameraFaults();
        faults.requestsTimeOut = true;
        camera->setCameraFaults(faults);
        QCOMPARE(write(1, {{0x01, 1, 1}}, &failure), statusFromErrno(ETIMEDOUT));
        QCOMPARE(QString::fromStdString(failure.step), QString("UVCIOC_CTRL_QUERY"));
        QCOMPARE(camera->settings().hdr, std::uint8_t(0));
    }

    void failRequestAfter() {
        SimCameraFaults faults;
        faults.failRequestAfter = 3;
        camera->setCameraFaults(faults);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(write(1, {{0x01, std::uint8_t(i), 1}}), kStatusOk);
        QCOMPARE(write(1, {{0x01, 4, 0}}), statusFromErrno(ETIMEDOUT));
        QCOMPARE(write(1, {{0x01, 5, 0}}), statusFromErrno(ETIMEDOUT));
        QCOMPARE(camera->settings().hdr, std::uint8_t(1));
    }

    void garbageAnswers() {
        QCOMPARE(write(1, {{0x80, 1}}), kStatusOk);
        Packet clean{};
        QCOMPARE(read(2, clean), kStatusOk);
        SimCameraFaults faults;
        faults.garbageAnswers = true;
        camera->setCameraFaults(faults);
        QCOMPARE(write(1, {{0x80, 1}}), kStatusOk);
        Packet first{};
        QCOMPARE(read(2, first), kStatusOk);
        QCOMPARE(write(1, {{0x80, 1}}), kStatusOk);
        Packet second{};
        QCOMPARE(read(2, second), kStatusOk);
        QVERIFY(first != clean);
        QVERIFY(second != first);
    }

    void withoutABusTheStageChangesAtOnce() {
        SimCamera loose{SimCameraConfig()};
        std::lock_guard<std::recursive_mutex> guard(simMutex());
        PlatformFailure failure;
        Packet packet{{0x7F, 1}};
        QCOMPARE(loose.handleUnitRequest(1, UnitDirection::Write, packet.data(), 8, failure),
                 kStatusOk);
        QCOMPARE(loose.stage(), SimStage::Camera);
        packet = {{0x00, 2}};
        QCOMPARE(loose.handleUnitRequest(4, UnitDirection::Write, packet.data(), 8, failure),
                 kStatusOk);
        QCOMPARE(loose.stage(), SimStage::UBoot);
    }

    void positionIsClamped_data() {
        QTest::addColumn<int>("property");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("stored");
        QTest::newRow("pan") << 0 << 25 << 25;
        QTest::newRow("pan too far left") << 0 << -500 << -170;
        QTest::newRow("pan too far right") << 0 << 171 << 170;
        QTest::newRow("tilt") << 1 << -30 << -30;
        QTest::newRow("tilt too low") << 1 << -31 << -30;
        QTest::newRow("tilt too high") << 1 << 91 << 90;
        QTest::newRow("zoom") << 3 << 450 << 450;
        QTest::newRow("zoom too small") << 3 << 0 << 100;
        QTest::newRow("zoom too large") << 3 << 801 << 800;
    }
    void positionIsClamped() {
        QFETCH(int, property);
        QFETCH(int, value);
        QFETCH(int, stored);
        QVERIFY(!bus->list().empty());
        std::unique_ptr<CameraControls> controls = bus->bind(0);
        QVERIFY(controls);
        const auto id = static_cast<CameraControlId>(property);
        QVERIFY(controls->set(id, value));
        std::int32_t read = -9999;
        QVERIFY(controls->get(id, read));
        QCOMPARE(read, stored);
    }

    void positionRefusedAndRoll() {
        QVERIFY(!bus->list().empty());
        std::unique_ptr<CameraControls> controls = bus->bind(0);
        QVERIFY(controls);
        std::int32_t value = 77;
        QVERIFY(!controls->get(CameraControlId::Roll, value));
        QVERIFY(!controls->set(CameraControlId::Roll, 5));
        QCOMPARE(value, 77);
        SimCameraFaults faults;
        faults.positionRefused = true;
        camera->setCameraFaults(faults);
        QVERIFY(!controls->get(CameraControlId::Pan, value));
        QVERIFY(!controls->set(CameraControlId::Zoom, 300));
        QCOMPARE(value, 77);
        QCOMPARE(camera->position().zoom, 100);
    }
};

QTEST_GUILESS_MAIN(TestSimCameraUnit)
#include "tst_simcamera_unit.moc"
