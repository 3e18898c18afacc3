// The window's side of the live preview over a simulated camera: one worker at a time, stop paths
// that return only once the worker's thread has ended, no picture after the camera was lost or
// from a worker that was stopped, and nothing left over after many start/stop cycles.
#include "device/dshowcamerawrapper.h"
#include "mainwindowaccess.h"
#include "preview/videostreamthread.h"
#include "sim/simulatedbus.h"
#include "testsupport/simcamerasupport.h"
#include "testsupport/testsupport.h"
#include "ui/mainwindow.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QMovie>
#include <QPointer>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <opencv2/core.hpp>

#include <memory>

// Reaches the window's preview worker and thread.
class PreviewWindowTestAccess {
public:
    explicit PreviewWindowTestAccess(MainWindow &window)
        : w(window) {}
    VideoStreamThread *worker() const { return w.videoWorker; }
    QThread *thread() const { return w.videoThread; }

private:
    MainWindow &w;
};

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ADDRESS_SANITIZER 1
#endif

namespace {
// Each cycle waits for one full-size frame, which the sanitizer's build paints and converts
// some twenty times slower.
#ifdef UNDER_ADDRESS_SANITIZER
constexpr int kCycles = 50;
#else
constexpr int kCycles = 300;
#endif

QString settingsPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/product.ini");
}

// Counts the pictures a worker hands out, on the worker's own thread, so that a test can wait
// for them without letting the window take them.
std::shared_ptr<QSemaphore> countPictures(VideoStreamThread *worker) {
    auto pictures = std::make_shared<QSemaphore>();
    QObject::connect(
        worker, &VideoStreamThread::onReader, worker,
        [pictures](const QPixmap &) { pictures->release(); }, Qt::DirectConnection);
    return pictures;
}

void leftPress(QWidget *widget) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}
} // namespace

class TestPreviewWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void refreshKeepsTheRunningWorker();
    void stopPathsWaitForTheThread_data();
    void stopPathsWaitForTheThread();
    void queuedPicturesAfterAStopRestoreTheHint();
    void noPictureAfterTheCameraWasLost();
    void noPictureFromTheCameraBeforeASwitch();
    void unplugWhilePreviewingEndsTheWorker();
    void cameraIconStartsThePreviewAfterLoading_data();
    void cameraIconStartsThePreviewAfterLoading();
    void stopIconShowsOnlyWhilePreviewing();
    void picturesFitTheSurface();
    void startStopCyclesLeaveNothingBehind();

private:
    void openWindow();
    MainWindowTestAccess access() { return MainWindowTestAccess(*window); }
    PreviewWindowTestAccess preview() { return PreviewWindowTestAccess(*window); }
    QLabel *label(const char *name) const {
        return window->findChild<QLabel *>(QString::fromLatin1(name));
    }
    bool surfaceShowsHint() const;

    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<MainWindow> window;
};

void TestPreviewWindow::initTestCase() {
    // Large picture conversions borrow the toolkit's shared pool; let its threads end as soon as
    // they are idle, so that every thread still counted belongs to the window.
    QThreadPool::globalInstance()->setExpiryTimeout(0);
}

void TestPreviewWindow::init() {
    QFile::remove(settingsPath());
    bus = std::make_unique<SimulatedBus>();
    bus->install();
}

void TestPreviewWindow::cleanup() {
    window.reset();
    bus.reset();
    QFile::remove(settingsPath());
}

void TestPreviewWindow::openWindow() {
    window = std::make_unique<MainWindow>();
    // The surface gets its size from the first resize.
    window->show();
}

bool TestPreviewWindow::surfaceShowsHint() const {
    QLabel *surface = label("labPreview");
    return surface->pixmap(Qt::ReturnByValue).isNull() &&
           surface->text() == MainWindowTestAccess(*window).previewHint() &&
           surface->styleSheet() == QStringLiteral("border:2px dashed #dadfe4;");
}

void TestPreviewWindow::refreshKeepsTheRunningWorker() {
    bus->addCamera(configAt("usb1/1-1"));
    openWindow();
    QVERIFY(access().previewRunning());
    QPointer<VideoStreamThread> worker = preview().worker();
    QPointer<QThread> thread = preview().thread();
    QVERIFY(worker && thread);
    QVERIFY(thread->isRunning());

    // Asked again directly, and by a refresh that keeps the same first camera.
    window->slotStartPreview();
    bus->addCamera(configAt("usb1/1-2"));
    QCoreApplication::processEvents();
    QCOMPARE(window->findChild<QListWidget *>(QStringLiteral("listWidgetCamera"))->count(), 2);
    QVERIFY(worker);
    QVERIFY(thread);
    QCOMPARE(preview().worker(), worker.data());
    QCOMPARE(preview().thread(), thread.data());
    // The first camera's channels and the one capture: no second capture was opened.
    QCOMPARE(bus->openHandles(), 3);
}

void TestPreviewWindow::stopPathsWaitForTheThread_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("handlesAfter");
    QTest::addColumn<bool>("runningAfter");
    QTest::newRow("stop icon") << "stop icon" << 2 << false;
    QTest::newRow("stopCameraPreView") << "stopCameraPreView" << 2 << true;
    QTest::newRow("camera switch") << "camera switch" << 2 << false;
    QTest::newRow("window closed") << "window closed" << 0 << false;
    QTest::newRow("window destroyed") << "window destroyed" << 0 << false;
}

void TestPreviewWindow::stopPathsWaitForTheThread() {
    QFETCH(QString, path);
    QFETCH(int, handlesAfter);
    QFETCH(bool, runningAfter);
    bus->addCamera(configAt("usb1/1-1"));
    auto other = bus->addCamera(configAt("usb1/1-2"));
    openWindow();
    QPointer<VideoStreamThread> worker = preview().worker();
    QPointer<QThread> thread = preview().thread();
    QVERIFY(worker && thread);
    QTRY_VERIFY(!label("labPreview")->pixmap(Qt::ReturnByValue).isNull());
    // Stop while the worker is busy reading.
    QVERIFY(countPictures(worker)->tryAcquire(2, 10000));
    QCOMPARE(bus->openHandles(), 3);

    MessageCapture messages;
    if (path == "stop icon") {
        leftPress(label("labelStop"));
    } else if (path == "stopCameraPreView") {
        window->stopCameraPreView();
    } else if (path == "camera switch") {
        QListWidget *list = window->findChild<QListWidget *>(QStringLiteral("listWidgetCamera"));
        window->slotOnSingleClickedCameraItem(list->item(1));
    } else if (path == "window closed") {
        QVERIFY(window->close());
    } else {
        window.reset();
    }
    // Nothing was processed in between: the stop itself waited for the thread, which deleted
    // the worker on its way out, and deleted the thread object.
    QVERIFY(!worker);
    QVERIFY(!thread);
    QCOMPARE(bus->openHandles(), handlesAfter);
    QVERIFY(messages.contains(QStringLiteral("Exit video stream thread.")));
    if (!window)
        return;
    QVERIFY(!access().previewWorkerRunning());
    QCOMPARE(access().previewRunning(), runningAfter);
    if (path == "stop icon" || path == "stopCameraPreView") {
        QVERIFY(messages.contains(QStringLiteral("stop camera!")));
        QVERIFY(!label("labelCamera")->isHidden());
        QVERIFY(label("labelStop")->isHidden());
        QVERIFY(label("labelloading")->isHidden());
    }
    // Whatever the path, the surface is idle at once: no picture of a camera that is not
    // previewed any more.
    QVERIFY(surfaceShowsHint());
}

void TestPreviewWindow::queuedPicturesAfterAStopRestoreTheHint() {
    bus->addCamera(SimCameraConfig());
    openWindow();
    QVERIFY(countPictures(preview().worker())->tryAcquire(3, 10000));
    // The pictures wait in the queue; the stop comes first.
    leftPress(label("labelStop"));
    QCoreApplication::processEvents();
    QVERIFY(surfaceShowsHint());
}

void TestPreviewWindow::noPictureAfterTheCameraWasLost() {
    auto camera = bus->addCamera(SimCameraConfig());
    openWindow();
    QVERIFY(countPictures(preview().worker())->tryAcquire(3, 10000));
    // The removal reaches the window before the pictures still in the queue.
    bus->unplug(camera);
    access().reportCaptureInterface(false, QString::fromStdString(camera->interfaceName()));
    QVERIFY(access().cameraLost());
    QVERIFY(!access().previewWorkerRunning());
    QCoreApplication::processEvents();
    QVERIFY(surfaceShowsHint());
}

void TestPreviewWindow::noPictureFromTheCameraBeforeASwitch() {
    // The second camera delivers frames of a type that makes no picture, so any picture on the
    // surface after the switch came from the first camera.
    auto first = bus->addCamera(configAt("usb1/1-1"));
    auto second = bus->addCamera(configAt("usb1/1-2"));
    SimCameraFaults unusable;
    unusable.frameType = CV_16UC1;
    second->setCameraFaults(unusable);
    MessageCapture messages;
    openWindow();
    QVERIFY(countPictures(preview().worker())->tryAcquire(3, 10000));

    // The first camera leaves; the window opens the second one and previews it at once.
    bus->unplug(first);
    access().reportCaptureInterface(false, QString::fromStdString(first->interfaceName()));
    QCOMPARE(access().currentDeviceId(),
             deviceIdFromPath(QString::fromStdString(second->interfaceName())));
    QVERIFY(access().previewWorkerRunning());
    QVERIFY(access().previewRunning());
    QVERIFY(!access().cameraLost());
    QCoreApplication::processEvents();
    QVERIFY(label("labPreview")->pixmap(Qt::ReturnByValue).isNull());
    // The second camera's worker is reading.
    QTRY_VERIFY(messages.contains(QStringLiteral("ERROR: Mat could not be converted to QImage.")));
    QVERIFY(label("labPreview")->pixmap(Qt::ReturnByValue).isNull());
}

void TestPreviewWindow::unplugWhilePreviewingEndsTheWorker() {
    const int threadsBefore = threadsOutsideThePool();
    auto camera = bus->addCamera(SimCameraConfig());
    openWindow();
    const int threadsWithWindow = threadsOutsideThePool();
    QPointer<VideoStreamThread> worker = preview().worker();
    QPointer<QThread> thread = preview().thread();
    QVERIFY(countPictures(worker)->tryAcquire(2, 10000));

    // Pulled out while the worker reads: its reads fail from now on, and the removal ends it.
    bus->unplug(camera);
    QTRY_VERIFY(!access().controlsReady());
    QVERIFY(!worker);
    QVERIFY(!thread);
    QVERIFY(!access().previewRunning());
    QCOMPARE(bus->openHandles(), 0);
    QVERIFY(surfaceShowsHint());
    QTRY_VERIFY(threadsOutsideThePool() < threadsWithWindow);
    window.reset();
    QTRY_VERIFY(threadsOutsideThePool() <= threadsBefore);
}

void TestPreviewWindow::cameraIconStartsThePreviewAfterLoading_data() {
    QTest::addColumn<bool>("withCamera");
    QTest::newRow("camera open") << true;
    QTest::newRow("no camera") << false;
}

void TestPreviewWindow::cameraIconStartsThePreviewAfterLoading() {
    QFETCH(bool, withCamera);
    if (withCamera)
        bus->addCamera(SimCameraConfig());
    openWindow();
    if (withCamera)
        leftPress(label("labelStop"));
    QVERIFY(!access().previewWorkerRunning());
    QLabel *icon = label("labelCamera");
    QLabel *loading = label("labelloading");
    QVERIFY(!icon->isHidden());

    leftPress(icon);
    QVERIFY(icon->isHidden());
    QVERIFY(!loading->isHidden());
    QCOMPARE(loading->movie()->state(), QMovie::Running);
    // Nothing starts before the animation has had its second.
    QVERIFY(!access().previewWorkerRunning());
    QTRY_VERIFY(loading->isHidden());
    QCOMPARE(access().previewWorkerRunning(), withCamera);
    QCOMPARE(access().previewRunning(), withCamera);
    QCOMPARE(icon->isHidden(), withCamera);
    if (!withCamera)
        QCOMPARE(loading->movie()->state(), QMovie::NotRunning);
    else
        QCOMPARE(label("labPreview")->styleSheet(), QStringLiteral("border:0px;"));
}

void TestPreviewWindow::stopIconShowsOnlyWhilePreviewing() {
    bus->addCamera(SimCameraConfig());
    openWindow();
    QLabel *stop = label("labelStop");
    QHoverEvent enter(QEvent::HoverEnter, QPointF(5, 5), QPointF(-1, -1));
    QHoverEvent move(QEvent::HoverMove, QPointF(6, 6), QPointF(5, 5));
    QHoverEvent leave(QEvent::HoverLeave, QPointF(-1, -1), QPointF(6, 6));
    QCoreApplication::sendEvent(label("labPreview"), &move);
    QVERIFY(!stop->isHidden());
    QCoreApplication::sendEvent(label("labPreview"), &leave);
    QVERIFY(stop->isHidden());

    leftPress(stop);
    QCoreApplication::sendEvent(label("labPreview"), &enter);
    QVERIFY(stop->isHidden());
    QCoreApplication::sendEvent(label("labPreview"), &move);
    QVERIFY(stop->isHidden());
}

void TestPreviewWindow::picturesFitTheSurface() {
    bus->addCamera(SimCameraConfig());
    openWindow();
    window->resize(1200, 760);
    const QSize surface = access().previewSize();
    QVERIFY(surface.width() > 0);
    QLabel *preview = label("labPreview");
    QTRY_VERIFY(!preview->pixmap(Qt::ReturnByValue).isNull());
    // The worker asked for 1920 x 1080; the picture keeps its shape inside the surface.
    QCOMPARE(preview->pixmap(Qt::ReturnByValue).size(),
             QSize(1920, 1080).scaled(surface, Qt::KeepAspectRatio));

    // A null picture brings the hint back at once.
    window->slotOnReader(QPixmap());
    QVERIFY(surfaceShowsHint());
}

void TestPreviewWindow::startStopCyclesLeaveNothingBehind() {
    bus->addCamera(SimCameraConfig());
    MessageCapture quiet;
    openWindow();
    QLabel *stop = label("labelStop");
    // One cycle first, so that everything made once per process exists before counting.
    leftPress(stop);
    QCoreApplication::processEvents();
    window->slotStartPreview();
    leftPress(stop);
    QCoreApplication::processEvents();
    const int handles = bus->openHandles();
    QCOMPARE(handles, 2);
    // A thread of the cycle above may still be winding down: a leak would leave more, never
    // fewer.
    const int threads = threadsOutsideThePool();
    const int fds = openFileDescriptorCount();

    for (int cycle = 0; cycle < kCycles; ++cycle) {
        window->slotStartPreview();
        QVERIFY(access().previewWorkerRunning());
        QCOMPARE(bus->openHandles(), handles + 1);
        leftPress(stop);
        QVERIFY(!access().previewWorkerRunning());
        QCOMPARE(bus->openHandles(), handles);
        if (cycle % 20 == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    QVERIFY(surfaceShowsHint());
    QTRY_VERIFY(threadsOutsideThePool() <= threads);
    QTRY_VERIFY(openFileDescriptorCount() <= fds);
}

QTEST_MAIN(TestPreviewWindow)
#include "tst_previewwindow.moc"
