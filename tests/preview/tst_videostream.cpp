// The preview worker on its own thread, wired as the window wires it: the capture settings it
// asks for, pictures of decoded pixels, one per frame, its stop paths and the pause after a failed
// read. (Frames of a V4L2 camera, MJPG decoded for the surface: tests/native/tst_linux.cpp.)
#include "preview/videostreamthread.h"
#include "testsupport/previewrun.h"
#include "testsupport/testsupport.h"

#include <QtTest>

#include <array>
#include <map>

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

struct ScriptedCapture final : FrameCapture {
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
        for (int i = 0; i < 4; ++i) // FrameRate, FrameWidth, FrameHeight, FourCc
            log->properties[std::array<int, 4>{5, 3, 4, 6}[i]] = current.at(i);
        MessageCapture messages;
        VideoStreamThread worker(7);
        QCOMPARE(log->calls.join(", "), calls);
        QCOMPARE(messages.contains("Open camera failed!"), !open);
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
        // Three frames, one picture each; then failed reads, each followed by one frame time,
        // so a missing camera does not spin.
        log->frames = 3;
        log->reads = 0;
        VirtualClock clock;
        ScopedClock scoped(clock);
        Run run;
        run.start();
        QTRY_VERIFY(log->reads > 6);
        run.stop();
        QCOMPARE(run.pictures.size(), 3);
        QCOMPARE(clock.slept().count(), (log->reads - 3) * 33LL);
    }
};

QTEST_MAIN(TestVideoStream)
#include "tst_videostream.moc"
