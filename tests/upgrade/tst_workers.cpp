// The two upgrade workers on their own threads, wired as the window wires them, against the
// simulated camera in virtual time: a whole upgrade from each stage and with each failure of the
// camera, always ending in exactly one report, with no data sent to a stage after it refused the
// header that announced it, each stage given its own files and no other, and the one line the
// worker sends on its own sent byte for byte; and the watcher that finds a camera left in an
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

// clang-format off
enum class Fault { None, NoBootLoader, Unplugged, SwitchTimesOut, NoVolume, OtherLine, SameDisk,
                   RefusedHeader, NoAck, EveryThird, WrongStage, NotBack, NeverCameraOtherBeside,
                   Vanish };
// clang-format on
Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(SimStage)

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

// A row of upgrades: the files taken none and the pause not looked at (-1), unless given.
void upgradeRow(const QString &name, SimStage start, Fault fault, const QString &report,
                const QString &logLine, int leftIn, const QList<SimStage> &taken = {},
                int slept_ms = -1) {
    QTest::newRow(qPrintable(name))
        << start << fault << report << logLine << leftIn << slept_ms << taken;
}
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
        // leftIn: the stage once restarted, -1 off the bus; slept: the time the worker paused, -1
        // not looked at; taken: the stage of each file taken whole, in order (Off for a file
        // that is not the stage's)
        addColumns<SimStage, Fault, QString, QString, int, int, QList<SimStage>>(
            {"start", "fault", "report", "logLine", "leftIn", "slept_ms", "taken"});
        const QString done = "1|100|Upgrade done.", failed = "0|0|Upgrade failed.", any,
                      noCamera = "0|0|No camera device detected.";
        const SimStage uBoot = SimStage::UBoot, camera = SimStage::Camera;
        const QList<SimStage> script = {uBoot, uBoot, uBoot}, none;
        upgradeRow("normal operation", camera, Fault::None, done,
                   "Enter the normal state of the camera upgrade process.", 0, script);
        upgradeRow("updater, no boot-loader image: the script fails", SimStage::Updater,
                   Fault::NoBootLoader, failed, "image not acknowledged:", 2);
        upgradeRow("no camera", camera, Fault::Unplugged, noCamera, "Upgrade failed.", -1, none, 0);
        upgradeRow("switch into the updater refused", camera, Fault::SwitchTimesOut, failed, any, 0,
                   none, 0);
        upgradeRow("disk never shows", camera, Fault::NoVolume, "0|0|Failed to find camera device.",
                   any, 4, none, 41 * 500);
        upgradeRow("other product line", uBoot, Fault::OtherLine, noCamera, any, 3, none, 0);
        // Back in its boot loader after the script, or not back at all: not a success, also with
        // another camera of the line plugged in meanwhile.
        const QString stuck = "camera still in updater stage 2 after the upgrade";
        for (SimStage start : {camera, uBoot})
            upgradeRow(QString("never returns, another camera beside, from %1").arg(int(start)),
                       start, Fault::NeverCameraOtherBeside, failed, stuck, 3, script);
        upgradeRow("disk vanishes in the kernel image", uBoot, Fault::Vanish, failed,
                   "image not acknowledged:", -1, {uBoot});
        upgradeRow("disk vanishes in the updater program", SimStage::Rom, Fault::Vanish, failed,
                   "ROM stage: updater program: failed", -1);

        // A camera left in each updater stage, with each way the camera fails.
        const char *const names[] = {"", "ROM", "Updater", "u-Boot"};
        const char *const steps[] = {"", "updater program", "boot-loader image", "upgrade script"};
        for (SimStage start : {SimStage::Rom, SimStage::Updater, uBoot}) {
            const int first = int(start);
            // A whole recovery from this stage.
            const QList<SimStage> all =
                QList<SimStage>{SimStage::Rom, SimStage::Updater}.mid(first - 1) + script;
            // The first step that announces its image with a header, and the files up to it.
            const SimStage header = std::max(start, SimStage::Updater);
            const int inHeader = int(header);
            const bool inBootLoader = header == uBoot;
            const QString refused =
                QString("%1 stage: %2: failed").arg(names[inHeader], steps[inHeader]);
            const QList<SimStage> beforeHeader = all.mid(0, inHeader - first);
            const auto row = [&](const char *fault) {
                return QString(names[first]) + ", " + fault;
            };
            upgradeRow(row("no fault"), start, Fault::None, done,
                       QString("%1 stage: %2: done").arg(names[first], steps[first]), 0, all);
            if (start == SimStage::Rom) // found by the first search after the program
                upgradeRow(row("updater on the same disk"), start, Fault::SameDisk, done,
                           "device state: Updater", 0, all);
            upgradeRow(row("refused header"), start, Fault::RefusedHeader, failed, refused,
                       inHeader, beforeHeader);
            upgradeRow(row("no acknowledgement"), start, Fault::NoAck, failed, refused, inHeader,
                       beforeHeader + QList<SimStage>{header, header, header, header, header});
            upgradeRow(row("every third vendor command fails"), start, Fault::EveryThird, done,
                       "camera back in normal operation", 0, all);
            upgradeRow(row("back in the wrong stage"), start, Fault::WrongStage, failed,
                       inBootLoader ? stuck : "Invalid device state 1.", inHeader,
                       inBootLoader ? all : all.mid(0, inHeader - first + 1));
            // The image's own pause (65,536 / 20,480 ms), 1,000 ms, then 41 searches 500 ms apart.
            upgradeRow(row("not back"), start, Fault::NotBack, failed,
                       QString("camera did not come back after the %1")
                           .arg(inBootLoader ? "upgrade" : steps[first]),
                       4, inBootLoader ? all : all.mid(0, 1),
                       start == SimStage::Updater ? 3 + 1000 + 41 * 500 : -1);
        }
    }
    void upgrades() {
        QFETCH(SimStage, start);
        QFETCH(Fault, fault);
        QFETCH(QString, report);
        QFETCH(QString, logLine);
        QFETCH(int, leftIn);
        QFETCH(int, slept_ms);
        QFETCH(QList<SimStage>, taken);
        if (!QFile::exists(packages.filePath(".zip")))
            makePackages();
        unpacked = std::make_unique<QTemporaryDir>();
        int model = -1;
        const QString zip = fault == Fault::NoBootLoader ? "--no-boot-loader.zip" : ".zip";
        QCOMPARE(preparePackage(packages.filePath(zip), model, unpacked->path()),
                 PackageOutcome::Ready);
        QMap<QByteArray, SimStage> stageOf; // the files that each stage is to take, in order
        const char *const names[] = {"usb_updater.bin", "u-boot.bin", "boot/ipl.bin",
                                     "kernel/uImage", "miservice.ubifs"};
        for (int i = 0; i < 5; ++i)
            stageOf[readFile(unpacked->filePath(names[i]))] = SimStage(std::min(i + 1, 3));
        SimCamera &camera = *sim->camera;
        camera.setStage(start);
        camera.updaterOnSameDisk = fault == Fault::SameDisk;
        camera.restartDelay = Milliseconds(fault == Fault::NotBack ? 600000 : 3000);
        SimUpdaterFaults updater;
        updater.refuseImageHeaders = fault == Fault::RefusedHeader;
        updater.neverAcknowledge = fault == Fault::NoAck;
        updater.failEveryNthVendorCommand = fault == Fault::EveryThird ? 3 : 0;
        updater.wrongStageAfterBootLoader = fault == Fault::WrongStage;
        updater.neverReturnsAsCamera =
            fault == Fault::WrongStage || fault == Fault::NeverCameraOtherBeside;
        updater.neverShowsVolume = fault == Fault::NoVolume;
        // In the middle of the updater program or of the kernel image.
        updater.vanishAfterBytes =
            fault == Fault::Vanish ? (start == SimStage::UBoot ? 100000 : 10000) : -1;
        camera.setUpdaterFaults(updater);
        if (fault == Fault::Unplugged)
            sim->bus.unplug(sim->camera);
        if (fault == Fault::NeverCameraOtherBeside)
            sim->bus.addCamera(configAt("usb1/1-2"));
        SimCameraFaults cameraFaults;
        cameraFaults.requestsTimeOut = fault == Fault::SwitchTimesOut;
        camera.setCameraFaults(cameraFaults);
        UVCExtensionUnit unit;
        const bool normal = start == SimStage::Camera;
        if (normal)
            unit.InitVideoDevice(idOf(camera), nameOf(camera));
        camera.clearLogs();

        MessageCapture messages;
        QStringList reports;
        upgrade(fault == Fault::OtherLine ? kProductLineZenta : kProductLineQx,
                normal && fault != Fault::Unplugged, normal ? &unit : nullptr, reports);
        QCOMPARE(reports, QStringList{report});
        QVERIFY2(messages.contains(logLine), qPrintable(logLine));
        if (slept_ms >= 0)
            QCOMPARE(sim->clock.slept().count(), (long long)slept_ms);
        if (fault != Fault::NotBack)
            sim->elapse(camera.restartDelay);
        QCOMPARE(sim->bus.isPlugged(sim->camera) ? int(camera.stage()) : -1, leftIn);
        QCOMPARE(camera.version().patch,
                 std::uint16_t(report.startsWith("1|") && leftIn == 0 ? 30 : 0));

        QList<SimStage> got;
        QByteArray pending;
        bool headerRefused = false;
        QByteArrayList lines; // boot-loader command lines
        for (const SimScsiRecord &request : camera.scsiLog()) {
            const std::uint8_t subcommand = request.cdb.size() == 10 ? request.cdb[1] : 0;
            const QByteArray data(reinterpret_cast<const char *>(request.data.data()),
                                  int(request.data.size()));
            if (subcommand == kSubcommandShell)
                lines << hexOf(request.cdb.data() + 6, 4).toLatin1() + " " + data;
            if (subcommand == kSubcommandImageHeader) {
                headerRefused = !request.succeeded;
                pending.clear();
            }
            if (subcommand != kSubcommandData && subcommand != kSubcommandLastData)
                continue;
            QVERIFY2(!headerRefused, "data sent after a refused header");
            if (request.succeeded)
                pending += data;
            if (request.succeeded && subcommand == kSubcommandLastData) {
                got << (stageOf.value(pending) == request.stage ? request.stage : SimStage::Off);
                pending.clear();
            }
        }
        QCOMPARE(got, taken);
        // The worker's own line opens the boot loader's part: its 27 bytes and nothing more.
        if (report.startsWith("1|") || !lines.isEmpty())
            QCOMPARE(lines.value(0), QByteArray("00 00 00 1b setenv ota_upgrade_status 0"));
        if (fault != Fault::None || !normal)
            return;
        // The switch into the updater.
        QCOMPARE(QString("%1 ").arg(camera.xuLog().at(0).selector) +
                     hexOf(camera.xuLog().at(0).bytes.data(), 8),
                 QString("4 00 01 00 00 00 00 00 00"));
        QCOMPARE(camera.shellLog().back(), std::string("reset"));
    }

    // refused: no disk can be opened (no rights), the disks are only listed.
    void watcher_data() {
        // reported: -1: nothing
        addColumns<int, QString, int, bool, int>(
            {"stage", "inquiryVendor", "selector", "refused", "reported"});
        QTest::newRow("ROM") << 1 << "QXM30" << kProductLineQx << false << 0;
        QTest::newRow("u-Boot") << 3 << "ZENTA" << kProductLineZenta << false << 2;
        QTest::newRow("normal operation") << 0 << "QXM30" << kProductLineQx << false << -1;
        QTest::newRow("unknown stage") << -1 << "QXM30" << kProductLineQx << false << -1;
        QTest::newRow("listed ROM") << 1 << "QXM30" << kProductLineQx << true << 0;
        QTest::newRow("listed updater") << 2 << "ZENTA" << kProductLineZenta << true << 1;
        QTest::newRow("listed, other line") << 3 << "ZENTA" << kProductLineQx << true << -1;
    }
    void watcher() {
        QFETCH(int, stage);
        QFETCH(QString, inquiryVendor);
        QFETCH(int, selector);
        QFETCH(bool, refused);
        QFETCH(int, reported);
        sim->bus.setDiskOpeningRefused(refused);
        sim->bus.unplug(sim->camera);
        SimCameraConfig config;
        config.inquiryVendor = inquiryVendor.toStdString();
        auto camera = sim->bus.addCamera(config);
        FakeScsi unknown; // a disk of the line that answers with a stage nobody knows
        unknown.disks.push_back({"disk", "QXM30", "DISK"});
        if (stage < 0)
            installScsiBackend(&unknown);
        else
            camera->setStage(SimStage(stage));
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
        // A listed disk gives no handle, neither to the watcher nor to an upgrade after it; its
        // stage is logged once, not at every search.
        UpdaterDeviceState state = UpdaterStateNone;
        QVERIFY(!refused || (!hasCurrentUpdaterDevice() && !findUpdaterDevice(selector, state)));
        QCOMPARE(quiet.messages().filter("system lists").size(), int(refused && reported >= 0));
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
