// The preview on the V4L2 capture, with the fake kernel answering the format, buffer and
// streaming requests: the format negotiated, which frames become pictures (damaged ones skipped,
// a wake-up without a frame waited out), a camera pulled out mid-stream let go of at once, a stop
// that ends the wait for the next frame at once, and YUYV colours.
#include "fakekernel.h"
#include "preview/v4l2capture_linux.h"
#include "sim/simcamera.h"
#include "testsupport/previewrun.h"
#include "testsupport/testsupport.h"

#include <QElapsedTimer>
#include <QtTest>

#include <linux/videodev2.h>

using Steps = std::deque<FakeFrameStep>;
using Formats = std::vector<std::uint32_t>;
Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(Formats)

namespace {
// A red MJPG frame of 64 x 36 pixels; a cut one lacks its second half.
FakeFrameStep red(bool damaged = false, bool cut = false) {
    QImage picture(64, 36, QImage::Format_RGB32);
    picture.fill(Qt::red);
    FakeFrameStep step{{}, damaged, 0};
    encodeJpeg(picture, 90, step.bytes);
    step.bytes.resize(cut ? step.bytes.size() / 2 : step.bytes.size());
    return step;
}
const FakeFrameStep again{{}, false, EAGAIN};
const FakeFrameStep gone{{}, false, ENODEV};
const Formats mjpgAndYuyv{V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_YUYV};

// Four by two pixels, two to a chroma pair, four padding bytes after each row: white and black,
// red and red; blue and blue, grey and grey (ITU-R BT.601 video range).
const FakeFrameStep yuyvPattern{{235, 128, 16, 128, 81,  90,  81,  240, 0, 0, 0, 0,
                                 41,  240, 41, 110, 126, 128, 126, 128, 0, 0, 0, 0}};
} // namespace

class TestV4l2Capture : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeKernel> kernel;

    void addCamera(Formats formats, Steps steps, unsigned width = 64, unsigned height = 36) {
        const QString usb = kernel->addUsbDevice("1-1", "1d6b:0104", "QX-M30-000");
        kernel->addVideoNode(0, kernel->addInterface(usb, 0),
                             V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING);
        kernel->addStream(0, std::move(formats), width, height, 4, std::move(steps));
    }

private slots:
    void init() {
        kernel = std::make_unique<FakeKernel>();
        installFrameCaptureFactory([this](int i) { return openV4l2Capture(kernel->devNode(i)); });
    }
    void cleanup() {
        installFrameCaptureFactory(nullptr);
        kernel.reset();
    }

    void stream_data() {
        // formats: offered, the fallback first; pixels: of the first picture (none: red)
        addColumns<Formats, Steps, QString, int, int, bool, QStringList>(
            {"formats", "steps", "negotiated", "pictures", "damagedLines", "gone", "pixels"});
        const QString mjpg = "video0 S_FMT MJPG 1920x1080";
        QTest::newRow("one flagged damaged") << mjpgAndYuyv << Steps{red(), red(true), red()}
                                             << mjpg << 2 << 1 << false << QStringList();
        QTest::newRow("one cut short") << mjpgAndYuyv << Steps{red(false, true), red()} << mjpg << 1
                                       << 1 << false << QStringList();
        QTest::newRow("a burst of damaged ones, logged once")
            << mjpgAndYuyv << Steps{red(true), red(true), red(true), red()} << mjpg << 1 << 1
            << false << QStringList();
        QTest::newRow("woken without a frame")
            << mjpgAndYuyv << Steps{again, red(), again, again, red()} << mjpg << 2 << 0 << false
            << QStringList();
        QTest::newRow("camera gone mid-stream") << mjpgAndYuyv << Steps{red(), red(), gone, red()}
                                                << mjpg << 2 << 0 << true << QStringList();
        QTest::newRow("nothing comes")
            << mjpgAndYuyv << Steps{} << mjpg << 0 << 0 << false << QStringList();
        QTest::newRow("YUYV where MJPG is missing")
            << Formats{V4L2_PIX_FMT_YUYV} << Steps{yuyvPattern}
            << mjpg + ", video0 S_FMT YUYV 1920x1080" << 1 << 0 << false
            << QStringList{"#ffffff", "#000000", "#ff0000", "#ff0000",
                           "#0000ff", "#0000ff", "#808080", "#808080"};
    }
    void stream() {
        QFETCH(Formats, formats);
        QFETCH(Steps, steps);
        QFETCH(QString, negotiated);
        QFETCH(int, pictures);
        QFETCH(int, damagedLines);
        QFETCH(bool, gone);
        QFETCH(QStringList, pixels);
        pixels.isEmpty() ? addCamera(formats, steps) : addCamera(formats, steps, 4, 2);
        MessageCapture messages;
        Run run;
        run.worker->setSurfaceSize(QSize(16, 9)); // MJPG frames are decoded at a quarter
        run.thread->start();
        // Every step taken and the worker back at its wait, or the gone camera let go of at once
        // (the frame after it never taken), while the preview still runs.
        QTRY_VERIFY(gone ? !kernel->nodeHeld(0) : kernel->waits > 0);
        QTRY_COMPARE(run.pictures.size(), pictures);
        // Stopped while it waits for a frame: the wait ends at once.
        QElapsedTimer timer;
        timer.start();
        run.worker->stop();
        QVERIFY2(timer.elapsed() < 100, qPrintable(QString::number(timer.elapsed())));
        run.stop();
        QVERIFY(!run.worker && !run.thread && !kernel->nodeHeld(0));
        QCOMPARE(run.pictures.size(), pictures);
        QCOMPARE(kernel->calls.filter("S_FMT").join(", "), negotiated);
        QCOMPARE(kernel->calls.last(), gone ? "video0 STREAMON" : "video0 STREAMOFF");
        QCOMPARE(messages.messages().filter("Skipping damaged").size(), damagedLines);
        const QImage first = run.pictures.value(0, QImage(16, 9, QImage::Format_RGB32));
        QStringList colours;
        for (int i = 0; i < first.width() * first.height(); ++i)
            colours << first.pixelColor(i % first.width(), i / first.width()).name();
        const QColor centre = first.pixelColor(first.width() / 2, first.height() / 2);
        if (!pixels.isEmpty())
            QCOMPARE(colours, pixels);
        else if (pictures > 0)
            QVERIFY(first.size() == QSize(16, 9) && centre.red() > 200 && centre.green() < 60);
    }
};

QTEST_MAIN(TestV4l2Capture)
#include "tst_v4l2capture.moc"
