// The preview path as the window runs it: a 1920 x 1080 MJPG camera at 30 frames per second,
// decoded as the V4L2 back end decodes MJPG, turned into pixmaps by VideoStreamThread on its own
// thread and scaled to 960 x 540 with smooth filtering on the main thread.
//
// Figures: frames per second sustained; CPU time per frame on the worker (read with decode,
// conversion, pixmap) and on the main thread (scaling, painting); latency from the moment a frame
// is available to the moment its picture is painted. A second run without the camera's pacing,
// with at most two pictures in flight, gives the most the path could carry.
//
// Usage: bench_preview [seconds per run, default 10]; run with QT_QPA_PLATFORM=offscreen.
#include "bench/cputime.h"
#include "preview/framecapture.h"
#include "preview/videostreamthread.h"
#include "preview/workerthread.h"
#include "sim/simcamera.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QThread>
#include <QTimer>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <numeric>
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

struct Summary {
    double mean = 0;
    double median = 0;
    double p95 = 0;
};

Summary summarise(std::vector<double> values) {
    Summary s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    s.mean = std::accumulate(values.begin(), values.end(), 0.0) / values.size();
    s.median = values[values.size() / 2];
    s.p95 = values[std::min(values.size() - 1, values.size() * 95 / 100)];
    return s;
}

// What the run records, shared by the capture on the worker thread and the receiver.
struct Record {
    std::mutex mutex;
    std::condition_variable shownChanged;
    bool measuring = false;
    bool closing = false;
    std::vector<SteadyClock::time_point> availableAt; // per frame read, in order
    std::vector<double> decodeCpu;                    // worker, per frame
    std::vector<double> iterationCpu;                 // worker, read to read
    std::vector<double> scaleCpu;                     // main thread, per picture
    std::vector<double> paintCpu;                     // main thread, per picture
    std::vector<double> scaleWall;                    // main thread, per picture
    std::vector<double> latency;                      // available to painted
    long long framesRead = 0;
    long long picturesShown = 0;
};

// A camera delivering MJPG: frames become available at the camera's rate and are decoded into
// the reader's buffer, as the V4L2 back end does for MJPG.
class MjpgCamera final : public FrameCapture {
public:
    MjpgCamera(const std::vector<std::vector<uchar>> &jpegs, Record &record, bool paced,
               int maxInFlight)
        : pictures(jpegs)
        , rec(record)
        , pacing(paced)
        , inFlightLimit(maxInFlight) {}

    bool isOpened() const override { return true; }
    double get(int property) const override {
        switch (property) {
        case cv::CAP_PROP_FPS:
            return 30.0;
        case cv::CAP_PROP_FRAME_WIDTH:
            return frameWidth;
        case cv::CAP_PROP_FRAME_HEIGHT:
            return frameHeight;
        case cv::CAP_PROP_FOURCC:
            return cv::VideoWriter::fourcc('M', 'J', 'P', 'G');
        default:
            return 0.0;
        }
    }
    bool set(int, double) override { return false; }

    bool read(cv::Mat &frame) override {
        const double entryCpu = threadCpuMs();
        if (lastEntryCpu >= 0) {
            std::lock_guard<std::mutex> lock(rec.mutex);
            if (rec.measuring)
                rec.iterationCpu.push_back(entryCpu - lastEntryCpu);
        }
        lastEntryCpu = entryCpu;

        if (pacing) {
            // The camera's next frame; a reader that fell behind gets the newest at once.
            const auto now = SteadyClock::now();
            if (nextFrame == SteadyClock::time_point())
                nextFrame = now;
            if (nextFrame > now)
                std::this_thread::sleep_until(nextFrame);
            nextFrame = std::max(nextFrame, now) + period;
        } else if (inFlightLimit > 0) {
            std::unique_lock<std::mutex> lock(rec.mutex);
            rec.shownChanged.wait(lock, [&] {
                return rec.closing || rec.framesRead - rec.picturesShown < inFlightLimit;
            });
        }
        const auto available = SteadyClock::now();
        const double before = threadCpuMs();
        // Decodes into the reader's buffer, reused from frame to frame.
        cv::imdecode(pictures[frameNumber++ % pictures.size()], cv::IMREAD_COLOR, &frame);
        const double decode = threadCpuMs() - before;

        std::lock_guard<std::mutex> lock(rec.mutex);
        rec.availableAt.push_back(available);
        ++rec.framesRead;
        if (rec.measuring)
            rec.decodeCpu.push_back(decode);
        // Measured from here to the next read: the rest of this frame's way through the worker.
        lastEntryCpu = threadCpuMs();
        return !frame.empty();
    }

private:
    const std::vector<std::vector<uchar>> &pictures;
    Record &rec;
    bool pacing;
    int inFlightLimit;
    const std::chrono::nanoseconds period{1000000000LL / 30};
    SteadyClock::time_point nextFrame;
    std::size_t frameNumber = 0;
    double lastEntryCpu = -1;
};

// The window's side: scale each picture into the 960 x 540 preview surface and paint it.
class PreviewSurface : public QObject {
    Q_OBJECT
public:
    explicit PreviewSurface(Record &record)
        : rec(record)
        , surface(960, 540, QImage::Format_ARGB32_Premultiplied) {}

public slots:
    void slotOnReader(QPixmap pixmap) {
        const auto w0 = SteadyClock::now();
        const double c0 = threadCpuMs();
        const QPixmap scaled =
            pixmap.scaled(QSize(960, 540), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        const double c1 = threadCpuMs();
        const auto w1 = SteadyClock::now();
        QPainter painter(&surface);
        painter.drawPixmap(0, 0, scaled);
        painter.end();
        const double c2 = threadCpuMs();
        const auto shown = SteadyClock::now();

        {
            std::lock_guard<std::mutex> lock(rec.mutex);
            const auto index = static_cast<std::size_t>(rec.picturesShown++);
            if (rec.measuring) {
                rec.scaleCpu.push_back(c1 - c0);
                rec.paintCpu.push_back(c2 - c1);
                rec.scaleWall.push_back(msBetween(w0, w1));
                if (index < rec.availableAt.size())
                    rec.latency.push_back(msBetween(rec.availableAt[index], shown));
            }
        }
        rec.shownChanged.notify_all();
    }

private:
    Record &rec;
    QImage surface;
};

std::vector<std::vector<uchar>> makePictures() {
    SimCamera camera{SimCameraConfig()};
    std::vector<std::vector<uchar>> jpegs;
    std::lock_guard<std::recursive_mutex> guard(simMutex());
    for (int i = 0; i < pictureCount; ++i) {
        SimPosition position;
        position.pan_deg = -60 + 15 * i;
        position.zoom = 100 + 50 * i;
        camera.setPosition(position);
        cv::Mat picture;
        camera.renderFrame(picture, frameWidth, frameHeight, 15LL * i);
        std::vector<uchar> jpeg;
        cv::imencode(".jpg", picture, jpeg, {cv::IMWRITE_JPEG_QUALITY, jpegQuality});
        jpegs.push_back(std::move(jpeg));
    }
    return jpegs;
}

void runOnce(const char *title, const std::vector<std::vector<uchar>> &jpegs, bool paced,
             int seconds) {
    Record record;
    installFrameCaptureFactory(
        [&](int) { return std::make_unique<MjpgCamera>(jpegs, record, paced, paced ? 0 : 2); });
    PreviewSurface surface(record);

    auto *thread = new QThread;
    auto *worker = new VideoStreamThread(0);
    worker->moveToThread(thread);
    connectWorkerThread(worker, thread);
    QObject::connect(worker, SIGNAL(onReader(QPixmap)), &surface, SLOT(slotOnReader(QPixmap)));
    thread->start(QThread::InheritPriority);

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
    {
        // No capture may wait for a receiver that has stopped looking; then stop as the window
        // does.
        std::lock_guard<std::mutex> lock(record.mutex);
        record.closing = true;
    }
    record.shownChanged.notify_all();
    stopWorkerThread(worker, thread);
    installFrameCaptureFactory(nullptr);

    const Summary decode = summarise(record.decodeCpu);
    const Summary iteration = summarise(record.iterationCpu);
    const Summary scale = summarise(record.scaleCpu);
    const Summary paint = summarise(record.paintCpu);
    const Summary scaleWall = summarise(record.scaleWall);
    const Summary latency = summarise(record.latency);
    // Whatever the two threads did not spend themselves ran on helper threads (Qt's image
    // scaling and conversion spread large images over its thread pool).
    const double perFrame = shown > 0 ? cpu / shown : 0.0;
    const double helpers = perFrame - (decode.mean + iteration.mean) - (scale.mean + paint.mean);
    std::printf("\n%s\n", title);
    std::printf("  frames per second sustained : %.1f (%lld pictures in %.1f s)\n",
                shown * 1000.0 / elapsed, shown, elapsed / 1000.0);
    std::printf("  worker CPU per frame        : %.2f ms mean, %.2f ms median "
                "(of which MJPG decode %.2f ms mean; convert and pixmap %.2f ms mean)\n",
                decode.mean + iteration.mean, decode.median + iteration.median, decode.mean,
                iteration.mean);
    std::printf("  main thread CPU per frame   : %.2f ms mean, %.2f ms median "
                "(smooth scaling %.2f ms mean, painting %.2f ms mean)\n",
                scale.mean + paint.mean, scale.median + paint.median, scale.mean, paint.mean);
    std::printf("  smooth scaling, wall time   : %.2f ms mean, %.2f ms 95th percentile\n",
                scaleWall.mean, scaleWall.p95);
    std::printf("  helper threads CPU per frame: %.2f ms (process CPU per frame %.2f ms)\n",
                std::max(0.0, helpers), perFrame);
    std::printf("  latency available->painted  : %.1f ms median, %.1f ms 95th percentile, "
                "%.1f ms mean\n",
                latency.median, latency.p95, latency.mean);
    std::printf("  process CPU                 : %.0f %% of one core\n", 100.0 * cpu / elapsed);
}
} // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    const auto jpegs = makePictures();
    std::size_t bytes = 0;
    for (const auto &jpeg : jpegs)
        bytes += jpeg.size();
    std::printf("Preview path: %dx%d MJPG (%d test pictures, quality %d, %.0f KiB each on "
                "average), %d s per run, %d hardware threads\n",
                frameWidth, frameHeight, pictureCount, jpegQuality, bytes / 1024.0 / jpegs.size(),
                seconds, QThread::idealThreadCount());

    {
        // The simulated camera paints every frame it delivers.
        SimCamera camera{SimCameraConfig()};
        std::lock_guard<std::recursive_mutex> guard(simMutex());
        cv::Mat frame;
        const int frames = 90;
        const auto start = SteadyClock::now();
        for (int i = 0; i < frames; ++i)
            camera.renderFrame(frame, frameWidth, frameHeight, i);
        std::printf("Simulated camera picture: %.2f ms per %dx%d frame\n",
                    msBetween(start, SteadyClock::now()) / frames, frameWidth, frameHeight);
    }

    runOnce("Camera at 30 frames per second:", jpegs, true, seconds);
    runOnce("Unpaced (at most two pictures in flight), the most the path carries:", jpegs, false,
            seconds);
    return 0;
}

#include "bench_preview.moc"
