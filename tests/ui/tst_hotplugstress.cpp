// Hundreds of arrivals and removals: the window must end with exactly the listed cameras that are
// plugged, and with nothing left over from the cameras it opened and closed on the way.
#include "device/dshowcamerawrapper.h"
#include "mainwindowaccess.h"
#include "sim/simulatedbus.h"
#include "testsupport/simcamerasupport.h"
#include "testsupport/testsupport.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QListWidget>
#include <QThreadPool>
#include <QtTest>

namespace {
constexpr int kCycles = 200;

} // namespace

class TestHotplugStress : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void plugAndUnplugManyTimes();

private:
    QStringList listedIds(MainWindow &window) const;
    QStringList pluggedIds(SimulatedBus &bus) const;
};

void TestHotplugStress::initTestCase() {
    // Large picture conversions borrow the toolkit's shared pool; let its threads end as soon as
    // they are idle, so that every thread still counted belongs to the window.
    QThreadPool::globalInstance()->setExpiryTimeout(0);
}

QStringList TestHotplugStress::listedIds(MainWindow &window) const {
    auto *list = window.findChild<QListWidget *>(QStringLiteral("listWidgetCamera"));
    QStringList ids;
    for (int i = 0; i < list->count(); ++i)
        ids << list->item(i)->data(Qt::UserRole + 2).toString();
    ids.sort();
    return ids;
}

QStringList TestHotplugStress::pluggedIds(SimulatedBus &bus) const {
    QStringList ids;
    for (const auto &camera : bus.cameras()) {
        if (bus.isPlugged(camera))
            ids << idOf(camera);
    }
    ids.sort();
    return ids;
}

void TestHotplugStress::plugAndUnplugManyTimes() {
    MessageCapture quiet;
    SimulatedBus bus;
    bus.install();
    auto first = bus.addCamera(configAt("usb1/1-1"));
    auto second = bus.addCamera(configAt("usb1/1-2"));
    bus.unplug(second);

    auto window = std::make_unique<MainWindow>();
    window->show();
    MainWindowTestAccess access(*window);
    auto settle = [] { QCoreApplication::processEvents(); };

    // One round first, so that everything made once per process exists before counting. The
    // counts are taken with no camera plugged, when no worker thread can be half-way started.
    bus.unplug(first);
    settle();
    bus.plug(first);
    settle();
    QVERIFY(access.previewWorkerRunning());
    bus.unplug(first);
    settle();
    QVERIFY(!access.previewWorkerRunning());
    // Qt's own pooled threads (smooth scaling) may still be alive at the baseline and expire
    // later; a leak shows as more threads or descriptors at the end, never fewer.
    const int fds = openFileDescriptorCount();
    const int threads = threadsOutsideThePool();
    const int widgets = QApplication::allWidgets().size();
    const int handles = bus.openHandles();
    QCOMPARE(handles, 0);
    bus.plug(first);
    settle();

    for (int cycle = 0; cycle < kCycles; ++cycle) {
        bus.unplug(first);
        settle();
        QCOMPARE(listedIds(*window), pluggedIds(bus));
        QCOMPARE(access.controlsReady(), bus.isPlugged(second));

        if (cycle % 3 == 0) {
            if (bus.isPlugged(second))
                bus.unplug(second);
            else
                bus.plug(second);
            settle();
            QCOMPARE(listedIds(*window), pluggedIds(bus));
        }

        bus.plug(first);
        settle();
        QCOMPARE(listedIds(*window), pluggedIds(bus));
        QVERIFY(access.controlsReady());
        QVERIFY(!access.cameraLost());
        QVERIFY(access.previewWorkerRunning());
    }

    if (bus.isPlugged(second)) {
        bus.unplug(second);
        settle();
    }
    QCOMPARE(listedIds(*window), QStringList{idOf(first)});
    QCOMPARE(access.currentDeviceId(), idOf(first));
    QVERIFY(access.previewWorkerRunning());

    bus.unplug(first);
    settle();
    QCOMPARE(listedIds(*window), QStringList());
    QVERIFY(!access.previewWorkerRunning());
    QCOMPARE(bus.openHandles(), handles);
    QCOMPARE(QApplication::allWidgets().size(), widgets);
    QTRY_VERIFY(threadsOutsideThePool() <= threads);
    QTRY_VERIFY(openFileDescriptorCount() <= fds);

    bus.plug(first);
    settle();
    QVERIFY(access.previewWorkerRunning());
    window.reset();
    QCOMPARE(bus.openHandles(), 0);
    QTRY_VERIFY(threadsOutsideThePool() <= threads);
}

QTEST_MAIN(TestHotplugStress)
#include "tst_hotplugstress.moc"
