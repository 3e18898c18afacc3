// The simulated camera's updater stages: what a host sees on the wire, stage by stage, and every
// failure switch.
#include "common/clock.h"
#include "sim/simulatedbus.h"
#include "upgradetestsupport.h"

#include <QCryptographicHash>
#include <QtTest>

#include <cstring>

namespace {
struct Answer {
    bool ok = false;
    std::vector<std::uint8_t> data;
};

std::vector<std::uint8_t> vendorCdb(std::uint8_t subcommand, std::uint32_t length) {
    return {0xE8,
            subcommand,
            0,
            0,
            0,
            0,
            static_cast<std::uint8_t>(length >> 24),
            static_cast<std::uint8_t>(length >> 16),
            static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length)};
}

std::vector<std::uint8_t> header(std::uint32_t address, const QByteArray &image,
                                 int sizeAdjust = 0) {
    std::vector<std::uint8_t> bytes(24, 0);
    const auto size = static_cast<std::uint32_t>(image.size() + sizeAdjust);
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(address >> (8 * i));
        bytes[4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    const QByteArray digest = QCryptographicHash::hash(image, QCryptographicHash::Md5);
    std::memcpy(bytes.data() + 8, digest.constData(), 16);
    return bytes;
}

QByteArray image(int size, const QByteArray &marker = QByteArray()) {
    QByteArray data(size, 'i');
    data.replace(100, marker.size(), marker);
    return data;
}
} // namespace

class TestSimUpdater : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<VirtualClock> clock;
    std::unique_ptr<ScopedClock> scopedClock;
    std::unique_ptr<SimulatedBus> bus;
    std::shared_ptr<SimCamera> camera;
    std::unique_ptr<ScsiDevice> disk;

    void openDisk() {
        const auto candidates = bus->candidates();
        QCOMPARE(candidates.size(), std::size_t(1));
        disk = bus->open(candidates.front());
        QVERIFY(disk);
    }

    Answer exec(const std::vector<std::uint8_t> &cdb, ScsiDirection direction,
                std::vector<std::uint8_t> data, std::uint32_t timeout = 120) {
        Answer answer;
        answer.ok = disk->execute(cdb.data(), cdb.size(), direction, data.data(),
                                  static_cast<std::uint32_t>(data.size()), timeout);
        answer.data = data;
        return answer;
    }

    Answer inquiry() {
        return exec({0x12, 0, 0, 0, 0x24, 0}, ScsiDirection::FromDevice,
                    std::vector<std::uint8_t>(36, 0xEE), 2);
    }

    Answer send(std::uint8_t subcommand, const std::vector<std::uint8_t> &payload) {
        return exec(vendorCdb(subcommand, static_cast<std::uint32_t>(payload.size())),
                    ScsiDirection::ToDevice, payload);
    }

    Answer send(std::uint8_t subcommand, const QByteArray &payload) {
        return send(subcommand, std::vector<std::uint8_t>(payload.begin(), payload.end()));
    }

    Answer status() {
        return exec(vendorCdb(2, 4), ScsiDirection::FromDevice, {0xFF, 0xFF, 0xFF, 0xFF});
    }

    // Header and chunks of `chunk` bytes, the last one with subcommand 4.
    void sendImage(std::uint32_t address, const QByteArray &data, int chunk = 32768,
                   int sizeAdjust = 0) {
        QVERIFY(send(5, header(address, data, sizeAdjust)).ok);
        for (int offset = 0; offset < data.size(); offset += chunk) {
            const bool last = offset + chunk >= data.size();
            QVERIFY(send(last ? 4 : 1, data.mid(offset, chunk)).ok);
        }
    }

    void restartElapses() {
        clock->advance(camera->restartDelay);
        bus->poll();
    }

    static std::vector<std::uint8_t> word(int b0, int b1) {
        return {static_cast<std::uint8_t>(b0), static_cast<std::uint8_t>(b1), 0, 0};
    }

private slots:
    void init() {
        clock = std::make_unique<VirtualClock>();
        scopedClock = std::make_unique<ScopedClock>(*clock);
        bus = std::make_unique<SimulatedBus>();
        camera = bus->addCamera(SimCameraConfig());
    }

    void cleanup() {
        disk.reset();
        camera.reset();
        bus.reset();
        scopedClock.reset();
        clock.reset();
    }

    void inquiryByStage_data() {
        QTest::addColumn<int>("stage");
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QByteArray>("product");
        QTest::newRow("ROM") << int(SimStage::Rom) << "QXM30" << QByteArray(16, '\0');
        QTest::newRow("Updater") << int(SimStage::Updater) << "QXM30"
                                 << QByteArray("UPD             ");
        QTest::newRow("u-Boot") << int(SimStage::UBoot) << "ZENTA"
                                << QByteArray("UBO             ");
    }

    void inquiryByStage() {
        QFETCH(int, stage);
        QFETCH(QString, vendor);
        QFETCH(QByteArray, product);
        SimCameraConfig config;
        config.inquiryVendor = vendor.toStdString();
        bus->unplug(camera);
        camera = bus->addCamera(config);
        camera->setStage(static_cast<SimStage>(stage));
        openDisk();
        const Answer answer = inquiry();
        QVERIFY(answer.ok);
        const QByteArray bytes(reinterpret_cast<const char *>(answer.data.data()), 36);
        QCOMPARE(bytes.mid(8, 8), (vendor + "   ").toLatin1());
        QCOMPARE(bytes.mid(16, 16), product);
        const auto records = camera->scsiLog();
        QCOMPARE(records.size(), std::size_t(1));
        QCOMPARE(records[0].timeout_s, 2u);
        QVERIFY(records[0].succeeded);
    }

    void noDiskAsACamera() { QVERIFY(bus->candidates().empty()); }

    void malformedRequestsRefused_data() {
        QTest::addColumn<std::vector<std::uint8_t>>("cdb");
        QTest::addColumn<bool>("fromDevice");
        QTest::addColumn<int>("length");
        QTest::newRow("INQUIRY length byte")
            << std::vector<std::uint8_t>{0x12, 0, 0, 0, 0x20, 0} << true << 36;
        QTest::newRow("INQUIRY byte 1")
            << std::vector<std::uint8_t>{0x12, 1, 0, 0, 0x24, 0} << true << 36;
        QTest::newRow("INQUIRY to the device")
            << std::vector<std::uint8_t>{0x12, 0, 0, 0, 0x24, 0} << false << 36;
        QTest::newRow("length bytes disagree") << vendorCdb(6, 5) << false << 4;
        QTest::newRow("little-endian length")
            << std::vector<std::uint8_t>{0xE8, 6, 0, 0, 0, 0, 4, 0, 0, 0} << false << 4;
        QTest::newRow("byte 2 set")
            << std::vector<std::uint8_t>{0xE8, 6, 1, 0, 0, 0, 0, 0, 0, 4} << false << 4;
        QTest::newRow("status to the device") << vendorCdb(2, 4) << false << 4;
        QTest::newRow("data from the device") << vendorCdb(6, 4) << true << 4;
        QTest::newRow("subcommand 3") << vendorCdb(3, 4) << false << 4;
        QTest::newRow("six-byte vendor command")
            << std::vector<std::uint8_t>{0xE8, 6, 0, 0, 0, 4} << false << 4;
    }

    void malformedRequestsRefused() {
        QFETCH(std::vector<std::uint8_t>, cdb);
        QFETCH(bool, fromDevice);
        QFETCH(int, length);
        camera->setStage(SimStage::UBoot);
        openDisk();
        const Answer answer =
            exec(cdb, fromDevice ? ScsiDirection::FromDevice : ScsiDirection::ToDevice,
                 std::vector<std::uint8_t>(static_cast<std::size_t>(length), 'a'));
        QVERIFY(!answer.ok);
        const auto records = camera->scsiLog();
        QCOMPARE(records.size(), std::size_t(1));
        QVERIFY(!records[0].succeeded);
        QCOMPARE(records[0].cdb, cdb);
        QVERIFY(camera->shellLog().empty());
    }

    void romTakesTheUpdaterAsRawChunks() {
        camera->setStage(SimStage::Rom);
        openDisk();
        const QByteArray updater = image(2500);
        QVERIFY(send(1, updater.mid(0, 1024)).ok);
        QVERIFY(send(1, updater.mid(1024, 1024)).ok);
        QCOMPARE(camera->stage(), SimStage::Rom);
        QVERIFY(send(4, updater.mid(2048)).ok);
        QCOMPARE(camera->stage(), SimStage::Updater);
        // The same handle now reaches the updater.
        const Answer answer = inquiry();
        QVERIFY(answer.ok);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(answer.data.data()) + 16, 3),
                 QByteArray("UPD"));
        QVERIFY(!send(6, QByteArray("reset")).ok); // the ROM and updater run no commands
    }

    void updaterAcknowledgesOnlyAGoodImage_data() {
        QTest::addColumn<int>("sizeAdjust");
        QTest::addColumn<bool>("corrupt");
        QTest::addColumn<bool>("good");
        QTest::newRow("good") << 0 << false << true;
        QTest::newRow("header says more") << 1 << false << false;
        QTest::newRow("header says less") << -1 << false << false;
        QTest::newRow("digest differs") << 0 << true << false;
    }

    void updaterAcknowledgesOnlyAGoodImage() {
        QFETCH(int, sizeAdjust);
        QFETCH(bool, corrupt);
        QFETCH(bool, good);
        camera->setStage(SimStage::Updater);
        openDisk();
        QByteArray data = image(70000);
        QVERIFY(send(5, header(0xFFFFFFFF, data, sizeAdjust)).ok);
        if (corrupt)
            data[5] = 'X';
        for (int offset = 0; offset < data.size(); offset += 32768)
            QVERIFY(send(offset + 32768 >= data.size() ? 4 : 1, data.mid(offset, 32768)).ok);
        QCOMPARE(camera->stage(), SimStage::Updater); // nothing happens before the status read
        const Answer answer = status();
        QVERIFY(answer.ok);
        QCOMPARE(answer.data, good ? word(0x0D, 0x00) : word(0x0D, 0x02));
        if (!good) {
            QCOMPARE(camera->stage(), SimStage::Updater);
            return;
        }
        QCOMPARE(camera->stage(), SimStage::Off);
        QVERIFY(!inquiry().ok);
        restartElapses();
        QCOMPARE(camera->stage(), SimStage::UBoot);
        QVERIFY(camera->loadedImages().empty()); // the boot-loader image is not a memory load
    }

    void updaterRefusesMemoryLoads() {
        camera->setStage(SimStage::Updater);
        openDisk();
        QVERIFY(!send(5, header(0x21000000, image(100))).ok);
        QVERIFY(!send(4, image(100)).ok);
        QCOMPARE(status().data, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
        QCOMPARE(camera->stage(), SimStage::Updater);
    }

    void wrongStageAfterBootLoader() {
        SimUpdaterFaults faults;
        faults.wrongStageAfterBootLoader = true;
        camera->setUpdaterFaults(faults);
        camera->setStage(SimStage::Updater);
        openDisk();
        sendImage(0xFFFFFFFF, image(5000));
        QCOMPARE(status().data, word(0x0D, 0x00));
        restartElapses();
        QCOMPARE(camera->stage(), SimStage::Updater);
    }

    void statusAnswersOnce() {
        camera->setStage(SimStage::UBoot);
        openDisk();
        QVERIFY(send(6, QByteArray("saveenv")).ok);
        QCOMPARE(status().data, word(0x0D, 0x00));
        QCOMPARE(status().data, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    }

    void bootLoaderLoadsImagesAndRunsCommands() {
        camera->setStage(SimStage::UBoot);
        openDisk();
        const QByteArray kernel = image(100000, "FWVER=1.2.30");
        sendImage(0x21000000, kernel);
        QCOMPARE(status().data, word(0x0D, 0x00));
        QVERIFY(send(6, QByteArray("nand write.e 0x21000000 KERNEL 0x186a0")).ok);
        QCOMPARE(status().data, word(0x0D, 0x00));
        const auto images = camera->loadedImages();
        QCOMPARE(images.size(), std::size_t(1));
        QCOMPARE(images[0].first, 0x21000000u);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(images[0].second.data()),
                            static_cast<int>(images[0].second.size())),
                 kernel);
        QCOMPARE(camera->shellLog(),
                 (std::vector<std::string>{"nand write.e 0x21000000 KERNEL 0x186a0"}));

        // A bad image is not taken.
        sendImage(0x22000000, image(100), 32768, 3);
        QCOMPARE(status().data, word(0x0D, 0x02));
        QCOMPARE(camera->loadedImages().size(), std::size_t(1));

        // "reset" restarts at once, unanswered, and the camera comes back with the new version.
        QVERIFY(send(6, QByteArray("reset")).ok);
        QCOMPARE(camera->stage(), SimStage::Off);
        QVERIFY(!status().ok);
        restartElapses();
        QCOMPARE(camera->stage(), SimStage::Camera);
        QCOMPARE(camera->version().major, std::uint16_t(1));
        QCOMPARE(camera->version().minor, std::uint16_t(2));
        QCOMPARE(camera->version().patch, std::uint16_t(30));
    }

    void resetWithoutVersionKeepsTheVersion() {
        camera->setVersion({3, 4, 5});
        camera->setStage(SimStage::UBoot);
        openDisk();
        QVERIFY(send(6, QByteArray("reset")).ok);
        restartElapses();
        QCOMPARE(camera->stage(), SimStage::Camera);
        QCOMPARE(camera->version().minor, std::uint16_t(4));
    }

    void emptyImageIsCompleteAtItsHeader() {
        camera->setStage(SimStage::UBoot);
        openDisk();
        QVERIFY(send(5, header(0x1000, QByteArray())).ok);
        QCOMPARE(status().data, word(0x0D, 0x00));
        QCOMPARE(camera->loadedImages().size(), std::size_t(1));
    }

    void neverAcknowledge() {
        SimUpdaterFaults faults;
        faults.neverAcknowledge = true;
        camera->setUpdaterFaults(faults);
        camera->setStage(SimStage::UBoot);
        openDisk();
        QVERIFY(send(6, QByteArray("saveenv")).ok);
        QCOMPARE(status().data, word(0x0D, 0x01));
    }

    void neverReturnsAsCamera() {
        SimUpdaterFaults faults;
        faults.neverReturnsAsCamera = true;
        camera->setUpdaterFaults(faults);
        camera->setStage(SimStage::UBoot);
        openDisk();
        QVERIFY(send(6, QByteArray("reset")).ok);
        QCOMPARE(camera->stage(), SimStage::Off);
        restartElapses();
        QCOMPARE(camera->stage(), SimStage::UBoot);
    }

    void everyNthRequestFails() {
        SimUpdaterFaults faults;
        faults.failEveryNthRequest = 3;
        camera->setUpdaterFaults(faults);
        camera->setStage(SimStage::UBoot);
        openDisk();
        QList<bool> outcomes;
        for (int i = 0; i < 7; ++i)
            outcomes << inquiry().ok;
        QCOMPARE(outcomes, (QList<bool>{true, true, false, true, true, false, true}));
        QCOMPARE(camera->scsiLog().size(), std::size_t(7));
    }

    void diskVanishesAfterPayload() {
        SimUpdaterFaults faults;
        faults.vanishAfterBytes = 3000;
        camera->setUpdaterFaults(faults);
        camera->setStage(SimStage::Rom);
        openDisk();
        QVERIFY(send(1, image(1024)).ok);
        QVERIFY(send(1, image(1024)).ok);
        QVERIFY(!send(1, image(1024)).ok); // would make 3,072 bytes
        QVERIFY(!bus->isPlugged(camera));
        QVERIFY(!inquiry().ok);
        QVERIFY(bus->candidates().empty());
        QCOMPARE(camera->stage(), SimStage::Rom);
    }

    void unplugDuringRestartKeepsItOff() {
        camera->setStage(SimStage::UBoot);
        openDisk();
        QVERIFY(send(6, QByteArray("reset")).ok);
        bus->unplug(camera);
        restartElapses();
        QCOMPARE(camera->stage(), SimStage::Off);
    }

    void everyRequestRecorded() {
        camera->setStage(SimStage::UBoot);
        openDisk();
        inquiry();
        send(6, QByteArray("bootm"));
        status();
        const auto records = camera->scsiLog();
        QCOMPARE(records.size(), std::size_t(3));
        QCOMPARE(records[1].cdb, vendorCdb(6, 5));
        QCOMPARE(std::string(records[1].data.begin(), records[1].data.end()), std::string("bootm"));
        QVERIFY(records[1].direction == ScsiDirection::ToDevice);
        QCOMPARE(records[2].data, word(0x0D, 0x00)); // the answer given
        QVERIFY(records[2].direction == ScsiDirection::FromDevice);
        QCOMPARE(records[2].timeout_s, 120u);
    }
};

QTEST_GUILESS_MAIN(TestSimUpdater)
#include "tst_simupdater.moc"
