// Throughput of the mass-storage transfers against the simulated camera, and how an image's
// upload divides between time on the wire and the fixed pauses of the protocol.
//
// Prints: megabytes per second of the chunked transfer (32,768- and 1,024-byte chunks); for a
// 10 MiB boot image, the share of the upload spent in pauses, once on the system clock (a short
// real run) and from the virtual clock's accounting (also with every 20th request failing).
#include "common/clock.h"
#include "sim/simulatedbus.h"
#include "upgrade/massstorage.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
using Wall = std::chrono::steady_clock;

double secondsSince(Wall::time_point start) {
    return std::chrono::duration<double>(Wall::now() - start).count();
}

// The system clock, with an account of the time spent pausing.
class AccountedSystemClock final : public Clock {
public:
    void sleepFor(Milliseconds duration) override {
        const auto start = Wall::now();
        real.sleepFor(duration);
        pausedMicroseconds +=
            std::chrono::duration_cast<std::chrono::microseconds>(Wall::now() - start).count();
    }
    Milliseconds now() const override { return real.now(); }
    double pausedSeconds() const { return pausedMicroseconds.load() / 1e6; }

private:
    SystemClock real;
    std::atomic<long long> pausedMicroseconds{0};
};

std::shared_ptr<SimCamera> bootLoaderCamera(SimulatedBus &bus) {
    auto camera = bus.addCamera(SimCameraConfig());
    camera->setStage(SimStage::UBoot);
    UpdaterDeviceState state = UpdaterStateNone;
    if (!findUpdaterDevice(kProductLineQx, state) || state != UpdaterStateUBoot)
        std::fprintf(stderr, "the simulated camera was not found\n");
    return camera;
}

void chunkThroughput(std::uint32_t chunkSize, int megabytes) {
    VirtualClock clock;
    ScopedClock useClock(clock);
    SimulatedBus bus;
    bus.install();
    auto camera = bus.addCamera(SimCameraConfig());
    const std::vector<std::uint8_t> data(static_cast<std::size_t>(megabytes) << 20, 0x5A);
    const int rounds = 3;
    double best = 1e9;
    for (int round = 0; round < rounds; ++round) {
        // The boot ROM takes raw chunks with no header and no digest to check at the end.
        camera->setStage(SimStage::Rom);
        camera->clearLogs();
        UpdaterDeviceState state = UpdaterStateNone;
        findUpdaterDevice(kProductLineQx, state);
        const auto start = Wall::now();
        sendDataChunks(data.data(), static_cast<std::uint32_t>(data.size()), chunkSize);
        best = std::min(best, secondsSince(start));
    }
    const double requests = static_cast<double>(data.size()) / chunkSize;
    std::printf("  chunks of %6u bytes: %8.1f MB/s  (%.0f requests, %.2f us per request)\n",
                chunkSize, data.size() / 1e6 / best, requests, best / requests * 1e6);
    releaseUpdaterDevice();
    camera->clearLogs();
}

QString writeImage(const QTemporaryDir &dir, int size) {
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray(size, 'k'));
    return path;
}

void imageOnSystemClock(const QString &image, int size) {
    AccountedSystemClock clock;
    ScopedClock useClock(clock);
    SimulatedBus bus;
    bus.install();
    auto camera = bootLoaderCamera(bus);
    const auto start = Wall::now();
    sendImageFile(image, 0x21000000);
    const double total = secondsSince(start);
    const double paused = clock.pausedSeconds();
    std::printf("  system clock:   total %7.1f ms, pauses %7.1f ms (%4.1f %%), transfers %7.1f ms"
                " -> %.1f MB/s overall\n",
                total * 1e3, paused * 1e3, 100.0 * paused / total, (total - paused) * 1e3,
                size / 1e6 / total);
    releaseUpdaterDevice();
}

void imageOnVirtualClock(const QString &image, int size, int failEveryNth) {
    VirtualClock clock;
    ScopedClock useClock(clock);
    SimulatedBus bus;
    bus.install();
    auto camera = bootLoaderCamera(bus);
    SimUpdaterFaults faults;
    faults.failEveryNthVendorCommand = failEveryNth;
    camera->setUpdaterFaults(faults);
    const auto start = Wall::now();
    sendImageFile(image, 0x21000000);
    const double transfers = secondsSince(start);
    const double paused = clock.slept().count() / 1e3;
    const double total = transfers + paused;
    std::printf("  virtual clock%s: pauses %7.1f ms (%4.1f %%), transfers %7.1f ms -> %.1f MB/s"
                " overall\n",
                failEveryNth ? ", every 20th request failing" : "", paused * 1e3,
                100.0 * paused / total, transfers * 1e3, size / 1e6 / total);
    releaseUpdaterDevice();
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);
    qputenv("QT_LOGGING_RULES", "*.debug=false;*.info=false");

    std::printf("Chunked transfer to the simulated camera (32 MiB, best of 3):\n");
    chunkThroughput(32768, 32);
    chunkThroughput(1024, 32);

    QTemporaryDir dir;
    const int size = 10 * 1024 * 1024;
    const QString image = writeImage(dir, size);
    std::printf("Boot image of %d bytes (pause after the data: %d ms):\n", size, size / 20480);
    imageOnSystemClock(image, size);
    imageOnVirtualClock(image, size, 0);
    imageOnVirtualClock(image, size, 20);
    return 0;
}
