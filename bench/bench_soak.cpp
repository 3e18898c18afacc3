// A soak run against the simulated camera:
//   - plug and unplug cycles with the window's preview running: the real window (offscreen) follows
//     each arrival by opening the camera and starting its preview, and each removal by closing
//     both; a cycle counts once a picture has reached the preview surface and once the surface has
//     gone back to its hint. These run on the system clock: the camera's frame pacing is what a
//     running preview is, and on a virtual clock the capture loop would run unpaced.
//   - upgrades from a random stage with a random injected fault, the worker wired as the window
//     wires it, in virtual time. An upgrade reported as successful must leave the camera back in
//     normal operation with the new firmware.
// Prints the outcomes counted by kind, the reports per upgrade (must be exactly one), and the
// process's memory, threads and open descriptors at the start and the end.
//
// Usage: QT_QPA_PLATFORM=offscreen bench_soak [cycles, default 1000] [upgrades, default 100]
//        [random seed, default 1]
#include "common/clock.h"
#include "common/workerthread.h"
#include "control/uvcextensionunit.h"
#include "device/cameradevice.h"
#include "device/dshowcamerawrapper.h"
#include "sim/simulatedbus.h"
#include "ui/mainwindow.h"
#include "upgrade/massstorage.h"
#include "upgrade/packagefiles.h"
#include "upgrade/upgradethread.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>

namespace {
constexpr int kPictureWait_ms = 5000;
constexpr int kUpgradeWait_ms = 120000;
constexpr Milliseconds kAfterUpgrade{60000};
const char kNewVersion[] = "1.2.30";

// The figures go to the standard output the program started with; the product's own traces on
// standard output are sent to /dev/null so that they do not bury them.
FILE *figures = stdout;

void keepFiguresApart() {
    const int saved = ::dup(STDOUT_FILENO);
    FILE *out = saved >= 0 ? ::fdopen(saved, "w") : nullptr;
    if (!out || !std::freopen("/dev/null", "w", stdout))
        return;
    figures = out;
}

struct ProcessFigures {
    long rss_kib = 0;
    int threads = 0;
    int descriptors = 0;
};

ProcessFigures processFigures() {
    ProcessFigures now;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                now.rss_kib = line.mid(6).trimmed().split(' ').value(0).toLong();
            else if (line.startsWith("Threads:"))
                now.threads = line.mid(8).trimmed().toInt();
        }
    }
    now.descriptors = static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                           .entryList(QDir::NoDotAndDotDot | QDir::System)
                                           .size());
    return now;
}

void printProcess(const char *when, const ProcessFigures &now) {
    std::fprintf(figures, "  %-22s memory %7ld KiB, threads %3d, open descriptors %3d\n", when,
                 now.rss_kib, now.threads, now.descriptors);
}

// Runs the event loop until the condition holds or the time is up; returns whether it held.
template <typename Condition>
bool waitFor(Condition condition, int timeout_ms) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeout_ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void printCounts(const char *title, const std::map<QString, int> &counts) {
    std::fprintf(figures, "%s\n", title);
    for (const auto &[kind, count] : counts)
        std::fprintf(figures, "  %5d  %s\n", count, qPrintable(kind));
}

void plugCycles(SimulatedBus &bus, const std::shared_ptr<SimCamera> &camera, int cycles) {
    std::map<QString, int> outcomes;
    QElapsedTimer timer;
    timer.start();
    {
        MainWindow window;
        window.show(); // the preview surface takes its size from the shown window
        auto *surface = window.findChild<QLabel *>(QStringLiteral("labPreview"));
        const auto showsPicture = [surface] {
            return !surface->pixmap(Qt::ReturnByValue).isNull();
        };
        for (int cycle = 0; cycle < cycles; ++cycle) {
            if (!bus.isPlugged(camera))
                bus.plug(camera);
            ++outcomes[waitFor(showsPicture, kPictureWait_ms) ? "plugged: picture shown"
                                                              : "plugged: no picture in 5 s"];
            bus.unplug(camera);
            ++outcomes[waitFor([&] { return !showsPicture(); }, kPictureWait_ms)
                           ? "unplugged: preview closed"
                           : "unplugged: picture still shown after 5 s"];
        }
    }
    bus.plug(camera);
    std::fprintf(figures, "%d plug/unplug cycles in %.1f s\n", cycles, timer.elapsed() / 1000.0);
    printCounts("outcomes:", outcomes);
    std::fprintf(figures, "  simulated handles still open: %d\n", bus.openHandles());
}

QString makePackage(const QTemporaryDir &scratch) {
    const QString zip = scratch.filePath(QStringLiteral("package.zip"));
    const QString unpacked = scratch.filePath(QStringLiteral("unpacked"));
    QDir().mkpath(unpacked);
    int model = -1;
    if (QProcess::execute(QStringLiteral("bash"),
                          {QStringLiteral(CC_SOURCE_DIR "/scripts/make-sample-package.sh"),
                           QStringLiteral("QX-M30-000"), QString::fromLatin1(kNewVersion), zip}) !=
            0 ||
        preparePackage(zip, model, unpacked) != PackageOutcome::Ready)
        return QString();
    return unpacked;
}

struct Fault {
    const char *name;
    SimUpdaterFaults faults;
};

Fault randomFault(QRandomGenerator &random) {
    Fault fault{"none", {}};
    switch (random.bounded(5)) {
    case 1:
        fault.name = "no acknowledgement";
        fault.faults.neverAcknowledge = true;
        break;
    case 2:
        fault.name = "every n-th vendor command fails (n = 3..12)";
        fault.faults.failEveryNthVendorCommand = 3 + static_cast<int>(random.bounded(10));
        break;
    case 3:
        fault.name = "no return as a camera";
        fault.faults.neverReturnsAsCamera = true;
        break;
    case 4:
        fault.name = "wrong stage after the boot-loader image";
        fault.faults.wrongStageAfterBootLoader = true;
        break;
    default:
        break;
    }
    return fault;
}

void upgrades(SimulatedBus &bus, const std::shared_ptr<SimCamera> &camera, int count,
              QRandomGenerator &random) {
    QTemporaryDir scratch;
    const QString package = makePackage(scratch);
    if (package.isEmpty()) {
        std::fprintf(figures, "the sample package could not be made (bash, 7z)\n");
        return;
    }
    VirtualClock clock;
    ScopedClock virtualTime(clock);
    const char *const stageNames[] = {"normal operation", "boot ROM", "updater", "boot loader"};
    const SimStage stages[] = {SimStage::Camera, SimStage::Rom, SimStage::Updater, SimStage::UBoot};
    std::map<QString, int> outcomes;
    std::map<int, int> reportsPerUpgrade;
    std::map<QString, int> successes;
    QElapsedTimer timer;
    timer.start();
    for (int run = 0; run < count; ++run) {
        const int start = static_cast<int>(random.bounded(4));
        const Fault fault = randomFault(random);
        camera->setUpdaterFaults(fault.faults);
        camera->setVersion({1, 0, 0});
        camera->setStage(stages[start]);
        camera->clearLogs();
        const QString id = deviceIdFromPath(QString::fromStdString(camera->interfaceName()));
        UVCExtensionUnit unit;
        const bool ready =
            start == 0 &&
            unit.InitVideoDevice(id, QString::fromStdString(camera->config().productName));

        auto *worker = new UpgradeThread(kProductLineQx, ready, &unit);
        worker->setPackageDirectory(package);
        worker->setCameraDeviceId(ready ? id : QString());
        QEventLoop loop;
        int reports = 0;
        bool ok = false;
        bool finished = false;
        QString message;
        QObject::connect(worker, &UpgradeThread::onUpgradeReport, &loop,
                         [&](bool success, int, const QString &text) {
                             ++reports;
                             ok = success;
                             message = text;
                         });
        QObject::connect(worker, &UpgradeThread::workFinished, &loop, [&] {
            finished = true;
            loop.quit();
        });
        QTimer::singleShot(kUpgradeWait_ms, &loop, &QEventLoop::quit);
        WorkerThread thread;
        thread.start(worker);
        loop.exec();
        if (!finished)
            ++outcomes[QStringLiteral("worker still running after 120 s")];
        thread.join();
        ++reportsPerUpgrade[reports];
        ++outcomes[QStringLiteral("%1, from %2: %3")
                       .arg(QLatin1String(fault.name), QLatin1String(stageNames[start]),
                            reports ? message : QStringLiteral("no report"))];

        // Whatever the camera does next happens meanwhile; a success must have left it working.
        clock.advance(kAfterUpgrade);
        bus.poll();
        if (ok) {
            const SimVersion version = camera->version();
            const QString firmware =
                QStringLiteral("%1.%2.%3").arg(version.major).arg(version.minor).arg(version.patch);
            ++successes[camera->stage() != SimStage::Camera
                            ? QStringLiteral("camera not back in normal operation  <-- must be 0")
                        : firmware == QLatin1String(kNewVersion)
                            ? QStringLiteral("camera back at %1").arg(firmware)
                            : QStringLiteral("camera back at %1, not the new firmware (%2)")
                                  .arg(firmware, QLatin1String(fault.name))];
        }
        unit.releaseDevice();
        releaseUpdaterDevice();
    }
    std::fprintf(figures, "%d upgrades in %.1f s (virtual time %.0f s)\n", count,
                 timer.elapsed() / 1000.0, clock.now().count() / 1000.0);
    printCounts("outcomes (fault, start: report):", outcomes);
    std::fprintf(figures, "reports per upgrade:\n");
    for (const auto &[reports, upgradesWithThat] : reportsPerUpgrade)
        std::fprintf(figures, "  %5d upgrades with %d report(s)%s\n", upgradesWithThat, reports,
                     reports == 1 ? "" : "  <-- must be exactly one");
    printCounts("successes reported, and the camera after them:", successes);
}
} // namespace

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    // Idle threads of Qt's pool (the preview's smooth scaling borrows them) end at once, so that
    // the thread counts show only what the program itself keeps.
    QThreadPool::globalInstance()->setExpiryTimeout(0);
    keepFiguresApart();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const QStringList arguments = QCoreApplication::arguments();
    const int cycles = arguments.value(1, QStringLiteral("1000")).toInt();
    const int upgradeCount = arguments.value(2, QStringLiteral("100")).toInt();
    QRandomGenerator random(arguments.value(3, QStringLiteral("1")).toUInt());

    SimulatedBus bus;
    bus.install();
    const std::shared_ptr<SimCamera> camera = bus.addCamera(SimCameraConfig());
    const ProcessFigures atStart = processFigures();

    plugCycles(bus, camera, cycles);
    const ProcessFigures afterCycles = processFigures();
    upgrades(bus, camera, upgradeCount, random);
    const ProcessFigures atEnd = processFigures();

    std::fprintf(figures, "process:\n");
    printProcess("at the start", atStart);
    printProcess("after the cycles", afterCycles);
    printProcess("at the end", atEnd);
    std::fflush(figures);
    return 0;
}
