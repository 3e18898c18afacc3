// The abnormal-state watcher: what it reports and how often, and that it ends promptly when
// stopped, also on the system clock in the middle of its long pause.
#include "fakescsi.h"
#include "tests/testsupport/testsupport.h"
#include "upgradetestsupport.h"

#include "sim/simulatedbus.h"
#include "upgrade/abnormaldetectthread.h"
#include "upgrade/massstorage.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QtTest>

namespace {
// A back end that notes the time of every search (the candidate list is asked once per search).
class TimedBackend final : public ScsiBackend {
public:
    explicit TimedBackend(ScsiBackend &wrapped)
        : inner(wrapped) {}
    std::vector<std::string> candidates() override {
        {
            QMutexLocker locker(&mutex);
            times << activeClock().now().count();
        }
        return inner.candidates();
    }
    std::unique_ptr<ScsiDevice> open(const std::string &candidate) override {
        return inner.open(candidate);
    }
    QList<qint64> searchTimes() const {
        QMutexLocker locker(&mutex);
        return times;
    }

private:
    ScsiBackend &inner;
    mutable QMutex mutex;
    QList<qint64> times;
};

struct Watch {
    QThread *thread = nullptr;
    AbnormalDetectThread *watcher = nullptr;
    QPointer<QThread> threadGuard;
    QPointer<AbnormalDetectThread> watcherGuard;
};
} // namespace

class TestAbnormalDetect : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<SimulatedBus> bus;
    std::shared_ptr<SimCamera> camera;
    std::unique_ptr<TimedBackend> timed;
    QMutex emitMutex;
    QList<QPair<int, qint64>> emitted; // state and time of each report

    // Wired as the window wires it.
    Watch startWatcher(int selector, bool stopFirst = false) {
        Watch watch;
        watch.thread = new QThread;
        watch.watcher = new AbnormalDetectThread(selector);
        watch.watcher->moveToThread(watch.thread);
        connect(watch.thread, &QThread::started, watch.watcher, &AbnormalDetectThread::start);
        connect(watch.thread, &QThread::finished, watch.thread, &QObject::deleteLater);
        connect(watch.watcher, &AbnormalDetectThread::workFinished, watch.watcher,
                &QObject::deleteLater);
        connect(watch.watcher, &QObject::destroyed, watch.thread, &QThread::quit);
        connect(
            watch.watcher, &AbnormalDetectThread::onDeviceAbnormal, this,
            [this](int state) {
                QMutexLocker locker(&emitMutex);
                emitted.append({state, activeClock().now().count()});
            },
            Qt::DirectConnection);
        watch.threadGuard = watch.thread;
        watch.watcherGuard = watch.watcher;
        if (stopFirst)
            watch.watcher->stop();
        watch.thread->start();
        return watch;
    }

    // What a window does when it goes: stop the watcher, then wait for its thread to end.
    void stopWatcher(Watch &watch) {
        if (watch.watcherGuard)
            watch.watcher->stop();
        QTRY_VERIFY_WITH_TIMEOUT(watch.threadGuard.isNull(), 5000);
        QVERIFY(watch.watcherGuard.isNull());
    }

    QList<QPair<int, qint64>> reports() {
        QMutexLocker locker(&emitMutex);
        return emitted;
    }

private slots:
    void init() {
        bus = std::make_unique<SimulatedBus>();
        bus->install();
        camera = bus->addCamera(SimCameraConfig());
        timed = std::make_unique<TimedBackend>(*bus);
        installScsiBackend(timed.get());
        emitted.clear();
    }

    void cleanup() {
        installScsiBackend(nullptr);
        releaseUpdaterDevice();
        timed.reset();
        camera.reset();
        bus.reset();
    }

    void reportsEachStage_data() {
        QTest::addColumn<SimStage>("stage");
        QTest::addColumn<int>("state");
        QTest::newRow("ROM") << SimStage::Rom << 0;
        QTest::newRow("Updater") << SimStage::Updater << 1;
        QTest::newRow("u-Boot") << SimStage::UBoot << 2;
    }

    void reportsEachStage() {
        QFETCH(SimStage, stage);
        QFETCH(int, state);
        VirtualClock clock;
        ScopedClock useClock(clock);
        camera->setStage(stage);
        MessageCapture quiet;
        Watch watch = startWatcher(kProductLineQx);
        QTRY_VERIFY_WITH_TIMEOUT(reports().size() >= 3, 10000);
        stopWatcher(watch);
        const auto got = reports();
        for (const auto &report : got)
            QCOMPARE(report.first, state);
        // A waiting camera is reported every 10,000 + 1,000 ms.
        QCOMPARE(got[1].second - got[0].second, 11000LL);
        QCOMPARE(got[2].second - got[1].second, 11000LL);
    }

    void searchesOnceASecondWhenNothingIsWrong_data() {
        QTest::addColumn<SimStage>("stage");
        QTest::addColumn<int>("selector");
        QTest::newRow("camera in normal operation") << SimStage::Camera << kProductLineQx;
        QTest::newRow("other product line") << SimStage::UBoot << kProductLineZenta;
        QTest::newRow("no vendor configured") << SimStage::UBoot << 255;
    }

    void searchesOnceASecondWhenNothingIsWrong() {
        QFETCH(SimStage, stage);
        QFETCH(int, selector);
        VirtualClock clock;
        ScopedClock useClock(clock);
        camera->setStage(stage);
        MessageCapture quiet;
        Watch watch = startWatcher(selector);
        QTRY_VERIFY_WITH_TIMEOUT(timed->searchTimes().size() >= 20, 10000);
        stopWatcher(watch);
        QVERIFY(reports().isEmpty());
        const auto times = timed->searchTimes();
        for (int i = 1; i < 20; ++i)
            QCOMPARE(times[i] - times[i - 1], 1000LL);
    }

    void unknownStageIsNotReported() {
        VirtualClock clock;
        ScopedClock useClock(clock);
        FakeScsiBackend fake;
        fake.disks.push_back({"disk0", makeInquiry("QXM30", "DISK"), false, false});
        installScsiBackend(&fake);
        MessageCapture quiet;
        Watch watch = startWatcher(kProductLineQx);
        QTRY_VERIFY_WITH_TIMEOUT(fake.requests().size() >= 10, 10000);
        stopWatcher(watch);
        QVERIFY(reports().isEmpty());
        releaseUpdaterDevice(); // its handle belongs to this back end
        installScsiBackend(timed.get());
    }

    void stopsPromptlyOnTheSystemClock() {
        // No virtual clock: the watcher really waits its 10 seconds after a report.
        camera->setStage(SimStage::UBoot);
        Watch watch = startWatcher(kProductLineQx);
        QTRY_VERIFY_WITH_TIMEOUT(reports().size() == 1, 5000);
        QTest::qWait(100); // well inside the pause now
        QElapsedTimer elapsed;
        elapsed.start();
        stopWatcher(watch);
        QVERIFY2(elapsed.elapsed() < 2000, qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(reports().size(), 1);
    }

    void stopBeforeTheStartEndsAtOnce() {
        VirtualClock clock;
        ScopedClock useClock(clock);
        camera->setStage(SimStage::UBoot);
        Watch watch = startWatcher(kProductLineQx, true);
        QTRY_VERIFY_WITH_TIMEOUT(watch.threadGuard.isNull(), 5000);
        QVERIFY(timed->searchTimes().isEmpty());
        QVERIFY(reports().isEmpty());
    }

    void pauseEndsEarlyOnlyWhenStopped() {
        // The pause lasts its full time on the system clock unless stopped.
        StopSignal signal;
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(signal.pause(Milliseconds(150)));
        QVERIFY(elapsed.elapsed() >= 150);

        std::thread stopper([&signal] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            signal.request();
        });
        elapsed.restart();
        QVERIFY(!signal.pause(Milliseconds(10000)));
        stopper.join();
        QVERIFY(elapsed.elapsed() < 5000);
        QVERIFY(!signal.pause(Milliseconds(10000))); // a stopped signal stays stopped
    }

    void virtualPauseIsExact() {
        VirtualClock clock;
        ScopedClock useClock(clock);
        StopSignal signal;
        QVERIFY(signal.pause(Milliseconds(10000)));
        QCOMPARE(clock.slept().count(), 10000LL);
    }
};

QTEST_GUILESS_MAIN(TestAbnormalDetect)
#include "tst_abnormaldetect.moc"
