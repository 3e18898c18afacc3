// The preview of an MJPG camera: frames decoded just large enough for the surface, damaged frames
// skipped, and cameras without MJPG still previewed.
#include "common/clock.h"
#include "preview/mjpgdecoder.h"
#include "preview/mjpghandover.h"
#include "preview/videostreamthread.h"
#include "preview/workerthread.h"
#include "sim/simulatedbus.h"
#include "tests/testsupport/testsupport.h"

#include <QThread>
#include <QtTest>

#include <atomic>

namespace {
// Counts the frames read through it.
class CountingCapture final : public FrameCapture {
public:
    CountingCapture(std::unique_ptr<FrameCapture> capture, std::atomic<int> &counter)
        : inner(std::move(capture))
        , reads(counter) {}
    bool isOpened() const override { return inner->isOpened(); }
    double get(int property) const override { return inner->get(property); }
    bool set(int property, double value) override { return inner->set(property, value); }
    bool read(cv::Mat &frame) override { return inner->read(frame); }
    bool readFrame(CapturedFrame &frame) override {
        ++reads;
        return inner->readFrame(frame);
    }

private:
    std::unique_ptr<FrameCapture> inner;
    std::atomic<int> &reads;
};

// A simulated camera previewed by a worker on its thread, as the window runs it.
struct Preview {
    SimulatedBus bus;
    std::atomic<int> reads{0};
    QList<QImage> pictures;
    QObject sink;
    VideoStreamThread *worker = nullptr;
    QThread *thread = new QThread;

    Preview(const SimCameraFaults &faults, QSize surface_px) {
        bus.install();
        bus.addCamera(SimCameraConfig())->setCameraFaults(faults);
        installFrameCaptureFactory([this](int index) {
            return std::make_unique<CountingCapture>(handOverMjpg(bus.openCapture(index)), reads);
        });
        worker = new VideoStreamThread(0);
        worker->setSurfaceSize(surface_px);
        worker->moveToThread(thread);
        connectWorkerThread(worker, thread);
        QObject::connect(worker, &VideoStreamThread::onReader, &sink,
                         [this](const QPixmap &picture) { pictures << picture.toImage(); });
        thread->start();
    }
    ~Preview() { stop(); }
    void stop() {
        if (!thread)
            return;
        stopWorkerThread(worker, thread);
        thread = nullptr;
        QCoreApplication::processEvents(); // the pictures still queued
    }
};

bool isYellow(const QImage &picture) {
    // The second of the colour bars, near the top.
    const QRgb bar = picture.pixel(picture.width() * 3 / 14, picture.height() / 10);
    return qRed(bar) > 150 && qGreen(bar) > 150 && qBlue(bar) < 60;
}

const QString skipping = QStringLiteral("Skipping damaged MJPG frames: ");
} // namespace

class TstMjpgPreview : public QObject {
    Q_OBJECT

private slots:
    void decodedSizeCoversTheSurface_data();
    void decodedSizeCoversTheSurface();
    void damagedFramesAreSkipped_data();
    void damagedFramesAreSkipped();
    void eachFormatIsPreviewed_data();
    void eachFormatIsPreviewed();
};

void TstMjpgPreview::decodedSizeCoversTheSurface_data() {
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QSize>("surface"); // logical pixels
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QSize>("decoded");
    const QSize hd(1920, 1080);
    QTest::newRow("default surface") << hd << QSize(460, 258) << 1.0 << QSize(480, 270);
    QTest::newRow("default surface, ratio 1.5") << hd << QSize(460, 258) << 1.5 << QSize(960, 540);
    QTest::newRow("default surface, ratio 2") << hd << QSize(460, 258) << 2.0 << QSize(960, 540);
    QTest::newRow("maximised") << hd << QSize(1370, 770) << 1.0 << hd;
    QTest::newRow("an eighth, exactly") << hd << QSize(240, 135) << 1.0 << QSize(240, 135);
    QTest::newRow("an eighth, rounded up") << hd << QSize(160, 90) << 1.5 << QSize(240, 135);
    QTest::newRow("one pixel more") << hd << QSize(241, 136) << 1.0 << QSize(480, 270);
    QTest::newRow("wider than the picture") << hd << QSize(600, 135) << 1.0 << QSize(240, 135);
    QTest::newRow("portrait") << hd << QSize(200, 400) << 1.0 << QSize(240, 135);
    QTest::newRow("larger than the frame") << hd << QSize(2560, 1440) << 1.0 << hd;
    QTest::newRow("size not known yet") << hd << QSize(0, 0) << 1.0 << hd;
    QTest::newRow("small frame") << QSize(640, 360) << QSize(460, 258) << 1.0 << QSize(640, 360);
    QTest::newRow("odd frame") << QSize(1366, 766) << QSize(170, 95) << 1.0 << QSize(171, 96);
}

void TstMjpgPreview::decodedSizeCoversTheSurface() {
    QFETCH(QSize, frame);
    QFETCH(QSize, surface);
    QFETCH(qreal, ratio);
    QFETCH(QSize, decoded);
    QCOMPARE(MjpgDecoder::decodedSize(frame, surfaceInDevicePixels(surface, ratio)), decoded);
}

void TstMjpgPreview::damagedFramesAreSkipped_data() {
    QTest::addColumn<int>("truncateEvery");
    QTest::addColumn<int>("loseChunkEvery");
    QTest::addColumn<bool>("oneBurst"); // else each damaged frame is a burst of its own

    QTest::newRow("cut short, every 4th") << 4 << 0 << true;
    QTest::newRow("piece lost, every 4th") << 0 << 4 << true;
    // 31 frames at 30 per second are more than a second apart.
    QTest::newRow("cut short, every 31st") << 31 << 0 << false;
}

void TstMjpgPreview::damagedFramesAreSkipped() {
    QFETCH(int, truncateEvery);
    QFETCH(int, loseChunkEvery);
    QFETCH(bool, oneBurst);
    VirtualClock clock;
    ScopedClock useClock(clock);
    MessageCapture messages;
    SimCameraFaults faults;
    faults.truncateEveryNthFrame = truncateEvery;
    faults.loseChunkEveryNthFrame = loseChunkEvery;
    Preview preview(faults, QSize(460, 258));
    QTRY_VERIFY_WITH_TIMEOUT(preview.reads.load() >= 100, 30000);
    preview.stop();

    const int every = qMax(truncateEvery, loseChunkEvery);
    const int damaged = preview.reads.load() / every;
    // Every good frame shows, no damaged one, and the preview goes on after each.
    QCOMPARE(preview.pictures.size(), preview.reads.load() - damaged);
    for (const QImage &picture : qAsConst(preview.pictures))
        QCOMPARE(picture.size(), QSize(480, 270));
    int lines = 0;
    for (const QString &message : messages.messages())
        lines += message.startsWith(skipping) ? 1 : 0;
    QCOMPARE(lines, oneBurst ? 1 : damaged);
}

void TstMjpgPreview::eachFormatIsPreviewed_data() {
    QTest::addColumn<bool>("noMjpg");
    QTest::addColumn<QSize>("small"); // the picture for the default surface
    QTest::newRow("MJPG") << false << QSize(480, 270);
    QTest::newRow("YUYV only") << true << QSize(1920, 1080);
}

void TstMjpgPreview::eachFormatIsPreviewed() {
    QFETCH(bool, noMjpg);
    QFETCH(QSize, small);
    SimCameraFaults faults;
    faults.noMjpg = noMjpg;
    Preview preview(faults, QSize(460, 258));
    QTRY_VERIFY(!preview.pictures.isEmpty());
    QCOMPARE(preview.pictures.first().size(), small);
    QVERIFY(isYellow(preview.pictures.first()));
    // The window was maximised: the next pictures are decoded for the larger surface.
    preview.worker->setSurfaceSize(QSize(1370, 770));
    const int before = preview.pictures.size();
    QTRY_VERIFY(preview.pictures.size() > before + 1);
    QCOMPARE(preview.pictures.last().size(), QSize(1920, 1080));
    QVERIFY(isYellow(preview.pictures.last()));
}

QTEST_MAIN(TstMjpgPreview)
#include "tst_mjpgpreview.moc"
