// The preview worker on its own thread, wired as the window wires it: the capture settings it
// asks for, one picture per frame of each supported kind, its stop paths and the pause after a
// failed read; and an MJPG camera's frames decoded just large enough for the surface, damaged ones
// skipped, a camera without MJPG still previewed.
#include "common/workerthread.h"
#include "preview/mjpgdecoder.h"
#include "preview/videostreamthread.h"
#include "testsupport/simfixture.h"
#include "testsupport/testsupport.h"

#include <QPointer>
#include <QtTest>

#include <opencv2/videoio.hpp>

#include <map>

namespace {
// What the scripted captures are given and what they record: they deliver `frames` frames of
// `type` (frame n filled with n * 10) and then fail every read.
struct Script {
    bool opened = true;
    int type = CV_8UC3;
    int frames = 0;
    std::map<int, double> properties;
    QStringList calls; // the captures opened and the properties asked and set
    std::atomic<int> reads{0};
    std::atomic<bool> released{false};
};

class ScriptedCapture final : public FrameCapture {
public:
    explicit ScriptedCapture(std::shared_ptr<Script> shared)
        : script(std::move(shared)) {}
    ~ScriptedCapture() override { script->released = true; }
    bool isOpened() const override { return script->opened; }
    double get(int property) const override {
        script->calls << QString("get %1").arg(property);
        return script->properties.count(property) ? script->properties.at(property) : 0.0;
    }
    bool set(int property, double value) override {
        script->calls << QString("set %1 %2").arg(property).arg(value);
        return true;
    }
    bool read(cv::Mat &frame) override {
        const int n = ++script->reads;
        if (n > script->frames)
            return frame.release(), false;
        frame.create(2, 3, script->type); // the same buffer every time, as capture back ends do
        frame.setTo(cv::Scalar(n * 10, n * 20, n * 30, 255));
        return true;
    }

private:
    std::shared_ptr<Script> script;
};

// A worker on its thread, started and stopped by the helper the window uses, whose pictures
// arrive here.
struct Run : QObject {
    explicit Run(int index = 0) {
        worker = new VideoStreamThread(index);
        connect(worker, &VideoStreamThread::onReader, this,
                [this](const QPixmap &picture) { pictures << picture.toImage(); });
    }
    void start() {
        threads.start(worker.data());
        thread = threads.thread();
    }
    void stop() {
        threads.stop();
        QCoreApplication::processEvents(); // the pictures still queued
    }
    QPointer<VideoStreamThread> worker;
    WorkerThread threads;
    QPointer<QThread> thread;
    QList<QImage> pictures;
};

const double mjpg = cv::VideoWriter::fourcc('M', 'J', 'P', 'G');

bool isYellow(const QImage &picture) {
    // The second of the colour bars of the simulated camera's picture, near the top.
    const QRgb bar = picture.pixel(picture.width() * 3 / 14, picture.height() / 10);
    return qRed(bar) > 150 && qGreen(bar) > 150 && qBlue(bar) < 60;
}
} // namespace

class TestVideoStream : public QObject {
    Q_OBJECT

    std::shared_ptr<Script> log;

private slots:
    void init() {
        log = std::make_shared<Script>();
        installFrameCaptureFactory([this](int index) {
            log->calls << QString("open %1").arg(index);
            return std::make_unique<ScriptedCapture>(log);
        });
    }
    void cleanup() { installFrameCaptureFactory(nullptr); }

    void captureSettings_data() {
        // current: fps, width, height, fourcc
        addColumns<bool, QList<double>, QString>({"open", "current", "calls"});
        const QString wanted = QString("open 7, get 5, set 5 30, get 3, get 4, set 3 1920, "
                                       "set 4 1080, get 6, set 6 %1")
                                   .arg(mjpg);
        QTest::newRow("nothing set yet") << true << QList<double>{0, 0, 0, 0} << wanted;
        QTest::newRow("30.9 fps counts as 30") << true << QList<double>{30.9, 1920, 1080, mjpg}
                                               << "open 7, get 5, get 3, get 4, get 6";
        QTest::newRow("height alone differs")
            << true << QList<double>{30, 1920, 720, mjpg}
            << "open 7, get 5, get 3, get 4, set 3 1920, set 4 1080, get 6";
        QTest::newRow("not opened") << false << QList<double>{0, 0, 0, 0} << "open 7";
    }
    void captureSettings() {
        QFETCH(bool, open);
        QFETCH(QList<double>, current);
        QFETCH(QString, calls);
        log->opened = open;
        const int ids[] = {cv::CAP_PROP_FPS, cv::CAP_PROP_FRAME_WIDTH, cv::CAP_PROP_FRAME_HEIGHT,
                           cv::CAP_PROP_FOURCC};
        for (int i = 0; i < 4; ++i)
            log->properties[ids[i]] = current.at(i);
        MessageCapture messages;
        VideoStreamThread worker(7);
        QCOMPARE(log->calls.join(", "), calls);
        QCOMPARE(messages.contains("Open camera failed!"), !open);
    }

    void onePicturePerFrame_data() {
        // pixels: the first pixel of each picture, as #rrggbb
        addColumns<int, QStringList>({"type", "pixels"});
        QTest::newRow("BGR becomes RGB")
            << int(CV_8UC3) << QStringList{"#1e140a", "#3c2814", "#5a3c1e"};
        QTest::newRow("gray") << int(CV_8UC1) << QStringList{"#0a0a0a", "#141414", "#1e1e1e"};
        QTest::newRow("BGRA") << int(CV_8UC4) << QStringList{"#1e140a", "#3c2814", "#5a3c1e"};
        QTest::newRow("16-bit makes no picture") << int(CV_16UC1) << QStringList{};
    }
    void onePicturePerFrame() {
        QFETCH(int, type);
        QFETCH(QStringList, pixels);
        log->type = type;
        log->frames = 3;
        VirtualClock clock;
        ScopedClock scoped(clock);
        MessageCapture messages;
        Run run;
        run.start();
        QTRY_VERIFY(log->reads > 6); // every frame read, then failed reads
        run.stop();
        QVERIFY(!run.worker && !run.thread && log->released);
        QCoreApplication::processEvents();
        QStringList got;
        for (const QImage &picture : qAsConst(run.pictures))
            got << picture.pixelColor(0, 0).name();
        QCOMPARE(got, pixels);
        QCOMPARE(messages.messages().count("ERROR: Mat could not be converted to QImage."),
                 pixels.isEmpty() ? 3 : 0);
        // A failed read is followed by one frame time, so a missing camera does not spin.
        QCOMPARE(clock.slept().count(), (log->reads - 3) * 33LL);
    }

    void stopPaths() {
        log->frames = 1000000;
        // Stopped before it started: the loop ends at its first turn, having read nothing.
        Run early;
        early.worker->stop();
        std::atomic<bool> releasedBeforeFinished{false};
        connect(
            early.worker, &VideoStreamThread::workFinished, this,
            [&] { releasedBeforeFinished = log->released.load(); }, Qt::DirectConnection);
        early.start();
        QTRY_VERIFY(!early.thread);
        QCOMPARE(log->reads.load(), 0);
        QVERIFY(releasedBeforeFinished); // the capture goes before the worker announces its end
        // Stopped while reading: returns once the thread has ended and the capture is released.
        log->released = false;
        Run busy;
        busy.start();
        QTRY_VERIFY(log->reads > 10);
        busy.stop();
        QVERIFY(!busy.worker && !busy.thread && log->released);
    }

    void decodedSizeCoversTheSurface_data() {
        // surface: logical pixels
        addColumns<QSize, QSize, qreal, QSize>({"frame", "surface", "ratio", "decoded"});
        const QSize hd(1920, 1080);
        QTest::newRow("default surface") << hd << QSize(460, 258) << 1.0 << QSize(480, 270);
        QTest::newRow("default surface, ratio 1.5")
            << hd << QSize(460, 258) << 1.5 << QSize(960, 540);
        QTest::newRow("maximised") << hd << QSize(1370, 770) << 1.0 << hd;
        QTest::newRow("an eighth, rounded up") << hd << QSize(160, 90) << 1.5 << QSize(240, 135);
        QTest::newRow("one pixel more") << hd << QSize(241, 136) << 1.0 << QSize(480, 270);
        QTest::newRow("size not known yet") << hd << QSize(0, 0) << 1.0 << hd;
        QTest::newRow("odd frame") << QSize(1366, 766) << QSize(170, 95) << 1.0 << QSize(171, 96);
    }

    void decodedSizeCoversTheSurface() {
        QFETCH(QSize, frame);
        QFETCH(QSize, surface);
        QFETCH(qreal, ratio);
        QFETCH(QSize, decoded);
        QCOMPARE(MjpgDecoder::decodedSize(frame, surfaceInDevicePixels(surface, ratio)), decoded);
    }

    void everyGoodFrameIsShown_data() {
        // small: the pictures for the default surface
        // oneBurst: else each damaged frame is logged
        addColumns<bool, int, int, QSize, bool>(
            {"noMjpg", "truncateEvery", "loseChunkEvery", "small", "oneBurst"});
        const QSize quarter(480, 270);
        QTest::newRow("MJPG") << false << 0 << 0 << quarter << true;
        QTest::newRow("YUYV only") << true << 0 << 0 << QSize(1920, 1080) << true;
        QTest::newRow("every 4th cut short") << false << 4 << 0 << quarter << true;
        QTest::newRow("every 4th loses a piece") << false << 0 << 4 << quarter << true;
        // 31 frames at 30 per second are more than a second apart.
        QTest::newRow("every 31st cut short") << false << 31 << 0 << quarter << false;
    }

    void everyGoodFrameIsShown() {
        QFETCH(bool, noMjpg);
        QFETCH(int, truncateEvery);
        QFETCH(int, loseChunkEvery);
        QFETCH(QSize, small);
        QFETCH(bool, oneBurst);
        MessageCapture messages;
        SimCameraFaults faults;
        faults.noMjpg = noMjpg;
        faults.truncateEveryNthFrame = truncateEvery;
        faults.loseChunkEveryNthFrame = loseChunkEvery;
        installFrameCaptureFactory(nullptr);
        SimFixture sim;
        sim.camera->setCameraFaults(faults);
        Run preview;
        preview.worker->setSurfaceSize(QSize(460, 258));
        preview.start();
        QTRY_VERIFY_WITH_TIMEOUT(sim.camera->framesDelivered() >= 64, 30000);
        // The window is maximised: the next frames are decoded for the larger surface.
        preview.worker->setSurfaceSize(QSize(1370, 770));
        QTRY_VERIFY(!preview.pictures.isEmpty() &&
                    preview.pictures.last().size() == QSize(1920, 1080));
        preview.stop();

        QCOMPARE(preview.pictures.first().size(), small);
        QVERIFY(isYellow(preview.pictures.first()) && isYellow(preview.pictures.last()));
        const int frames = static_cast<int>(sim.camera->framesDelivered());
        const int damaged =
            truncateEvery + loseChunkEvery > 0 ? frames / (truncateEvery + loseChunkEvery) : 0;
        QCOMPARE(preview.pictures.size(), frames - damaged);
        const auto lines =
            messages.messages().filter(QStringLiteral("Skipping damaged MJPG frames: "));
        QCOMPARE(static_cast<int>(lines.size()), oneBurst ? qMin(damaged, 1) : damaged);
    }
};

QTEST_MAIN(TestVideoStream)
#include "tst_videostream.moc"
