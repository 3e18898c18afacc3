// The preview worker on its own thread, wired as the window wires it: the capture settings it
// asks for, one picture per frame of decoded pixels, its stop paths and the pause after a failed
// read; and the size an MJPG frame is decoded to for a surface. (Frames of a V4L2 camera:
// tests/native/tst_v4l2capture.cpp.)
#include "preview/mjpgdecoder.h"
#include "preview/videostreamthread.h"
#include "testsupport/previewrun.h"
#include "testsupport/testsupport.h"

#include <QtTest>

#include <array>
#include <map>

Q_DECLARE_METATYPE(CapturedFrame::PixelFormat)

namespace {
using PixelFormat = CapturedFrame::PixelFormat;

// What the scripted captures are given and what they record: they deliver `frames` frames of
// 3 x 2 pixels in `format` (channel c of frame n filled with n * 10 * (c + 1)) and then fail
// every read.
struct Script {
    bool opened = true;
    PixelFormat format = PixelFormat::Bgr24;
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
    double get(CaptureProperty property) const override {
        const int id = static_cast<int>(property);
        script->calls << QString("get %1").arg(id);
        return script->properties.count(id) ? script->properties.at(id) : 0.0;
    }
    bool set(CaptureProperty property, double value) override {
        script->calls << QString("set %1 %2").arg(static_cast<int>(property)).arg(value);
        return true;
    }
    bool read(CapturedFrame &frame) override {
        const int n = ++script->reads;
        frame.bytes.clear();
        if (n > script->frames)
            return false;
        const int channels = std::array<int, 4>{1, 3, 4, 2}[static_cast<int>(script->format)];
        frame = {CapturedFrame::Encoding::Pixels, script->format, {}, 3, 2, 3 * channels};
        for (int i = 0; i < 6 * channels; ++i)
            frame.bytes.push_back(i % channels == 3 ? 255 : n * 10 * (i % channels + 1));
        return true;
    }

private:
    std::shared_ptr<Script> script;
};

const double mjpg = mjpgFourCc;

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
        const CaptureProperty ids[] = {CaptureProperty::FrameRate, CaptureProperty::FrameWidth,
                                       CaptureProperty::FrameHeight, CaptureProperty::FourCc};
        for (int i = 0; i < 4; ++i)
            log->properties[static_cast<int>(ids[i])] = current.at(i);
        MessageCapture messages;
        VideoStreamThread worker(7);
        QCOMPARE(log->calls.join(", "), calls);
        QCOMPARE(messages.contains("Open camera failed!"), !open);
    }

    void onePicturePerFrame_data() {
        // pixels: the first pixel of each picture, as #rrggbb
        addColumns<PixelFormat, QStringList>({"format", "pixels"});
        QTest::newRow("BGR becomes RGB")
            << PixelFormat::Bgr24 << QStringList{"#1e140a", "#3c2814", "#5a3c1e"};
        QTest::newRow("gray") << PixelFormat::Gray8 << QStringList{"#0a0a0a", "#141414", "#1e1e1e"};
        QTest::newRow("BGRA") << PixelFormat::Bgra32
                              << QStringList{"#1e140a", "#3c2814", "#5a3c1e"};
        QTest::newRow("16-bit makes no picture") << PixelFormat::Other << QStringList{};
    }
    void onePicturePerFrame() {
        QFETCH(PixelFormat, format);
        QFETCH(QStringList, pixels);
        log->format = format;
        log->frames = 3;
        VirtualClock clock;
        ScopedClock scoped(clock);
        MessageCapture messages;
        Run run;
        run.thread->start();
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
        early.thread->start();
        QTRY_VERIFY(!early.thread);
        QCOMPARE(log->reads.load(), 0);
        QVERIFY(releasedBeforeFinished); // the capture goes before the worker announces its end
        // Stopped while reading: tests/native/tst_v4l2capture.cpp.
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
};

QTEST_MAIN(TestVideoStream)
#include "tst_videostream.moc"
