// The two upgrade workers on their own threads, wired as the window wires them, against the
// simulated camera in virtual time: a whole upgrade from each stage and with each failure of the
// camera, always ending in exactly one report; and the watcher that finds a camera left in an
// updater stage.
#include "common/workerthread.h"
#include "control/uvcextensionunit.h"
#include "fakescsi.h"
#include "testsupport/simfixture.h"
#include "upgrade/abnormaldetectthread.h"
#include "upgrade/packagefiles.h"
#include "upgrade/upgradethread.h"

#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// A worker on its thread, started by the one helper; what it signals, in order, as seen on its
// own thread.
template <typename Worker>
struct WorkerRun {
    explicit WorkerRun(Worker *created)
        : worker(created) {
        QObject::connect(created, &Worker::workStart, [this] { note("start"); });
        QObject::connect(created, &Worker::workFinished, [this] { note("finished"); });
    }
    void start() {
        threads.start(worker.data());
        thread = threads.thread();
    }
    void note(const QString &event) {
        QMutexLocker locker(&mutex);
        events << event;
    }
    QStringList seen() {
        QMutexLocker locker(&mutex);
        return events;
    }
    QPointer<Worker> worker;
    WorkerThread threads;
    QPointer<QThread> thread;
    QMutex mutex;
    QStringList events;
};

const SimStage kStages[] = {SimStage::Camera, SimStage::Rom, SimStage::Updater, SimStage::UBoot,
                            SimStage::Off};
} // namespace

class TestWorkers : public QObject {
    Q_OBJECT

    QTemporaryDir packages;
    std::unique_ptr<SimFixture> sim;
    std::unique_ptr<QTemporaryDir> unpacked;

    // Runs one upgrade to its end; `reports` gets "ok|progress|message" of each report, in order.
    void upgrade(int selector, bool cameraReady, UVCExtensionUnit *unit, QStringList &reports) {
        WorkerRun<UpgradeThread> run(new UpgradeThread(selector, cameraReady, unit));
        run.worker->setPackageDirectory(unpacked->path());
        if (unit)
            run.worker->setCameraDeviceId(idOf(*sim->camera));
        connect(run.worker, &UpgradeThread::onUpgradeReport, this,
                [&](bool ok, int progress, const QString &message) {
                    reports << QString("%1|%2|%3").arg(ok).arg(progress).arg(message);
                });
        QObject::connect(run.worker, &UpgradeThread::onUpgradeReport, [&] { run.note("report"); });
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(!run.thread, 60000);
        QVERIFY(!run.worker);
        QCOMPARE(run.seen(), (QStringList{"start", "report", "finished"}));
    }

    // On first use, so that the watcher's cases run where the shell script cannot (Windows).
    void makePackages() {
        for (const QString &options : {QString(), QString("--no-boot-loader")})
            QCOMPARE(QProcess::execute(
                         "bash", QStringList{CC_SOURCE_DIR "/scripts/make-sample-package.sh"} +
                                     options.split(' ', Qt::SkipEmptyParts) +
                                     QStringList{"QX-M30-000", "1.2.30",
                                                 packages.filePath(options + ".zip")}),
                     0);
    }

private slots:
    void init() {
        sim = std::make_unique<SimFixture>();
        sim->camera->setVersion({1, 0, 0});
    }
    void cleanup() {
        releaseUpdaterDevice();
        sim.reset();
    }

    void upgrades_data() {
        // start: index into kStages; leftIn: the stage once restarted, -1 off the bus; slept: the
        // time the worker paused, -1 not looked at
        addColumns<int, QString, QString, QString, int, int>(
            {"start", "faults", "report", "logLine", "leftIn", "slept_ms"});
        const QString done = "1|100|Upgrade done.", failed = "0|0|Upgrade failed.", any;
        QTest::newRow("normal operation")
            << 0 << any << done << "Enter the normal state of the camera upgrade process." << 0
            << -1;
        QTest::newRow("boot ROM") << 1 << any << done << "device state: ROM" << 0 << -1;
        QTest::newRow("updater") << 2 << any << done << "device state: Updater" << 0 << -1;
        QTest::newRow("boot loader")
            << 3 << any << done << "Enter the upgrade process of the camera in an abnormal state."
            << 0 << -1;
        QTest::newRow("updater, no boot-loader image: the script fails")
            << 2 << "no loader" << failed << "image not acknowledged:" << 2 << -1;
        QTest::newRow("no camera")
            << 0 << QString("unplugged") << QString("0|0|No camera device detected.")
            << "Upgrade failed." << -1 << 0;
        QTest::newRow("switch into the updater refused")
            << 0 << "timeout" << failed << any << 0 << 0;
        QTest::newRow("disk never shows")
            << 0 << QString("no volume") << "0|0|Failed to find camera device." << any << 4
            << 41 * 500;
        QTest::newRow("other product line")
            << 3 << QString("zenta") << "0|0|No camera device detected." << any << 3 << 0;
        QTest::newRow("no acknowledgement in u-Boot")
            << 3 << "no ack" << failed << "image not acknowledged:" << 3 << -1;
        QTest::newRow("no acknowledgement in the updater")
            << 2 << "no ack" << failed << "Invalid device state 1." << 2 << -1;
        QTest::newRow("updater again after the boot-loader image")
            << 2 << "wrong stage" << failed << "Invalid device state 1." << 2 << -1;
        // The image's own pause (65,536 / 20,480 ms), 1,000 ms, then 41 searches 500 ms apart.
        QTest::newRow("boot loader never comes back")
            << 2 << "no return" << failed << "camera did not come back after the boot-loader image"
            << 4 << 3 + 1000 + 41 * 500;
        // Back in its boot loader after the script, or not back at all: not a success, also with
        // another camera of the line plugged in meanwhile.
        const QString stuck = "camera still in updater stage 2 after the upgrade";
        for (int start : {0, 3})
            QTest::addRow("never returns, another camera beside, from %d", start)
                << start << "never camera, other" << failed << stuck << 3 << -1;
        QTest::newRow("gone after the script")
            << 3 << "no return" << failed << "camera did not come back after the upgrade" << 4
            << -1;
        QTest::newRow("every 7th request fails") << 3 << "every 7" << done << any << 0 << -1;
        QTest::newRow("disk vanishes in the kernel image")
            << 3 << "vanish 100000" << failed << "image not acknowledged:" << -1 << -1;
        QTest::newRow("disk vanishes in the updater program")
            << 1 << "vanish 10000" << failed << "camera did not come back" << -1 << -1;
    }
    void upgrades() {
        QFETCH(int, start);
        QFETCH(QString, faults);
        QFETCH(QString, report);
        QFETCH(QString, logLine);
        QFETCH(int, leftIn);
        QFETCH(int, slept_ms);
        if (!QFile::exists(packages.filePath(".zip")))
            makePackages();
        unpacked = std::make_unique<QTemporaryDir>();
        int model = -1;
        const QString zip = faults == "no loader" ? "--no-boot-loader.zip" : ".zip";
        QCOMPARE(preparePackage(packages.filePath(zip), model, unpacked->path()),
                 PackageOutcome::Ready);
        SimCamera &camera = *sim->camera;
        camera.setStage(kStages[start]);
        SimUpdaterFaults updater;
        updater.neverAcknowledge = faults == "no ack";
        updater.wrongStageAfterBootLoader = faults == "wrong stage";
        updater.neverReturnsAsCamera = faults.startsWith("never camera");
        updater.neverShowsVolume = faults == "no volume";
        updater.failEveryNthRequest = faults == "every 7" ? 7 : 0;
        updater.vanishAfterBytes = faults.startsWith("vanish") ? faults.mid(7).toLongLong() : -1;
        camera.setUpdaterFaults(updater);
        camera.restartDelay = Milliseconds(faults == "no return" ? 600000 : 3000);
        if (faults == "unplugged")
            sim->bus.unplug(sim->camera);
        if (faults.endsWith("other"))
            sim->bus.addCamera(configAt("usb1/1-2"));
        SimCameraFaults cameraFaults;
        cameraFaults.requestsTimeOut = faults == "timeout";
        camera.setCameraFaults(cameraFaults);
        UVCExtensionUnit unit;
        if (start == 0)
            unit.InitVideoDevice(idOf(camera), nameOf(camera));
        camera.clearLogs();

        MessageCapture messages;
        QStringList reports;
        upgrade(faults == "zenta" ? kProductLineZenta : kProductLineQx,
                start == 0 && faults != "unplugged", start == 0 ? &unit : nullptr, reports);
        QCOMPARE(reports, QStringList{report});
        QVERIFY2(messages.contains(logLine), qPrintable(logLine));
        if (slept_ms >= 0)
            QCOMPARE(sim->clock.slept().count(), (long long)slept_ms);
        if (faults != "no return")
            sim->elapse(camera.restartDelay);
        QCOMPARE(sim->bus.isPlugged(sim->camera) ? int(camera.stage()) : -1, leftIn);
        QCOMPARE(camera.version().patch,
                 std::uint16_t(report.startsWith("1|") && leftIn == 0 ? 30 : 0));
        if (!faults.isEmpty())
            return;
        // What each start sends first: the status reset in the boot loader ("sete..."), the
        // updater program in raw chunks, the boot-loader image without a load address.
        const std::vector<SimScsiRecord> scsi = camera.scsiLog();
        const auto vendor = std::find_if(scsi.begin(), scsi.end(),
                                         [](const SimScsiRecord &r) { return r.cdb[0] == 0xE8; });
        const QStringList firstRequest = {"e8 06 73 65 74 65", "e8 01", "e8 05 ff ff ff ff",
                                          "e8 06 73 65 74 65"};
        QVERIFY((hexOf(vendor->cdb).left(5) + " " + hexOf(vendor->data))
                    .startsWith(firstRequest.at(start)));
        if (start == 0) // the switch into the updater
            QCOMPARE(QString("%1 ").arg(camera.xuLog().at(0).selector) +
                         hexOf(camera.xuLog().at(0).bytes.data(), 8),
                     QString("4 00 01 00 00 00 00 00 00"));
        QCOMPARE(camera.shellLog().back(), std::string("reset"));
        QCOMPARE(camera.loadedImages().size(), std::size_t(3));
    }

    void watcher_data() {
        // reported: -1: nothing
        addColumns<int, QString, int, int>({"stage", "inquiryVendor", "selector", "reported"});
        QTest::newRow("ROM") << 1 << "QXM30" << kProductLineQx << 0;
        QTest::newRow("u-Boot") << 3 << "ZENTA" << kProductLineZenta << 2;
        QTest::newRow("normal operation") << 0 << "QXM30" << kProductLineQx << -1;
        QTest::newRow("unknown stage") << -1 << "QXM30" << kProductLineQx << -1;
    }
    void watcher() {
        QFETCH(int, stage);
        QFETCH(QString, inquiryVendor);
        QFETCH(int, selector);
        QFETCH(int, reported);
        sim->bus.unplug(sim->camera);
        SimCameraConfig config;
        config.inquiryVendor = inquiryVendor.toStdString();
        auto camera = sim->bus.addCamera(config);
        FakeScsi unknown; // a disk of the line that answers with a stage nobody knows
        unknown.disks.push_back({"disk", "QXM30", "DISK"});
        if (stage < 0)
            installScsiBackend(&unknown);
        else
            camera->setStage(kStages[stage]);
        QList<long long> times;
        QMutex mutex;
        WorkerRun<AbnormalDetectThread> run(new AbnormalDetectThread(selector));
        QObject::connect(run.worker, &AbnormalDetectThread::onDeviceAbnormal, [&](int state) {
            QMutexLocker locker(&mutex);
            times << (state == reported ? sim->clock.now().count() : -1);
        });
        MessageCapture quiet;
        run.start();
        QTRY_VERIFY(sim->clock.now().count() > 40000);
        run.worker->stop();
        QTRY_VERIFY(!run.thread);
        releaseUpdaterDevice();
        installScsiBackend(&sim->bus);
        QMutexLocker locker(&mutex);
        if (reported < 0)
            QVERIFY(times.isEmpty());
        for (int i = 1; i < std::min<int>(times.size(), 3); ++i)
            QCOMPARE(times[i] - times[i - 1], 11000LL); // 10,000 ms after a report, then 1,000
        QCOMPARE(times.size() >= 3, reported >= 0);
    }
};

QTEST_GUILESS_MAIN(TestWorkers)
#include "tst_workers.moc"
