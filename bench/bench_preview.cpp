// The preview path as the window runs it: a 1920 x 1080 MJPG camera at 30 frames per second,
// VideoStreamThread on its own thread, and the window's side scaling each picture into the preview
// surface with smooth filtering and painting it. Two paths side by side, at the default surface
// (460 x 258) and at 1370 x 770 (the window maximised):
// - decoded: the capture back end decodes every frame at full size into 24-bit BGR (as OpenCV's
//   back ends do with their RGB conversion on, and DirectShow always does), the worker swaps it to
//   RGB and makes the pixmap;
// - handed over: the capture copies the compressed frame out of the driver's buffer (as the V4L2
//   capture does) and the worker decodes it with libjpeg-turbo at the smallest size that covers
//   the surface.
//
// Figures per path: frames per second sustained; CPU time per frame of the process, of the worker
// (for the decoded path with the back end's decode), of the main thread (scaling, painting) and of
// helper threads; latency from the moment a frame is available to the moment its picture is
// painted.
//
// Usage: bench_preview [seconds per run, default 10] [sensor noise, default 0]; run with
// QT_QPA_PLATFORM=offscreen. The test picture is flat colour and compresses far better than a
// camera's view; sensor noise (the standard deviation in grey levels, 3 is typical) brings the
// frames to a camera's size.
#include "bench/cputime.h"
#include "common/workerthread.h"
#include "preview/framecapture.h"
#include "preview/videostreamthread.h"
#include "sim/simcamera.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QThread>
#include <QTimer>

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

namespace {
using SteadyClock = std::chrono::steady_clock;

constexpr int frameWidth = 1920;
constexpr int frameHeight = 1080;
constexpr int pictureCount = 8;
constexpr int jpegQuality = 90;

double msBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double mean(const std::vector<double> &values) {
    return values.empty() ? 0.0
                          : std::accumulate(values.begin(), values.end(), 0.0) / values.size();
}

double percentile(std::vector<double> values, int percent) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * percent / 100)];
}

// What a run records, shared by the capture on the worker thread and the receiver.
struct Record {
    std::mutex mutex;
    bool measuring = false;
    std::vector<SteadyClock::time_point> availableAt; // per frame read, in order
    std::vector<double> backEndDecodeCpu;             // worker, in the capture, per frame
    std::vector<double> iterationCpu;                 // worker, read to read
    std::vector<double> mainCpu;                      // main thread, per picture
    std::vector<double> latency;                      // available to painted
    long long picturesShown = 0;
};

// A camera delivering MJPG at its rate. Decoded: the back end decodes each frame into the
// reader's buffer. Handed over: the compressed frame is copied out as it came.
class MjpgCamera final : public FrameCapture {
public:
    MjpgCamera(const std::vector<std::vector<unsigned char>> &jpegs, Record &record, bool handOver)
        : pictures(jpegs)
        , rec(record)
        , compressed(handOver)
        , decompressor(tjInitDecompress()) {}
    ~MjpgCamera() override { tjDestroy(decompressor); }

    bool isOpened() const override { return true; }
    double get(CaptureProperty property) const override {
        switch (property) {
        case CaptureProperty::FrameRate:
            return 30.0;
        case CaptureProperty::FrameWidth:
            return frameWidth;
        case CaptureProperty::FrameHeight:
            return frameHeight;
        case CaptureProperty::FourCc:
            return mjpgFourCc;
        }
        return 0.0;
    }
    bool set(CaptureProperty, double) override { return false; }

    bool read(CapturedFrame &frame) override {
        const std::vector<unsigned char> &jpeg = nextFrame();
        frame.width = frameWidth;
        frame.height = frameHeight;
        if (compressed) {
            frame.encoding = CapturedFrame::Encoding::Mjpg;
            frame.bytes.assign(jpeg.begin(), jpeg.end());
            recordFrame(0.0);
            return true;
        }
        const double before = threadCpuMs();
        frame.encoding = CapturedFrame::Encoding::Pixels;
        frame.pixelFormat = CapturedFrame::PixelFormat::Bgr24;
        frame.stride = frameWidth * 3;
        frame.bytes.resize(static_cast<std::size_t>(frame.stride) * frameHeight);
        const bool decoded =
            tjDecompress2(decompressor, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                          frame.bytes.data(), frameWidth, frame.stride, frameHeight, TJPF_BGR,
                          0) == 0;
        recordFrame(threadCpuMs() - before);
        return decoded;
    }

private:
    // Waits for the camera's next frame; a reader that fell behind gets the newest at once.
    const std::vector<unsigned char> &nextFrame() {
        const double entryCpu = threadCpuMs();
        if (lastEntryCpu >= 0) {
            std::lock_guard<std::mutex> lock(rec.mutex);
            if (rec.measuring)
                rec.iterationCpu.push_back(entryCpu - lastEntryCpu);
        }
        const auto now = SteadyClock::now();
        if (nextFrameAt == SteadyClock::time_point())
            nextFrameAt = now;
        if (nextFrameAt > now)
            std::this_thread::sleep_until(nextFrameAt);
        nextFrameAt = std::max(nextFrameAt, now) + period;
        available = SteadyClock::now();
        return pictures[frameNumber++ % pictures.size()];
    }

    void recordFrame(double decodeCpu) {
        std::lock_guard<std::mutex> lock(rec.mutex);
        rec.availableAt.push_back(available);
        if (rec.measuring)
            rec.backEndDecodeCpu.push_back(decodeCpu);
        // Measured from here to the next read: the rest of this frame's way through the worker.
        lastEntryCpu = threadCpuMs();
    }

    const std::vector<std::vector<unsigned char>> &pictures;
    Record &rec;
    bool compressed;
    tjhandle decompressor;
    const std::chrono::nanoseconds period{1000000000LL / 30};
    SteadyClock::time_point nextFrameAt;
    SteadyClock::time_point available;
    std::size_t frameNumber = 0;
    double lastEntryCpu = -1;
};

// The window's side: scale each picture into the preview surface and paint it.
class PreviewSurface : public QObject {
    Q_OBJECT
public:
    PreviewSurface(Record &record, QSize size)
        : rec(record)
        , surface(size, QImage::Format_ARGB32_Premultiplied) {}

public slots:
    void slotOnReader(QPixmap pixmap) {
        const double c0 = threadCpuMs();
        const QPixmap scaled =
            pixmap.scaled(surface.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter painter(&surface);
        painter.drawPixmap(0, 0, scaled);
        painter.end();
        const double c1 = threadCpuMs();
        const auto shown = SteadyClock::now();

        std::lock_guard<std::mutex> lock(rec.mutex);
        const auto index = static_cast<std::size_t>(rec.picturesShown++);
        if (rec.measuring) {
            rec.mainCpu.push_back(c1 - c0);
            if (index < rec.availableAt.size())
                rec.latency.push_back(msBetween(rec.availableAt[index], shown));
        }
    }

private:
    Record &rec;
    QImage surface;
};

std::vector<std::vector<unsigned char>> makePictures(double noise) {
    SimCamera camera{SimCameraConfig()};
    std::vector<std::vector<unsigned char>> jpegs;
    std::mt19937 random(1);
    std::normal_distribution<double> grain(0.0, noise > 0 ? noise : 1.0);
    const auto grainy = [&](int value) {
        return std::clamp(static_cast<int>(std::lround(value + grain(random))), 0, 255);
    };
    std::lock_guard<std::recursive_mutex> guard(simMutex());
    for (int i = 0; i < pictureCount; ++i) {
        SimPosition position;
        position.pan_deg = -60 + 15 * i;
        position.zoom = 100 + 50 * i;
        camera.setPosition(position);
        QImage picture;
        camera.renderFrame(picture, frameWidth, frameHeight, 15LL * i);
        for (int y = 0; noise > 0 && y < picture.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                line[x] =
                    qRgb(grainy(qRed(line[x])), grainy(qGreen(line[x])), grainy(qBlue(line[x])));
        }
        std::vector<unsigned char> jpeg;
        encodeJpeg(picture, jpegQuality, jpeg);
        jpegs.push_back(std::move(jpeg));
    }
    return jpegs;
}

struct Figures {
    double framesPerSecond = 0;
    double processCpu = 0; // per frame
    double workerCpu = 0;
    double backEndDecodeCpu = 0;
    double mainCpu = 0;
    double helperCpu = 0;
    double latencyMedian = 0;
    double latencyP95 = 0;
    double coreShare = 0; // percent of one core
};

Figures runOnce(const std::vector<std::vector<unsigned char>> &jpegs, bool newPath,
                QSize surfaceSize, int seconds) {
    Record record;
    installFrameCaptureFactory(
        [&](int) { return std::make_unique<MjpgCamera>(jpegs, record, newPath); });
    PreviewSurface surface(record, surfaceSize);

    auto *worker = new VideoStreamThread(0);
    if (newPath)
        worker->setSurfaceSize(surfaceSize); // as the window tells its worker
    QObject::connect(worker, SIGNAL(onReader(QPixmap)), &surface, SLOT(slotOnReader(QPixmap)));
    WorkerThread thread;
    thread.start(worker);

    // One second to settle, then the measured run.
    long long shownAtStart = 0;
    SteadyClock::time_point startedAt;
    double cpuAtStart = 0;
    QTimer::singleShot(1000, [&] {
        std::lock_guard<std::mutex> lock(record.mutex);
        record.measuring = true;
        shownAtStart = record.picturesShown;
        startedAt = SteadyClock::now();
        cpuAtStart = processCpuMs();
    });
    QTimer::singleShot(1000 + seconds * 1000, QCoreApplication::instance(),
                       &QCoreApplication::quit);
    QCoreApplication::exec();

    long long shown = 0;
    {
        std::lock_guard<std::mutex> lock(record.mutex);
        record.measuring = false;
        shown = record.picturesShown - shownAtStart;
    }
    const double elapsed = msBetween(startedAt, SteadyClock::now());
    const double cpu = processCpuMs() - cpuAtStart;
    thread.stop();
    installFrameCaptureFactory(nullptr);

    Figures f;
    f.framesPerSecond = shown * 1000.0 / elapsed;
    f.processCpu = shown > 0 ? cpu / shown : 0.0;
    f.backEndDecodeCpu = mean(record.backEndDecodeCpu);
    f.workerCpu = f.backEndDecodeCpu + mean(record.iterationCpu);
    f.mainCpu = mean(record.mainCpu);
    // Whatever the two threads did not spend themselves ran on helper threads (Qt's image
    // scaling and conversion spread large images over its thread pool).
    f.helperCpu = std::max(0.0, f.processCpu - f.workerCpu - f.mainCpu);
    f.latencyMedian = percentile(record.latency, 50);
    f.latencyP95 = percentile(record.latency, 95);
    f.coreShare = 100.0 * cpu / elapsed;
    return f;
}

void printRow(const char *name, const std::vector<Figures> &columns, double Figures::*field,
              int decimals) {
    std::printf("  %-36s", name);
    for (const Figures &f : columns)
        std::printf("%14.*f", decimals, f.*field);
    std::printf("\n");
}
} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    const double noise = argc > 2 ? std::max(0.0, std::atof(argv[2])) : 0.0;
    const auto jpegs = makePictures(noise);
    std::size_t bytes = 0;
    for (const auto &jpeg : jpegs)
        bytes += jpeg.size();
    std::printf("Preview path: %dx%d MJPG at 30 frames per second (%d test pictures, quality %d, "
                "%.0f KiB each on average, sensor noise %.1f), %d s per run, %d hardware threads\n",
                frameWidth, frameHeight, pictureCount, jpegQuality, bytes / 1024.0 / jpegs.size(),
                noise, seconds, QThread::idealThreadCount());

    const QSize surfaces[] = {QSize(460, 258), QSize(1370, 770)};
    std::vector<Figures> columns;
    for (const QSize &surface : surfaces) {
        for (const bool newPath : {false, true})
            columns.push_back(runOnce(jpegs, newPath, surface, seconds));
    }

    std::printf("\n  %-36s%14s%14s%14s%14s\n", "", "460x258", "460x258", "1370x770", "1370x770");
    std::printf("  %-36s%14s%14s%14s%14s\n", "", "decoded", "handed over", "decoded",
                "handed over");
    printRow("frames per second", columns, &Figures::framesPerSecond, 1);
    printRow("process CPU per frame, ms", columns, &Figures::processCpu, 2);
    printRow("  worker thread, ms", columns, &Figures::workerCpu, 2);
    printRow("    of which back-end MJPG decode, ms", columns, &Figures::backEndDecodeCpu, 2);
    printRow("  main thread (scale, paint), ms", columns, &Figures::mainCpu, 2);
    printRow("  helper threads, ms", columns, &Figures::helperCpu, 2);
    printRow("latency to painted, median, ms", columns, &Figures::latencyMedian, 1);
    printRow("latency to painted, 95th pct, ms", columns, &Figures::latencyP95, 1);
    printRow("process CPU, % of one core", columns, &Figures::coreShare, 0);
    return 0;
}

#include "bench_preview.moc"
