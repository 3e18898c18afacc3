// The preview of an MJPG camera: frames decoded just large enough for the surface, damaged frames
// skipped, and cameras without MJPG still previewed.
#include "common/clock.h"
#include "preview/mjpgdecoder.h"
#include "preview/videostreamthread.h"
#include "preview/workerthread.h"
#include "sim/simulatedbus.h"
#include "testsupport/testsupport.h"

#include <QThread>
#include <QtTest>

namespace {
// A simulated camera previewed by a worker on its thread, as the window runs it.
struct Preview {
    SimulatedBus bus;
    std::shared_ptr<SimCamera> camera = bus.addCamera(SimCameraConfig());
    QList<QImage> pictures;
    QObject sink;
    VideoStreamThread *worker = nullptr;
    QThread *thread = new QThread;

    Preview(const SimCameraFaults &faults, QSize surface_px) {
        bus.install();
        camera->setCameraFaults(faults);
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
        if (thread)
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
} // namespace

class TstMjpgPreview : public QObject {
    Q_OBJECT

private slots:
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
        QTest::newRow("larger than the frame") << hd << QSize(2560, 1440) << 1.0 << hd;
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
        VirtualClock clock;
        ScopedClock useClock(clock);
        MessageCapture messages;
        SimCameraFaults faults;
        faults.noMjpg = noMjpg;
        faults.truncateEveryNthFrame = truncateEvery;
        faults.loseChunkEveryNthFrame = loseChunkEvery;
        Preview preview(faults, QSize(460, 258));
        QTRY_VERIFY_WITH_TIMEOUT(preview.camera->framesDelivered() >= 64, 30000);
        // The window is maximised: the next frames are decoded for the larger surface.
        preview.worker->setSurfaceSize(QSize(1370, 770));
        QTRY_VERIFY(!preview.pictures.isEmpty() &&
                    preview.pictures.last().size() == QSize(1920, 1080));
        preview.stop();

        QCOMPARE(preview.pictures.first().size(), small);
        QVERIFY(isYellow(preview.pictures.first()) && isYellow(preview.pictures.last()));
        const int frames = static_cast<int>(preview.camera->framesDelivered());
        const int damaged =
            truncateEvery + loseChunkEvery > 0 ? frames / (truncateEvery + loseChunkEvery) : 0;
        QCOMPARE(preview.pictures.size(), frames - damaged);
        const auto lines =
            messages.messages().filter(QStringLiteral("Skipping damaged MJPG frames: "));
        QCOMPARE(static_cast<int>(lines.size()), oneBurst ? qMin(damaged, 1) : damaged);
    }
};

QTEST_MAIN(TstMjpgPreview)
#include "tst_mjpgpreview.moc"
