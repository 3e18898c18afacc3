// The upgrade worker end to end: a real package (built with the sample package script and
// unpacked) run through the worker on its own thread, wired as the window wires it,
// against the simulated camera from each starting stage and with each failure switch.
#include "fakescsi.h"
#include "tests/testsupport/testsupport.h"
#include "upgradetestsupport.h"

#include "control/uvcextensionunit.h"
#include "sim/simulatedbus.h"
#include "upgrade/abnormaldetectthread.h"
#include "upgrade/massstorage.h"
#include "upgrade/packagefiles.h"
#include "upgrade/upgradethread.h"

#include <QMutex>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

Q_DECLARE_METATYPE(SimUpdaterFaults)

namespace {
struct Report {
    bool ok = false;
    int progress = -1;
    QString message;
};

// The window's side of the report.
class ReportReceiver : public QObject {
    Q_OBJECT

public:
    QList<Report> reports;
    QThread *deliveredOn = nullptr;

public slots:
    void slotOnUpgradeReport(bool ok, int progress, const QString &message) {
        reports.append({ok, progress, message});
        deliveredOn = QThread::currentThread();
    }
};

struct Run {
    QList<Report> reports; // as the window received them
    QStringList events;    // in the worker's thread, in order
    bool tornDown = false; // worker and thread deleted
    QStringList log;
};

const char kVersion[] = "1.2.30";
} // namespace

class TestUpgradeThread : public QObject {
    Q_OBJECT

private:
    QTemporaryDir packages;
    std::unique_ptr<VirtualClock> clock;
    std::unique_ptr<ScopedClock> scopedClock;
    std::unique_ptr<SimulatedBus> bus;
    std::shared_ptr<SimCamera> camera;
    std::unique_ptr<QTemporaryDir> app;
    std::unique_ptr<UVCExtensionUnit> unit;

    QString package(const QString &name) const { return packages.filePath(name); }

    void unpack(const QString &zip) {
        int model = -1;
        QCOMPARE(preparePackage(zip, model, app->path()), PackageOutcome::Ready);
        QCOMPARE(model, 0);
    }

    void openUnit() {
        unit = std::make_unique<UVCExtensionUnit>();
        QVERIFY(unit->InitVideoDevice(QString::fromStdString(camera->interfaceName()),
                                      QStringLiteral("QX-M30-000")));
    }

    Run runWorker(int selector, bool cameraReady, UVCExtensionUnit *extensionUnit) {
        Run run;
        ReportReceiver receiver;
        QMutex eventsMutex;
        MessageCapture messages;

        auto *thread = new QThread;
        auto *worker = new UpgradeThread(selector, cameraReady, extensionUnit);
        worker->setPackageDirectory(app->path());
        worker->moveToThread(thread);
        connect(thread, &QThread::started, worker, &UpgradeThread::start);
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        connect(worker, &UpgradeThread::workFinished, worker, &QObject::deleteLater);
        connect(worker, &QObject::destroyed, thread, &QThread::quit);
        connect(worker, &UpgradeThread::onUpgradeReport, &receiver,
                &ReportReceiver::slotOnUpgradeReport);
        auto note = [&](const QString &event) {
            QMutexLocker locker(&eventsMutex);
            run.events << event;
        };
        connect(
            worker, &UpgradeThread::workStart, this, [&] { note("start"); }, Qt::DirectConnection);
        connect(
            worker, &UpgradeThread::onUpgradeReport, this, [&] { note("report"); },
            Qt::DirectConnection);
        connect(
            worker, &UpgradeThread::workFinished, this, [&] { note("finished"); },
            Qt::DirectConnection);

        QPointer<QThread> threadGuard(thread);
        QPointer<UpgradeThread> workerGuard(worker);
        thread->start();
        for (int i = 0; i < 3000 && !threadGuard.isNull(); ++i)
            QTest::qWait(20);
        QCoreApplication::processEvents(); // the queued report, if still on its way
        run.tornDown = threadGuard.isNull() && workerGuard.isNull();
        run.reports = receiver.reports;
        if (!receiver.reports.isEmpty() && receiver.deliveredOn != QThread::currentThread())
            run.events << "report delivered off the window's thread";
        run.log = messages.messages();
        return run;
    }

    // Every run: exactly one report, after the start and before workFinished, then teardown.
    static void checkOneReport(const Run &run) {
        QVERIFY(run.tornDown);
        QCOMPARE(run.events, (QStringList{"start", "report", "finished"}));
        QCOMPARE(run.reports.size(), 1);
        const Report &report = run.reports.front();
        QCOMPARE(report.progress, report.ok ? 100 : 0);
    }

    void afterRestart() {
        clock->advance(camera->restartDelay);
        bus->poll();
    }

    std::vector<SimScsiRecord> vendorRecords() const {
        std::vector<SimScsiRecord> result;
        for (const SimScsiRecord &record : camera->scsiLog()) {
            if (!record.cdb.empty() && record.cdb[0] == 0xE8)
                result.push_back(record);
        }
        return result;
    }

    static std::string payloadText(const SimScsiRecord &record) {
        return std::string(record.data.begin(), record.data.end());
    }

    void checkBackAtTheNewVersion() {
        afterRestart();
        QCOMPARE(camera->stage(), SimStage::Camera);
        QCOMPARE(camera->version().major, std::uint16_t(1));
        QCOMPARE(camera->version().minor, std::uint16_t(2));
        QCOMPARE(camera->version().patch, std::uint16_t(30));
    }

    // The boot-loader part every successful run shares.
    void checkScriptRan() {
        const auto records = vendorRecords();
        auto setenv = std::find_if(records.begin(), records.end(),
                                   [](const SimScsiRecord &r) { return r.cdb[1] == 6; });
        QVERIFY(setenv != records.end());
        QCOMPARE(payloadText(*setenv), std::string("setenv ota_upgrade_status 0"));
        QCOMPARE(setenv->cdb, bytes({0xE8, 6, 0, 0, 0, 0, 0, 0, 0, 27}));
        const auto lines = camera->shellLog();
        QVERIFY(std::find(lines.begin(), lines.end(), "nand write.e 0x21000000 IPL 0x2000") !=
                lines.end());
        QCOMPARE(lines.back(), std::string("reset"));
        const auto images = camera->loadedImages();
        QCOMPARE(images.size(), std::size_t(3));
        QCOMPARE(images[0].first, 0x21000000u);
        QCOMPARE(images[2].first, 0x21800000u);
    }

private slots:
    void initTestCase() {
        QVERIFY(packages.isValid());
        QVERIFY(makeSamplePackage(package("full.zip"), "QX-M30-000", kVersion));
        QVERIFY(makeSamplePackage(package("no-boot-loader.zip"), "QX-M30-000", kVersion,
                                  {"--no-boot-loader"}));
    }

    void init() {
        clock = std::make_unique<VirtualClock>();
        scopedClock = std::make_unique<ScopedClock>(*clock);
        bus = std::make_unique<SimulatedBus>();
        bus->install();
        camera = bus->addCamera(SimCameraConfig());
        camera->setVersion({1, 0, 0});
        app = std::make_unique<QTemporaryDir>();
        unpack(package("full.zip"));
    }

    void cleanup() {
        unit.reset();
        releaseUpdaterDevice();
        camera.reset();
        bus.reset();
        scopedClock.reset();
        clock.reset();
        app.reset();
    }

    // --- from each starting stage -------------------------------------------------------------

    void fromNormalOperation() {
        openUnit();
        const Run run = runWorker(kProductLineQx, true, unit.get());
        checkOneReport(run);
        QCOMPARE(run.reports.front().message, QString("Upgrade done."));
        QVERIFY(run.reports.front().ok);
        QVERIFY(run.log.contains("Enter the normal state of the camera upgrade process."));
        QVERIFY(run.log.contains("Upgrade seccess."));
        QVERIFY(run.log.contains("device state: u-Boot"));
        // The switch into the updater: 00 n 00 00 00 00 00 00 on selector 4.
        const auto xu = camera->xuLog();
        QCOMPARE(xu.size(), std::size_t(1));
        QCOMPARE(xu[0].selector, 4u);
        QCOMPARE(xu[0].bytes[0], std::uint8_t(0x00));
        QCOMPARE(xu[0].bytes[2], std::uint8_t(0x00));
        // The boot loader gets no image before the script.
        QCOMPARE(vendorRecords().front().cdb[1], std::uint8_t(6));
        checkScriptRan();
        checkBackAtTheNewVersion();
    }

    void fromBootRom() {
        camera->setStage(SimStage::Rom);
        const Run run = runWorker(kProductLineQx, false, nullptr);
        checkOneReport(run);
        QCOMPARE(run.reports.front().message, QString("Upgrade done."));
        QVERIFY(run.log.contains("Enter the upgrade process of the camera in an abnormal state."));
        QVERIFY(run.log.contains("device state: ROM"));
        const auto records = vendorRecords();
        // The updater program as raw 1,024-byte chunks, the last with subcommand 4...
        QFile updater(app->filePath("usb_updater.bin"));
        QVERIFY(updater.open(QIODevice::ReadOnly));
        const int chunks = static_cast<int>((updater.size() + 1023) / 1024);
        for (int i = 0; i < chunks; ++i) {
            QCOMPARE(records[i].cdb[1], std::uint8_t(i + 1 < chunks ? 1 : 4));
            QVERIFY(records[i].data.size() <= 1024);
        }
        // ... then the boot-loader image with its header and no load address.
        QCOMPARE(records[chunks].cdb[1], std::uint8_t(5));
        QCOMPARE(bytes({0xFF, 0xFF, 0xFF, 0xFF}),
                 std::vector<std::uint8_t>(records[chunks].data.begin(),
                                           records[chunks].data.begin() + 4));
        checkScriptRan();
        checkBackAtTheNewVersion();
    }

    void fromUpdater() {
        camera->setStage(SimStage::Updater);
        const Run run = runWorker(kProductLineQx, false, nullptr);
        checkOneReport(run);
        QCOMPARE(run.reports.front().message, QString("Upgrade done."));
        QCOMPARE(vendorRecords().front().cdb[1], std::uint8_t(5));
        QVERIFY(!run.log.contains("Invalid device state 2."));
        checkScriptRan();
        checkBackAtTheNewVersion();
    }

    void fromBootLoader() {
        camera->setStage(SimStage::UBoot);
        const Run run = runWorker(kProductLineQx, true, nullptr);
        checkOneReport(run);
        QCOMPARE(run.reports.front().message, QString("Upgrade done."));
        QCOMPARE(payloadText(vendorRecords().front()), std::string("setenv ota_upgrade_status 0"));
        checkScriptRan();
        checkBackAtTheNewVersion();
    }

    void updaterWithoutBootLoaderImageGoesStraightToTheScript() {
        app = std::make_unique<QTemporaryDir>();
        unpack(package("no-boot-loader.zip"));
        camera->setStage(SimStage::Updater);
        const Run run = runWorker(kProductLineQx, false, nullptr);
        checkOneReport(run);
        const auto records = vendorRecords();
        QCOMPARE(payloadText(records.front()), std::string("setenv ota_upgrade_status 0"));
        for (const SimScsiRecord &record : records) {
            if (record.cdb[1] == 5) // no image without a load address ever goes out
                QVERIFY(std::vector<std::uint8_t>(record.data.begin(), record.data.begin() + 4) !=
                        bytes({0xFF, 0xFF, 0xFF, 0xFF}));
        }
        // This camera's updater runs no boot-loader commands, so the script cannot succeed.
        QCOMPARE(run.reports.front().message, QString("Upgrade failed."));
        QCOMPARE(camera->stage(), SimStage::Updater);
    }

    // --- failures -----------------------------------------------------------------------------

    void noCamera() {
        bus->unplug(camera);
        const Run run = runWorker(kProductLineQx, false, nullptr);
        checkOneReport(run);
        QCOMPARE(run.reports.front().message, QString("No camera device detected."));
        QVERIFY(!run.reports.front().ok);
        QVERIFY(run.log.contains("Upgrade failed."));
        QVERIFY(camera->xuLog().empty());
        QVERIFY(camera->scsiLog().empty());
    }

    void cameraNotOpen() {
        const Run run = runWorker(kProductLineQx, true, nullptr);
        checkOneReport(run);
        QCOMPARE(run.reports.front().message, QString("Upgrade failed."));
        QCOMPARE(camera->stage(), SimStage::Camera);
    }

    void switchIntoTheUpdaterRefused() {
        openUnit();
        SimCameraFaults faults;
        faults.requestsTimeOut = true;
        camera->setCameraFaults(faults);
        const Run run = runWorker(kProductLineQx, true, unit.get());
        checkOneReport(run);
        QCOMPARE(run.reports.front().message, QString("Upgrade failed."));
        QVERIFY(!run.log.contains("Enter the normal state of the camera upgrade process."));
        QCOMPARE(clock->slept().count(), 0LL);
    }

    void volumeNeverShows() {
        openUnit();
        SimUpdaterFaults faults;
        faults.neverShowsVolume = true;
        camera->setUpdaterFaults(faults);
        const Run run = runWorker(kProductLineQx, true, unit.get());
        checkOneReport(run);
        QCOMPARE(run.reports.front().message, QString("Failed to find camera device."));
        QCOMPARE(clock->slept().count(), 41 * 500LL); // 41 searches, 500 ms apart
        QCOMPARE(camera->stage(), SimStage::Off);
    }

    void otherProductLineIsNotUpgraded() {
        camera->setStage(SimStage::UBoot);
        const Run run = runWorker(kProductLineZenta, false, nullptr);
        checkOneReport(run);
        QCOMPARE(run.reports.front().message, QString("No camera device detected."));
        QVERIFY(vendorRecords().empty());
    }

    void failureSwitches_data() {
        QTest::addColumn<SimStage>("start");
        QTest::addColumn<SimUpdaterFaults>("faults");
        QTest::addColumn<int>("restartDelay_ms");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");
        QTest::addColumn<SimStage>("leftIn");
        QTest::addColumn<bool>("onTheBus");
        QTest::addColumn<QString>("logLine");

        SimUpdaterFaults noAck;
        noAck.neverAcknowledge = true;
        QTest::newRow("no acknowledgement in u-Boot")
            << SimStage::UBoot << noAck << 3000 << false << "Upgrade failed." << SimStage::UBoot
            << true << "image not acknowledged:";
        QTest::newRow("no acknowledgement in the updater")
            << SimStage::Updater << noAck << 3000 << false << "Upgrade failed." << SimStage::Updater
            << true << "Invalid device state 1.";

        SimUpdaterFaults wrongStage;
        wrongStage.wrongStageAfterBootLoader = true;
        QTest::newRow("updater again after the boot-loader image")
            << SimStage::Updater << wrongStage << 3000 << false << "Upgrade failed."
            << SimStage::Updater << true << "Invalid device state 1.";
        QTest::newRow("updater again, from ROM")
            << SimStage::Rom << wrongStage << 3000 << false << "Upgrade failed."
            << SimStage::Updater << true << "Invalid device state 1.";

        QTest::newRow("boot loader never comes back")
            << SimStage::Updater << SimUpdaterFaults() << 600000 << false << "Upgrade failed."
            << SimStage::Off << true << "camera did not come back after the boot-loader image";

        SimUpdaterFaults neverCamera;
        neverCamera.neverReturnsAsCamera = true;
        QTest::newRow("never returns as a camera")
            << SimStage::UBoot << neverCamera << 3000 << true << "Upgrade done." << SimStage::UBoot
            << true << "Upgrade seccess.";

        SimUpdaterFaults flaky;
        flaky.failEveryNthRequest = 7;
        QTest::newRow("every 7th request fails, from u-Boot")
            << SimStage::UBoot << flaky << 3000 << true << "Upgrade done." << SimStage::Camera
            << true << "Upgrade seccess.";
        QTest::newRow("every 7th request fails, from ROM")
            << SimStage::Rom << flaky << 3000 << true << "Upgrade done." << SimStage::Camera << true
            << "Upgrade seccess.";

        SimUpdaterFaults vanishInKernel;
        vanishInKernel.vanishAfterBytes = 100000;
        QTest::newRow("disk vanishes in the kernel image")
            << SimStage::UBoot << vanishInKernel << 3000 << false << "Upgrade failed."
            << SimStage::UBoot << false << "image not acknowledged:";
        SimUpdaterFaults vanishInUpdater;
        vanishInUpdater.vanishAfterBytes = 10000;
        QTest::newRow("disk vanishes in the updater program")
            << SimStage::Rom << vanishInUpdater << 3000 << false << "Upgrade failed."
            << SimStage::Rom << false << "camera did not come back after the boot-loader image";
    }

    void failureSwitches() {
        QFETCH(SimStage, start);
        QFETCH(SimUpdaterFaults, faults);
        QFETCH(int, restartDelay_ms);
        QFETCH(bool, ok);
        QFETCH(QString, message);
        QFETCH(SimStage, leftIn);
        QFETCH(bool, onTheBus);
        QFETCH(QString, logLine);
        camera->restartDelay = Milliseconds(restartDelay_ms);
        camera->setStage(start);
        camera->setUpdaterFaults(faults);
        const Run run = runWorker(kProductLineQx, false, nullptr);
        checkOneReport(run);
        QCOMPARE(run.reports.front().ok, ok);
        QCOMPARE(run.reports.front().message, message);
        bool logged = false;
        for (const QString &line : run.log)
            logged = logged || line.startsWith(logLine);
        QVERIFY2(logged, qPrintable(logLine));
        if (restartDelay_ms < 60000)
            afterRestart();
        QCOMPARE(camera->stage(), leftIn);
        QCOMPARE(bus->isPlugged(camera), onTheBus);
        if (leftIn == SimStage::Camera)
            QCOMPARE(camera->version().patch, std::uint16_t(30));
        else
            QCOMPARE(camera->version().patch, std::uint16_t(0));
    }

    void bootLoaderWaitIsBounded() {
        camera->restartDelay = Milliseconds(600000);
        camera->setStage(SimStage::Updater);
        const Run run = runWorker(kProductLineQx, false, nullptr);
        checkOneReport(run);
        // The image's own pause, then 1,000 ms and 41 searches 500 ms apart.
        QFile image(app->filePath("u-boot.bin"));
        const long long imagePause = image.size() / 20480;
        QCOMPARE(clock->slept().count(), imagePause + 1000 + 41 * 500LL);
    }

    // --- the watcher and the worker at the same time --------------------------------------------

    void watcherAndWorkerShareTheDevice() {
        scopedClock.reset();
        ScaledClock scaled;
        ScopedClock useScaled(scaled);
        CheckingScsiBackend checking(*bus);
        installScsiBackend(&checking);
        openUnit();

        auto *watchThread = new QThread;
        auto *watcher = new AbnormalDetectThread(kProductLineQx);
        watcher->moveToThread(watchThread);
        connect(watchThread, &QThread::started, watcher, &AbnormalDetectThread::start);
        connect(watchThread, &QThread::finished, watchThread, &QObject::deleteLater);
        connect(watcher, &AbnormalDetectThread::workFinished, watcher, &QObject::deleteLater);
        connect(watcher, &QObject::destroyed, watchThread, &QThread::quit);
        QSignalSpy abnormal(watcher, &AbnormalDetectThread::onDeviceAbnormal);
        QPointer<QThread> watchGuard(watchThread);
        watchThread->start();

        const Run run = runWorker(kProductLineQx, true, unit.get());
        QPointer<AbnormalDetectThread> watcherGuard(watcher);
        if (watcherGuard)
            watcher->stop();
        QTRY_VERIFY_WITH_TIMEOUT(watchGuard.isNull(), 10000);

        checkOneReport(run);
        QCOMPARE(run.reports.front().message, QString("Upgrade done."));
        QCOMPARE(checking.violations.load(), 0);
        QCOMPARE(checking.vendorDuringSearchStep.load(), 0);
        QVERIFY(checking.opened.load() - checking.closed.load() <= 1);
        QVERIFY2(abnormal.count() >= 1, "the watcher never saw the camera in its boot loader");
        installScsiBackend(bus.get());
        releaseUpdaterDevice();
    }
};

QTEST_GUILESS_MAIN(TestUpgradeThread)
#include "tst_upgradethread.moc"
