#include "common/clock.h"
#include "preview/framecapture.h"
#include "preview/videostreamthread.h"
#include "preview/workerthread.h"
#include "sim/simulatedbus.h"
#include "tests/testsupport/testsupport.h"

#include <QPointer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <opencv2/videoio.hpp>

#include <atomic>
#include <map>
#include <memory>

namespace {
const QString openFailed = QStringLiteral("Open camera failed!");
const QString notConverted = QStringLiteral("ERROR: Mat could not be converted to QImage.");
const QString exitMessage = QStringLiteral("Exit video stream thread.");
const int mjpg = cv::VideoWriter::fourcc('M', 'J', 'P', 'G');
const int yuyv = cv::VideoWriter::fourcc('Y', 'U', 'Y', 'V');

QString propertyName(int property) {
    switch (property) {
    case cv::CAP_PROP_FPS:
        return QStringLiteral("fps");
    case cv::CAP_PROP_FRAME_WIDTH:
        return QStringLiteral("width");
    case cv::CAP_PROP_FRAME_HEIGHT:
        return QStringLiteral("height");
    case cv::CAP_PROP_FOURCC:
        return QStringLiteral("fourcc");
    default:
        return QString::number(property);
    }
}

// A capture that records every property access and whose reads follow a script.
class ScriptedCapture final : public FrameCapture {
public:
    struct Shared {
        QStringList calls;
        std::atomic<int> reads{0};
    };

    ScriptedCapture(std::shared_ptr<Shared> log, bool opened, std::map<int, double> properties)
        : shared(std::move(log))
        , open(opened)
        , values(std::move(properties)) {}

    bool isOpened() const override { return open; }
    double get(int property) const override {
        shared->calls << QStringLiteral("get %1").arg(propertyName(property));
        const auto it = values.find(property);
        return it == values.end() ? 0.0 : it->second;
    }
    bool set(int property, double value) override {
        shared->calls
            << QStringLiteral("set %1 %2").arg(propertyName(property)).arg(value, 0, 'f', 0);
        values[property] = value;
        return open;
    }
    bool read(cv::Mat &frame) override {
        const int n = ++shared->reads;
        if (!open || n > deliver) {
            frame.release();
            return false;
        }
        // The same buffer every time, as a capture back end reuses its output.
        frame.create(4, 6, frameType);
        frame.setTo(cv::Scalar(n, n, n, 255));
        return true;
    }

    int deliver = 0; // frames to deliver before every further read fails
    int frameType = CV_8UC3;

private:
    std::shared_ptr<Shared> shared;
    bool open;
    std::map<int, double> values;
};

// Forwards to a capture of the simulated bus; counts reads and can hold one read back.
class ObservedCapture final : public FrameCapture {
public:
    struct Shared {
        std::atomic<int> goodReads{0};
        std::atomic<int> failedReads{0};
        int holdRead = -1; // the number of the read (from 1) to hold until released
        QSemaphore entered;
        QSemaphore proceed;
    };

    ObservedCapture(std::unique_ptr<FrameCapture> capture, std::shared_ptr<Shared> log)
        : inner(std::move(capture))
        , shared(std::move(log)) {}

    bool isOpened() const override { return inner->isOpened(); }
    double get(int property) const override { return inner->get(property); }
    bool set(int property, double value) override { return inner->set(property, value); }
    bool read(cv::Mat &frame) override {
        if (++reads == shared->holdRead) {
            shared->entered.release();
            shared->proceed.acquire();
        }
        const bool ok = inner->read(frame);
        ++(ok ? shared->goodReads : shared->failedReads);
        return ok;
    }

private:
    std::unique_ptr<FrameCapture> inner;
    std::shared_ptr<Shared> shared;
    int reads = 0;
};

class FactoryScope {
public:
    explicit FactoryScope(FrameCaptureFactory factory) {
        installFrameCaptureFactory(std::move(factory));
    }
    ~FactoryScope() { installFrameCaptureFactory(nullptr); }
    FactoryScope(const FactoryScope &) = delete;
    FactoryScope &operator=(const FactoryScope &) = delete;
};

// Receives the pictures on the thread it lives on, as the window does.
class PictureSink : public QObject {
    Q_OBJECT
public:
    QList<QPixmap> pictures;
    bool allOnOwnThread = true;

public slots:
    void slotOnReader(QPixmap pixmap) {
        allOnOwnThread = allOnOwnThread && QThread::currentThread() == thread();
        pictures << pixmap;
        emit taken();
    }

signals:
    void taken();
};

// Re-emits a worker's signal on the thread it lives on, where a QSignalSpy can wait for it.
class Relay : public QObject {
    Q_OBJECT
signals:
    void fired();
};

// A worker on its thread, wired as the window wires it.
struct Preview {
    QPointer<VideoStreamThread> worker;
    QPointer<QThread> thread;
    PictureSink sink;
    Relay started;
    Relay finished;

    void create(int index) {
        thread = new QThread;
        worker = new VideoStreamThread(index);
        worker->moveToThread(thread);
        connectWorkerThread(worker.data(), thread.data());
        QVERIFY(QObject::connect(worker, SIGNAL(onReader(QPixmap)), &sink,
                                 SLOT(slotOnReader(QPixmap))));
        QObject::connect(worker, &VideoStreamThread::workStart, &started, &Relay::fired);
        QObject::connect(worker, &VideoStreamThread::workFinished, &finished, &Relay::fired);
    }
    void run() { thread->start(QThread::InheritPriority); }
    void stop() { stopWorkerThread(worker.data(), thread.data()); }
};

struct SimSetup {
    SimulatedBus bus;
    std::shared_ptr<SimCamera> camera;
    SimSetup() {
        bus.install();
        camera = bus.addCamera(SimCameraConfig());
    }
};

void setFrameType(SimCamera &camera, int type) {
    SimCameraFaults faults = camera.cameraFaults();
    faults.frameType = type;
    camera.setCameraFaults(faults);
}

int countOf(const MessageCapture &capture, const QString &text) {
    return static_cast<int>(capture.messages().count(text));
}

// The simulated camera's capture node: the first node on the bus.
constexpr int simIndex = 0;
} // namespace

class TstVideoStreamThread : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void settingsAskedInOrder_data();
    void settingsAskedInOrder();
    void indexPassedUnchanged_data();
    void indexPassedUnchanged();
    void noCaptureIsReportedAndRunsIdle();

    void matToImage_data();
    void matToImage();
    void emptyMatGivesNullImageSilently();

    void framesReachReceiverOnItsThread_data();
    void framesReachReceiverOnItsThread();
    void unsupportedFramesAreReportedAndLoopGoesOn();
    void picturesDoNotShareTheFrameBuffer_data();
    void picturesDoNotShareTheFrameBuffer();

    void stopReturnsAfterThreadEnded();
    void stopBeforeStartEndsAtFirstIteration();
    void unplugMidReadFailsTheReadAndStopStillEnds();
    void failedReadsWaitOneFrameTime();
    void startStopCyclesLeakNothing();

    void nativeCaptureOfMissingDeviceIsNotOpened();
};

void TstVideoStreamThread::initTestCase() {
    // Qt spreads the conversion of large images over its global pool; with no idle expiry its
    // threads leave as soon as they are done and do not blur the thread count.
    QThreadPool::globalInstance()->setExpiryTimeout(0);
}

void TstVideoStreamThread::settingsAskedInOrder_data() {
    QTest::addColumn<bool>("opened");
    QTest::addColumn<double>("fps");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("fourcc");
    QTest::addColumn<QStringList>("calls");

    const QString gets[] = {"get fps", "get width", "get height", "get fourcc"};
    const QString setFps = "set fps 30";
    const QString setSize[] = {"set width 1920", "set height 1080"};
    const QString setFourcc = QStringLiteral("set fourcc %1").arg(mjpg);

    QTest::newRow("already 30 fps 1920x1080 MJPG")
        << true << 30.0 << 1920.0 << 1080.0 << double(mjpg)
        << QStringList{gets[0], gets[1], gets[2], gets[3]};
    QTest::newRow("1920x720 gets both written")
        << true << 30.0 << 1920.0 << 720.0 << double(mjpg)
        << QStringList{gets[0], gets[1], gets[2], setSize[0], setSize[1], gets[3]};
    QTest::newRow("1280x1080 gets both written")
        << true << 30.0 << 1280.0 << 1080.0 << double(mjpg)
        << QStringList{gets[0], gets[1], gets[2], setSize[0], setSize[1], gets[3]};
    QTest::newRow("29.97 fps truncates to 29")
        << true << 29.97 << 1920.0 << 1080.0 << double(mjpg)
        << QStringList{gets[0], setFps, gets[1], gets[2], gets[3]};
    QTest::newRow("30.5 fps truncates to 30") << true << 30.5 << 1920.0 << 1080.0 << double(mjpg)
                                              << QStringList{gets[0], gets[1], gets[2], gets[3]};
    QTest::newRow("YUYV only") << true << 30.0 << 1920.0 << 1080.0 << double(yuyv)
                               << QStringList{gets[0], gets[1], gets[2], gets[3], setFourcc};
    QTest::newRow("nothing as wanted") << true << 15.0 << 640.0 << 480.0 << double(yuyv)
                                       << QStringList{gets[0],    setFps,     gets[1], gets[2],
                                                      setSize[0], setSize[1], gets[3], setFourcc};
    QTest::newRow("not opened") << false << 0.0 << 0.0 << 0.0 << 0.0 << QStringList{};
}

void TstVideoStreamThread::settingsAskedInOrder() {
    QFETCH(bool, opened);
    QFETCH(double, fps);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(double, fourcc);
    QFETCH(QStringList, calls);

    auto log = std::make_shared<ScriptedCapture::Shared>();
    FactoryScope scope([&](int) {
        return std::make_unique<ScriptedCapture>(
            log, opened,
            std::map<int, double>{{cv::CAP_PROP_FPS, fps},
                                  {cv::CAP_PROP_FRAME_WIDTH, width},
                                  {cv::CAP_PROP_FRAME_HEIGHT, height},
                                  {cv::CAP_PROP_FOURCC, fourcc}});
    });
    MessageCapture messages;
    VideoStreamThread worker(0);
    QCOMPARE(log->calls, calls);
    QCOMPARE(messages.contains(openFailed), !opened);
    QCOMPARE(log->reads.load(), 0);
}

void TstVideoStreamThread::indexPassedUnchanged_data() {
    QTest::addColumn<int>("index");
    QTest::newRow("-1") << -1;
    QTest::newRow("0") << 0;
    QTest::newRow("3") << 3;
}

void TstVideoStreamThread::indexPassedUnchanged() {
    QFETCH(int, index);
    int asked = -100;
    FactoryScope scope([&](int i) {
        asked = i;
        return std::unique_ptr<FrameCapture>();
    });
    MessageCapture messages;
    VideoStreamThread worker(index);
    QCOMPARE(asked, index);
    QVERIFY(messages.contains(openFailed));
}

void TstVideoStreamThread::noCaptureIsReportedAndRunsIdle() {
    // Index -1, as when no capture device matched the camera: the worker runs, shows nothing
    // and still stops.
    SimSetup sim;
    VirtualClock clock;
    ScopedClock useClock(clock);
    MessageCapture messages;
    Preview preview;
    preview.create(-1);
    QVERIFY(messages.contains(openFailed));
    QSignalSpy started(&preview.started, &Relay::fired);
    preview.run();
    QVERIFY(started.wait());
    QTRY_VERIFY(clock.slept() >= Milliseconds(10 * 33));
    preview.stop();
    QVERIFY(preview.worker.isNull());
    QCoreApplication::processEvents();
    QCOMPARE(preview.sink.pictures.size(), 0);
    QCOMPARE(sim.bus.openHandles(), 0);
}

void TstVideoStreamThread::matToImage_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("roi");
    QTest::addColumn<int>("format"); // QImage::Format_Invalid: not convertible
    QTest::addColumn<bool>("shares");

    QTest::newRow("8UC1") << CV_8UC1 << false << int(QImage::Format_Grayscale8) << true;
    QTest::newRow("8UC1 region") << CV_8UC1 << true << int(QImage::Format_Grayscale8) << true;
    QTest::newRow("8UC3") << CV_8UC3 << false << int(QImage::Format_RGB888) << false;
    QTest::newRow("8UC3 region") << CV_8UC3 << true << int(QImage::Format_RGB888) << false;
    QTest::newRow("8UC4") << CV_8UC4 << false << int(QImage::Format_ARGB32) << true;
    QTest::newRow("8UC4 region") << CV_8UC4 << true << int(QImage::Format_ARGB32) << true;
    QTest::newRow("16UC1") << CV_16UC1 << false << int(QImage::Format_Invalid) << false;
    QTest::newRow("8UC2") << CV_8UC2 << false << int(QImage::Format_Invalid) << false;
    QTest::newRow("8SC1") << CV_8SC1 << false << int(QImage::Format_Invalid) << false;
    QTest::newRow("32FC3") << CV_32FC3 << false << int(QImage::Format_Invalid) << false;
}

void TstVideoStreamThread::matToImage() {
    QFETCH(int, type);
    QFETCH(bool, roi);
    QFETCH(int, format);
    QFETCH(bool, shares);

    // Odd sizes, so that rows are not padded to four bytes; a region has a step wider than its
    // row.
    cv::Mat whole(9, 13, type);
    const int channels = whole.channels();
    if (whole.depth() == CV_8U) {
        for (int y = 0; y < whole.rows; ++y) {
            for (int x = 0; x < whole.cols; ++x) {
                for (int c = 0; c < channels; ++c)
                    whole.ptr<uchar>(y)[x * channels + c] = uchar((x * 17 + y * 5 + c * 61) % 256);
            }
        }
    } else {
        whole.setTo(cv::Scalar::all(7));
    }
    const cv::Mat mat = roi ? whole(cv::Rect(2, 1, 7, 5)) : whole;

    MessageCapture messages;
    const QImage image = VideoStreamThread::matToImage(mat);

    if (format == QImage::Format_Invalid) {
        QVERIFY(image.isNull());
        QCOMPARE(messages.messages(), QStringList{notConverted});
        return;
    }
    QVERIFY(messages.messages().isEmpty());
    QCOMPARE(int(image.format()), format);
    QCOMPARE(image.width(), mat.cols);
    QCOMPARE(image.height(), mat.rows);
    QCOMPARE(image.constBits() == mat.data, shares);
    if (shares)
        QCOMPARE(qsizetype(image.bytesPerLine()), qsizetype(mat.step));
    for (int y = 0; y < mat.rows; ++y) {
        for (int x = 0; x < mat.cols; ++x) {
            const uchar *p = mat.ptr<uchar>(y) + x * channels;
            QRgb expected = 0;
            if (channels == 1)
                expected = qRgb(p[0], p[0], p[0]);
            else if (channels == 3)
                expected = qRgb(p[2], p[1], p[0]);
            else
                expected = qRgba(p[2], p[1], p[0], p[3]);
            QCOMPARE(image.pixel(x, y), expected);
        }
    }
    if (!shares) {
        // A copy: the frame's buffer may be overwritten at once.
        const QRgb before = image.pixel(0, 0);
        whole.setTo(cv::Scalar::all(255));
        QCOMPARE(image.pixel(0, 0), before);
    }
}

void TstVideoStreamThread::emptyMatGivesNullImageSilently() {
    MessageCapture messages;
    QVERIFY(VideoStreamThread::matToImage(cv::Mat()).isNull());
    QVERIFY(messages.messages().isEmpty());
}

void TstVideoStreamThread::framesReachReceiverOnItsThread_data() {
    QTest::addColumn<int>("type");
    QTest::newRow("8UC3") << CV_8UC3;
    QTest::newRow("8UC1") << CV_8UC1;
    QTest::newRow("8UC4") << CV_8UC4;
}

void TstVideoStreamThread::framesReachReceiverOnItsThread() {
    QFETCH(int, type);
    SimSetup sim;
    setFrameType(*sim.camera, type);
    MessageCapture messages;
    Preview preview;
    preview.create(simIndex);
    std::atomic<bool> emittedOnWorkerThread{true};
    QThread *const workerThread = preview.thread;
    QObject::connect(
        preview.worker, &VideoStreamThread::onReader, preview.worker,
        [&](const QPixmap &) {
            if (QThread::currentThread() != workerThread)
                emittedOnWorkerThread = false;
        },
        Qt::DirectConnection);
    QSignalSpy taken(&preview.sink, &PictureSink::taken);
    preview.run();
    QTRY_VERIFY(preview.sink.pictures.size() >= 3);
    preview.stop();

    QVERIFY(emittedOnWorkerThread);
    QVERIFY(preview.sink.allOnOwnThread);
    const QList<QPixmap> pictures = preview.sink.pictures;
    for (const QPixmap &picture : pictures)
        QCOMPARE(picture.size(), QSize(1920, 1080)); // the worker asked for it
    // The picture moves from frame to frame.
    QVERIFY(pictures[0].toImage() != pictures[1].toImage());
    // The first frame's second bar is yellow: red and blue are not swapped on the way.
    const QRgb bar = pictures[0].toImage().pixel(1920 * 3 / 14, 100);
    if (type == CV_8UC1) {
        QCOMPARE(qRed(bar), qBlue(bar));
        QVERIFY(qRed(bar) > 100);
    } else {
        QVERIFY2(qRed(bar) > 150 && qGreen(bar) > 150 && qBlue(bar) < 50,
                 qPrintable(QString::number(bar, 16)));
    }
    QVERIFY(!messages.contains(notConverted));
    QVERIFY(!messages.contains(QStringLiteral("not safe")));
    QCOMPARE(sim.bus.openHandles(), 0);
}

void TstVideoStreamThread::unsupportedFramesAreReportedAndLoopGoesOn() {
    SimSetup sim;
    setFrameType(*sim.camera, CV_16UC1);
    MessageCapture messages;
    Preview preview;
    preview.create(simIndex);
    preview.run();
    QTRY_VERIFY(countOf(messages, notConverted) >= 3);
    preview.stop();
    QCoreApplication::processEvents();
    QCOMPARE(preview.sink.pictures.size(), 0);
    QCOMPARE(countOf(messages, exitMessage), 1);
}

void TstVideoStreamThread::picturesDoNotShareTheFrameBuffer_data() {
    QTest::addColumn<int>("type");
    QTest::newRow("8UC1") << CV_8UC1;
    QTest::newRow("8UC3") << CV_8UC3;
    QTest::newRow("8UC4") << CV_8UC4;
}

void TstVideoStreamThread::picturesDoNotShareTheFrameBuffer() {
    // Frames arrive in the same buffer, each with the value of its number; pictures queued while
    // later frames overwrite that buffer must keep their own value.
    QFETCH(int, type);
    const int frames = 20;
    auto log = std::make_shared<ScriptedCapture::Shared>();
    FactoryScope scope([&](int) {
        auto capture = std::make_unique<ScriptedCapture>(
            log, true,
            std::map<int, double>{{cv::CAP_PROP_FPS, 30.0},
                                  {cv::CAP_PROP_FRAME_WIDTH, 1920.0},
                                  {cv::CAP_PROP_FRAME_HEIGHT, 1080.0},
                                  {cv::CAP_PROP_FOURCC, double(mjpg)}});
        capture->deliver = frames;
        capture->frameType = type;
        return capture;
    });
    Preview preview;
    preview.create(0);
    preview.run();
    // Let the worker run past its last frame before any picture is looked at.
    QTRY_VERIFY(log->reads.load() > frames);
    QTRY_COMPARE(preview.sink.pictures.size(), frames);
    preview.stop();
    for (int i = 0; i < frames; ++i) {
        const QRgb pixel = preview.sink.pictures[i].toImage().pixel(3, 2);
        QCOMPARE(qRed(pixel), i + 1);
        QCOMPARE(qBlue(pixel), i + 1);
    }
}

void TstVideoStreamThread::stopReturnsAfterThreadEnded() {
    // Real frame pacing: every read blocks for a frame time with the mutex held, so stop() has to
    // get in between two reads.
    SimSetup sim;
    MessageCapture messages;
    Preview preview;
    preview.create(simIndex);
    QThread *const thread = preview.thread;
    std::atomic<int> threadFinished{0};
    QObject::connect(
        thread, &QThread::finished, thread, [&] { ++threadFinished; }, Qt::DirectConnection);
    preview.run();
    QTRY_VERIFY(preview.sink.pictures.size() >= 2);

    preview.stop();
    // Nothing has been processed on this thread since: all of it happened before stop returned.
    QCOMPARE(threadFinished.load(), 1);
    QVERIFY(preview.worker.isNull());
    QVERIFY(preview.thread.isNull());
    QCOMPARE(sim.bus.openHandles(), 0);
    QCOMPARE(countOf(messages, exitMessage), 1);
    // Pictures already queued still arrive, and no more after them.
    QSignalSpy finished(&preview.finished, &Relay::fired);
    QVERIFY(finished.wait());
    const int delivered = preview.sink.pictures.size();
    QCoreApplication::processEvents();
    QCOMPARE(preview.sink.pictures.size(), delivered);
}

void TstVideoStreamThread::stopBeforeStartEndsAtFirstIteration() {
    auto log = std::make_shared<ScriptedCapture::Shared>();
    FactoryScope scope([&](int) {
        auto capture = std::make_unique<ScriptedCapture>(log, true, std::map<int, double>{});
        capture->deliver = 1000;
        return capture;
    });
    MessageCapture messages;
    Preview preview;
    preview.create(0);
    QSignalSpy started(&preview.started, &Relay::fired);
    QSignalSpy finished(&preview.finished, &Relay::fired);
    preview.worker->stop();
    preview.run();
    // Left to itself, the wiring ends the thread and deletes both objects.
    QTRY_VERIFY(preview.thread.isNull());
    QVERIFY(preview.worker.isNull());
    QCOMPARE(started.count(), 1);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(log->reads.load(), 0);
    QCOMPARE(preview.sink.pictures.size(), 0);
    QCOMPARE(countOf(messages, exitMessage), 1);
}

void TstVideoStreamThread::unplugMidReadFailsTheReadAndStopStillEnds() {
    SimSetup sim;
    auto observed = std::make_shared<ObservedCapture::Shared>();
    observed->holdRead = 3;
    FactoryScope scope([&](int index) -> std::unique_ptr<FrameCapture> {
        auto capture = sim.bus.openCapture(index);
        if (!capture)
            return nullptr;
        return std::make_unique<ObservedCapture>(std::move(capture), observed);
    });
    Preview preview;
    preview.create(simIndex);
    preview.run();

    // The third read has begun; the camera goes away before it delivers.
    observed->entered.acquire();
    const int goodBefore = observed->goodReads.load();
    QCOMPARE(goodBefore, 2);
    sim.bus.unplug(sim.camera);
    observed->proceed.release();

    QTRY_VERIFY(observed->failedReads.load() >= 3);
    QCOMPARE(observed->goodReads.load(), goodBefore);
    preview.stop();
    QVERIFY(preview.worker.isNull());
    QCOMPARE(sim.bus.openHandles(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(preview.sink.pictures.size(), goodBefore);
}

void TstVideoStreamThread::failedReadsWaitOneFrameTime() {
    VirtualClock clock;
    ScopedClock useClock(clock);
    auto log = std::make_shared<ScriptedCapture::Shared>();
    FactoryScope scope([&](int) {
        return std::make_unique<ScriptedCapture>(log, false, std::map<int, double>{});
    });
    Preview preview;
    preview.create(0);
    preview.run();
    QTRY_VERIFY(log->reads.load() >= 20);
    preview.stop();
    const int reads = log->reads.load();
    QVERIFY2(
        clock.slept() >= Milliseconds(33) * (reads - 1),
        qPrintable(QStringLiteral("%1 ms for %2 reads").arg(clock.slept().count()).arg(reads)));
    QCOMPARE(preview.sink.pictures.size(), 0);
}

void TstVideoStreamThread::startStopCyclesLeakNothing() {
    SimSetup sim;
    VirtualClock clock; // frames come as fast as they can be painted
    ScopedClock useClock(clock);
    MessageCapture messages;

    const int baseline = threadsOutsideThePool();
    const int cycles = 240;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        Preview preview;
        preview.create(simIndex);
        QCOMPARE(sim.bus.openHandles(), 1);
        preview.run();
        switch (cycle % 3) {
        case 0: // at once, usually before start() has run
            break;
        case 1: {
            QSignalSpy started(&preview.started, &Relay::fired);
            QVERIFY(started.count() > 0 || started.wait());
            break;
        }
        default: {
            QSignalSpy taken(&preview.sink, &PictureSink::taken);
            QVERIFY(taken.wait());
            break;
        }
        }
        preview.stop();
        QVERIFY(preview.worker.isNull());
        QVERIFY(preview.thread.isNull());
        QCOMPARE(sim.bus.openHandles(), 0);
        QCoreApplication::processEvents();
    }
    // An ended thread leaves the process list a little after QThread::wait() has returned. The
    // count may also fall below the start, when threads of earlier tests leave meanwhile.
    QTRY_VERIFY2(
        threadsOutsideThePool() <= baseline,
        qPrintable(
            QStringLiteral("%1 threads, %2 before").arg(threadsOutsideThePool()).arg(baseline)));
    QCOMPARE(countOf(messages, exitMessage), cycles);
}

void TstVideoStreamThread::nativeCaptureOfMissingDeviceIsNotOpened() {
    auto capture = openNativeFrameCapture(63);
    QVERIFY(capture);
    QVERIFY(!capture->isOpened());
    cv::Mat frame(2, 2, CV_8UC3);
    QVERIFY(!capture->read(frame));
    QVERIFY(frame.empty());
}

QTEST_MAIN(TstVideoStreamThread)
#include "tst_videostreamthread.moc"
