// The main window as a controller, with simulated cameras behind every device interface: the
// camera list and hot-plug, opening, switching and closing cameras, the state label, the preview
// surface size, the Support page, the dialogs it runs, and closing.
#include "device/catalogue.h"
#include "device/dshowcamerawrapper.h"
#include "mainwindowaccess.h"
#include "sim/simulatedbus.h"
#include "testsupport/simcamerasupport.h"
#include "testsupport/testsupport.h"
#include "ui/formcustomizemessagebox.h"
#include "ui/mainwindow.h"
#include "ui/maskwidget.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>

namespace {
const QStringList kPageControls = {
    "comboBoxAntiFlicker", "comboBoxMic",         "btnHDR",
    "btnRestoreDefaults",  "comboBoxTrackEffect", "comboBoxTrackMode",
    "comboBoxTrackSpeend", "btnUpgrade",          "sliderZoom"};

QString settingsPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/product.ini");
}

QString linkPattern(const char *pattern, const char *address, const QString &color) {
    return QString::fromUtf8(pattern).arg(QString::fromUtf8(address), color);
}

// Counts the mouse presses that reach a widget.
class PressSpy : public QObject {
public:
    explicit PressSpy(QObject *watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::MouseButtonPress)
            ++presses;
        return false;
    }
    int presses = 0;
};

// Runs `inspect` on the first family message box that opens, from inside its event loop.
void whenMessageBoxOpens(std::function<void(FormCustomizeMessagebox &)> inspect) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [inspect, poll] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<FormCustomizeMessagebox *>(widget);
            if (box && box->isVisible()) {
                inspect(*box);
                *poll = nullptr;
                return;
            }
        }
        QTimer::singleShot(0, *poll);
    };
    QTimer::singleShot(0, *poll);
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsWithoutCamera();
    void opensTheFirstCamera();
    void listShowsOnlyTheConfiguredVendor_data();
    void listShowsOnlyTheConfiguredVendor();
    void displayNames_data();
    void displayNames();
    void twoCamerasInEnumerationOrder();
    void clickOnTheOpenCameraDoesNothing();
    void clickOnAnotherCameraSwitchesWithoutPreview();
    void unplugOfTheCurrentCamera();
    void unplugOfTheCurrentOfTwoOpensTheOther();
    void unplugOfAnotherCameraKeepsTheCurrentOpen();
    void plugOfAnotherCameraKeepsTheCurrentOpen();
    void replugReopens();
    void hotplugEventsAreFiltered_data();
    void hotplugEventsAreFiltered();
    void removalWithoutCurrentCameraShowsEmptyName();
    void nativeEventsAreNeverConsumed();
    void openFailureLeavesControlsDisabled();
    void modelNarrowing_data();
    void modelNarrowing();
    void previewSurfaceFollowsTheWindow_data();
    void previewSurfaceFollowsTheWindow();
    void sectionTitlesToggleTheirSection_data();
    void sectionTitlesToggleTheirSection();
    void previewLabelsConsumeLeftPresses();
    void hoverShowsTheStopIconWhilePreviewing();
    void navigationSwitchesPages();
    void supportLinksFollowTheTheme();
    void messageBoxIsCentredModalAndMasked();
    void messageBoxResults_data();
    void messageBoxResults();
    void closingDuringAnUpgradeIsRefused();
    void closingSavesAndReleasesTheCamera();
    void destroyingTheWindowEndsItsThreads();

private:
    void writeVendor(int index);
    MainWindow &openWindow();
    MainWindowTestAccess access() { return MainWindowTestAccess(*window); }
    QListWidget *list() const {
        return window->findChild<QListWidget *>(QStringLiteral("listWidgetCamera"));
    }
    QLabel *label(const char *name) const {
        return window->findChild<QLabel *>(QString::fromLatin1(name));
    }
    QWidget *widget(const QString &name) const { return window->findChild<QWidget *>(name); }
    QStringList listedIds() const;
    void clickRow(int row);
    // Delivers the bus's queued hot-plug events.
    static void settle() { QCoreApplication::processEvents(); }

    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<MainWindow> window;
};

void TestMainWindow::init() {
    QFile::remove(settingsPath());
    bus = std::make_unique<SimulatedBus>();
    bus->install();
}

void TestMainWindow::cleanup() {
    window.reset();
    bus.reset();
    QFile::remove(settingsPath());
}

void TestMainWindow::writeVendor(int index) {
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("/product_model/main"), index);
}

MainWindow &TestMainWindow::openWindow() {
    window = std::make_unique<MainWindow>();
    return *window;
}

QStringList TestMainWindow::listedIds() const {
    QStringList ids;
    for (int i = 0; i < list()->count(); ++i)
        ids << list()->item(i)->data(Qt::UserRole + 2).toString();
    return ids;
}

void TestMainWindow::clickRow(int row) {
    window->show();
    QListWidgetItem *item = list()->item(row);
    QVERIFY(item);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list()->visualItemRect(item).center());
}

void TestMainWindow::startsWithoutCamera() {
    openWindow();
    QCOMPARE(list()->count(), 0);
    QVERIFY(access().cameraLost());
    QVERIFY(!access().controlsReady());
    QVERIFY(!access().previewRunning());
    QVERIFY(label("labelState")->text().isEmpty());
    QVERIFY(label("labelDevModel")->text().isEmpty());
    QVERIFY(label("labelDevVer")->text().isEmpty());
    for (const QString &name : kPageControls)
        QVERIFY2(!widget(name)->isEnabled(), qPrintable(name));
    QCOMPARE(access().vendorIndex(), 0);
    QCOMPARE(access().vendorId(), 0x1D6B);
}

void TestMainWindow::opensTheFirstCamera() {
    auto camera = bus->addCamera(SimCameraConfig());
    openWindow();
    QCOMPARE(list()->count(), 1);
    QListWidgetItem *item = list()->item(0);
    QCOMPARE(item->text(), QStringLiteral("QX-M30-000"));
    QCOMPARE(item->sizeHint(), QSize(150, 54));
    QCOMPARE(item->data(Qt::UserRole).toInt(), 0);
    QCOMPARE(item->data(Qt::UserRole + 1).toString(), QStringLiteral("QX-M30-000"));
    QCOMPARE(item->data(Qt::UserRole + 2).toString(), idOf(camera));
    QCOMPARE(list()->currentRow(), 0);

    QCOMPARE(access().currentDeviceId(), idOf(camera));
    QCOMPARE(access().currentFriendlyName(), QStringLiteral("QX-M30-000"));
    QVERIFY(access().controlsReady());
    QVERIFY(!access().cameraLost());
    QCOMPARE(access().modelIndex(), 0);
    QCOMPARE(access().dshowIndex(), 0);
    QCOMPARE(label("labelState")->text(), QStringLiteral("QX-M30-000(Connected)"));
    QCOMPARE(label("labelDevModel")->text(), QStringLiteral("QX-M30-000"));
    QCOMPARE(label("labelDevVer")->text(), QStringLiteral("V1.0.0"));
    for (const QString &name : kPageControls)
        QVERIFY2(widget(name)->isEnabled(), qPrintable(name));
    // A refresh asks for the preview, which runs once a camera is open.
    QVERIFY(access().previewRunning());
    QVERIFY(access().previewWorkerRunning());
    QVERIFY(!camera->xuLog().empty());
}

void TestMainWindow::listShowsOnlyTheConfiguredVendor_data() {
    QTest::addColumn<int>("vendorIndex");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("vendor 0") << 0 << QStringList{"QX-M30-000"};
    QTest::newRow("vendor 1") << 1 << QStringList{"ZENTA 320"};
    QTest::newRow("no such vendor") << 7 << QStringList{};
}

void TestMainWindow::listShowsOnlyTheConfiguredVendor() {
    QFETCH(int, vendorIndex);
    QFETCH(QStringList, listed);
    writeVendor(vendorIndex);
    SimCameraConfig webcam;
    webcam.vendorId = 0x046D;
    webcam.productId = 0x0825;
    webcam.productName = "Other Webcam C270";
    webcam.portKey = "usb1/1-3";
    bus->addCamera(webcam);
    bus->addCamera(configAt("usb1/1-1"));
    bus->addCamera(zentaConfig(0x0305, "Kestrelon ZENTA 320", "usb1/1-2"));
    VideoInputInfo microphone;
    microphone.hasDevicePath = true;
    microphone.devicePath = "\\\\?\\usb#vid_1d6b&pid_0104&mi_02#6&0badf00d&0&0000#{65e8773d-"
                            "8f56-11d0-a3b9-00a0c9223196}\\global";
    microphone.hasFriendlyName = true;
    microphone.friendlyName = "QX-M30-000 Microphone";
    bus->addOtherVideoInput(microphone);

    openWindow();
    QStringList shown;
    for (int i = 0; i < list()->count(); ++i)
        shown << list()->item(i)->text();
    QCOMPARE(shown, listed);
    QCOMPARE(access().controlsReady(), !listed.isEmpty());
}

void TestMainWindow::displayNames_data() {
    QTest::addColumn<QString>("friendlyName");
    QTest::addColumn<QString>("shown");
    QTest::newRow("15 characters") << "Maker QX-M30-00"
                                   << "Maker QX-M30-00";
    QTest::newRow("16 with a blank") << "Maker QX-M30-000"
                                     << "QX-M30-000";
    QTest::newRow("16 without a blank") << "MakerXQX-M30-000"
                                        << "MakerXQX-M30-000";
    QTest::newRow("blanks kept inside, trimmed") << "Maker   QX-M30-000  x"
                                                 << "QX-M30-000  x";
    QTest::newRow("short") << "QX-M30-000"
                           << "QX-M30-000";
}

void TestMainWindow::displayNames() {
    QFETCH(QString, friendlyName);
    QFETCH(QString, shown);
    SimCameraConfig config = SimCameraConfig();
    config.productName = friendlyName.toStdString();
    bus->addCamera(config);
    openWindow();
    QCOMPARE(list()->count(), 1);
    QCOMPARE(list()->item(0)->text(), shown);
    QCOMPARE(list()->item(0)->data(Qt::UserRole + 1).toString(), friendlyName);
}

void TestMainWindow::twoCamerasInEnumerationOrder() {
    auto first = bus->addCamera(configAt("usb1/1-1"));
    auto second = bus->addCamera(configAt("usb1/1-2"));
    openWindow();
    QCOMPARE(listedIds(), (QStringList{idOf(first), idOf(second)}));
    QVERIFY(list()->item(0)->data(Qt::UserRole).toInt() <
            list()->item(1)->data(Qt::UserRole).toInt());
    QCOMPARE(list()->item(1)->sizeHint(), QSize(150, 54));
    QCOMPARE(access().currentDeviceId(), idOf(first));
}

void TestMainWindow::clickOnTheOpenCameraDoesNothing() {
    auto camera = bus->addCamera(SimCameraConfig());
    openWindow();
    const std::size_t traffic = camera->xuLog().size();
    const int handles = bus->openHandles();
    clickRow(0);
    QCOMPARE(camera->xuLog().size(), traffic);
    QCOMPARE(bus->openHandles(), handles);
    QVERIFY(access().previewWorkerRunning());
    QVERIFY(access().controlsReady());
}

void TestMainWindow::clickOnAnotherCameraSwitchesWithoutPreview() {
    auto first = bus->addCamera(configAt("usb1/1-1"));
    auto second = bus->addCamera(configAt("usb1/1-2"));
    openWindow();
    QVERIFY(access().previewWorkerRunning());
    const std::size_t secondTraffic = second->xuLog().size();

    clickRow(1);
    QCOMPARE(access().currentDeviceId(), idOf(second));
    QVERIFY(access().controlsReady());
    QVERIFY(second->xuLog().size() > secondTraffic);
    // The first camera was closed: only the second's two channels are open, and no preview.
    QCOMPARE(bus->openHandles(), 2);
    QVERIFY(!access().previewRunning());
    QVERIFY(!access().previewWorkerRunning());
    for (const QString &name : kPageControls)
        QVERIFY2(widget(name)->isEnabled(), qPrintable(name));

    const std::size_t firstTraffic = first->xuLog().size();
    window->findChild<QSlider *>(QStringLiteral("sliderZoom"))->setValue(300);
    QCOMPARE(first->xuLog().size(), firstTraffic);
    QCOMPARE(second->position().zoom, 300);
    QCOMPARE(first->position().zoom, 100);
}

void TestMainWindow::unplugOfTheCurrentCamera() {
    auto camera = bus->addCamera(SimCameraConfig());
    openWindow();
    QVERIFY(access().controlsReady());

    bus->unplug(camera);
    settle();
    QCOMPARE(list()->count(), 0);
    QCOMPARE(label("labelState")->text(), QStringLiteral("QX-M30-000(Disconnected)"));
    QVERIFY(label("labelDevModel")->text().isEmpty());
    QVERIFY(label("labelDevVer")->text().isEmpty());
    QCOMPARE(label("labPreview")->styleSheet(), QStringLiteral("border:2px dashed #dadfe4;"));
    QVERIFY(access().cameraLost());
    QVERIFY(!access().controlsReady());
    QVERIFY(access().currentDeviceId().isEmpty());
    QVERIFY(access().currentFriendlyName().isEmpty());
    QVERIFY(!access().previewWorkerRunning());
    for (const QString &name : kPageControls)
        QVERIFY2(!widget(name)->isEnabled(), qPrintable(name));
    QCOMPARE(bus->openHandles(), 0);
}

void TestMainWindow::unplugOfTheCurrentOfTwoOpensTheOther() {
    auto first = bus->addCamera(configAt("usb1/1-1"));
    // Same name, other vendor: not listed.
    bus->addCamera(zentaConfig(0x0305, "QX-M30-000", "usb1/1-2"));
    auto third = bus->addCamera(configAt("usb1/1-3"));
    openWindow();
    QCOMPARE(listedIds(), (QStringList{idOf(first), idOf(third)}));

    bus->unplug(first);
    settle();
    QCOMPARE(listedIds(), QStringList{idOf(third)});
    QCOMPARE(access().currentDeviceId(), idOf(third));
    QVERIFY(access().controlsReady());
    QVERIFY(!access().cameraLost());
    QCOMPARE(label("labelState")->text(), QStringLiteral("QX-M30-000(Connected)"));
    for (const QString &name : kPageControls)
        QVERIFY2(widget(name)->isEnabled(), qPrintable(name));
    QVERIFY(access().previewWorkerRunning());
}

void TestMainWindow::unplugOfAnotherCameraKeepsTheCurrentOpen() {
    auto first = bus->addCamera(configAt("usb1/1-1"));
    auto second = bus->addCamera(configAt("usb1/1-2"));
    openWindow();
    const std::size_t traffic = first->xuLog().size();
    bus->unplug(second);
    settle();
    QCOMPARE(listedIds(), QStringList{idOf(first)});
    QCOMPARE(access().currentDeviceId(), idOf(first));
    QCOMPARE(first->xuLog().size(), traffic);
    QVERIFY(access().previewWorkerRunning());
    QCOMPARE(label("labelState")->text(), QStringLiteral("QX-M30-000(Connected)"));
}

void TestMainWindow::plugOfAnotherCameraKeepsTheCurrentOpen() {
    auto first = bus->addCamera(configAt("usb1/1-1"));
    openWindow();
    const std::size_t traffic = first->xuLog().size();
    auto second = bus->addCamera(configAt("usb1/1-2"));
    settle();
    QCOMPARE(listedIds(), (QStringList{idOf(first), idOf(second)}));
    QCOMPARE(access().currentDeviceId(), idOf(first));
    QCOMPARE(first->xuLog().size(), traffic);
    QVERIFY(second->xuLog().empty());
}

void TestMainWindow::replugReopens() {
    auto camera = bus->addCamera(SimCameraConfig());
    openWindow();
    bus->unplug(camera);
    settle();
    QVERIFY(!access().controlsReady());
    camera->clearLogs();
    bus->plug(camera);
    settle();
    QCOMPARE(listedIds(), QStringList{idOf(camera)});
    QVERIFY(access().controlsReady());
    QVERIFY(!access().cameraLost());
    QVERIFY(!camera->xuLog().empty());
    QCOMPARE(label("labelState")->text(), QStringLiteral("QX-M30-000(Connected)"));
    QCOMPARE(label("labelDevVer")->text(), QStringLiteral("V1.0.0"));
    QVERIFY(access().previewWorkerRunning());
}

void TestMainWindow::hotplugEventsAreFiltered_data() {
    QTest::addColumn<bool>("arrival");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("reported");
    const QString guid = QStringLiteral("#{65E8773D-8F56-11D0-A3B9-00A0C9223196}\\global");
    QTest::newRow("camera arrives")
        << true << "\\\\?\\USB#VID_1D6B&PID_0104&MI_00#6&1&0&0000" + guid << true;
    QTest::newRow("camera leaves")
        << false << "\\\\?\\USB#VID_1D6B&PID_0104&MI_00#6&1&0&0000" + guid << true;
    QTest::newRow("second node") << true << "\\\\?\\USB#VID_1D6B&PID_0104&MI_00#6&1&0&0001" + guid
                                 << false;
    QTest::newRow("malformed") << true << "\\\\?\\USB#VID_1D6B&PID_0104&MI_00" + guid << false;
}

void TestMainWindow::hotplugEventsAreFiltered() {
    QFETCH(bool, arrival);
    QFETCH(QString, name);
    QFETCH(bool, reported);
    openWindow();
    QSignalSpy plugged(window.get(), &MainWindow::onCameraPlugged);
    access().reportCaptureInterface(arrival, name);
    QCOMPARE(plugged.count(), reported ? 1 : 0);
    if (reported) {
        QCOMPARE(plugged.at(0).at(0).toBool(), arrival);
        QCOMPARE(plugged.at(0).at(1).toString(), name.toLower());
    }
}

void TestMainWindow::removalWithoutCurrentCameraShowsEmptyName() {
    openWindow();
    bus->addCamera(SimCameraConfig());
    settle();
    // The arrival opened it; take it away behind the window's back and report a removal.
    QVERIFY(access().controlsReady());
    const auto cameras = bus->cameras();
    bus->unplug(cameras.front());
    settle();
    QVERIFY(access().currentDeviceId().isEmpty());
    access().reportCaptureInterface(false,
                                    QString::fromStdString(cameras.front()->interfaceName()));
    QCOMPARE(label("labelState")->text(), QStringLiteral("(Disconnected)"));
    QCOMPARE(list()->count(), 0);
}

void TestMainWindow::nativeEventsAreNeverConsumed() {
    openWindow();
    long result = 12345;
    int message = 0;
    QVERIFY(!access().nativeEvent(QByteArrayLiteral("xcb_generic_event_t"), &message, &result));
    QCOMPARE(result, 12345L);
}

void TestMainWindow::openFailureLeavesControlsDisabled() {
    auto camera = bus->addCamera(SimCameraConfig());
    SimCameraFaults faults;
    faults.openFails = true;
    camera->setCameraFaults(faults);
    MessageCapture messages;
    openWindow();
    QVERIFY(messages.contains(QStringLiteral("UVC init failed!")));
    QCOMPARE(list()->count(), 1);
    QVERIFY(!access().controlsReady());
    // The current camera stays named, so a later refresh tries it again.
    QCOMPARE(access().currentDeviceId(), idOf(camera));
    QVERIFY(!access().previewWorkerRunning());
    for (const QString &name : kPageControls)
        QVERIFY2(!widget(name)->isEnabled(), qPrintable(name));
}

void TestMainWindow::modelNarrowing_data() {
    QTest::addColumn<int>("productId");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("enabled");
    QTest::newRow("ZENTA 310") << 0x0103 << "Kestrelon ZENTA 310"
                               << QStringList{"comboBoxMic", "btnRestoreDefaults", "btnUpgrade"};
    QStringList all320 = kPageControls;
    all320.removeAll(QStringLiteral("comboBoxTrackMode"));
    QTest::newRow("ZENTA 320") << 0x0305 << "Kestrelon ZENTA 320" << all320;
    QTest::newRow("ZENTA 325") << 0x0306 << "Kestrelon ZENTA 325" << kPageControls;
}

void TestMainWindow::modelNarrowing() {
    QFETCH(int, productId);
    QFETCH(QString, name);
    QFETCH(QStringList, enabled);
    writeVendor(1);
    bus->addCamera(zentaConfig(static_cast<std::uint16_t>(productId), name.toStdString()));
    openWindow();
    QVERIFY(access().controlsReady());
    for (const QString &control : kPageControls)
        QVERIFY2(widget(control)->isEnabled() == enabled.contains(control), qPrintable(control));
}

void TestMainWindow::previewSurfaceFollowsTheWindow_data() {
    QTest::addColumn<int>("frameWidth");
    QTest::addColumn<QSize>("surface");
    QTest::newRow("1100") << 1100 << QSize(550, 309);
    QTest::newRow("1234, height rounded down") << 1234 << QSize(684, 384);
    QTest::newRow("1510") << 1510 << QSize(960, 540);
}

void TestMainWindow::previewSurfaceFollowsTheWindow() {
    QFETCH(int, frameWidth);
    QFETCH(QSize, surface);
    openWindow();
    window->show();
    QTRY_VERIFY(window->isVisible());
    const int frame = window->frameGeometry().width() - window->width();
    window->resize(frameWidth - frame, 760);
    QTRY_COMPARE(window->frameGeometry().width(), frameWidth);
    QCOMPARE(label("labPreview")->minimumSize(), surface);
    QCOMPARE(label("labPreview")->maximumSize(), surface);
    QCOMPARE(access().previewSize(), surface);
}

void TestMainWindow::sectionTitlesToggleTheirSection_data() {
    QTest::addColumn<int>("section");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("content");
    QTest::newRow("device information") << 0 << "labelDevInfo"
                                        << "btnDevInfoExtend"
                                        << "widgetDevInfo";
    QTest::newRow("software update") << 1 << "labelDevUpdate"
                                     << "btnDevUpdateExtend"
                                     << "widgetDevUpdate";
    QTest::newRow("support") << 2 << "labelDevSupport"
                             << "btnDevSupportExtend"
                             << "widgetDevSupport";
    QTest::newRow("desktop version") << 3 << "labelDevDesktopVer"
                                     << "btnDevDesktopVerExtend"
                                     << "widgetDevDesktopVer";
}

void TestMainWindow::sectionTitlesToggleTheirSection() {
    QFETCH(int, section);
    QFETCH(QString, title);
    QFETCH(QString, button);
    QFETCH(QString, content);
    openWindow();
    window->show();
    QWidget *titleLabel = widget(title);
    auto *extend = window->findChild<QPushButton *>(button);
    QWidget *body = widget(content);
    // A press that the window does not consume travels on to the title's parent.
    PressSpy travelled(titleLabel->parentWidget());
    auto press = [&](Qt::MouseButton which) {
        const int before = travelled.presses;
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(2, 2), which, which, Qt::NoModifier);
        QCoreApplication::sendEvent(titleLabel, &event);
        return travelled.presses == before;
    };

    QVERIFY(access().sectionExpanded(section));
    QVERIFY(!press(Qt::RightButton));
    QVERIFY(!body->isHidden());
    QVERIFY(!extend->isChecked());

    QVERIFY(press(Qt::LeftButton));
    QVERIFY(body->isHidden());
    QVERIFY(extend->isChecked());
    QVERIFY(!access().sectionExpanded(section));

    QVERIFY(press(Qt::LeftButton));
    QVERIFY(!body->isHidden());
    QVERIFY(!extend->isChecked());
    QVERIFY(access().sectionExpanded(section));

    // The arrow button and the title stay in step.
    extend->click();
    QVERIFY(body->isHidden());
    QVERIFY(press(Qt::LeftButton));
    QVERIFY(!body->isHidden());
    QVERIFY(!extend->isChecked());
}

void TestMainWindow::previewLabelsConsumeLeftPresses() {
    openWindow();
    window->show();
    QLabel *preview = label("labPreview");
    PressSpy travelled(preview->parentWidget());
    QMouseEvent left(QEvent::MouseButtonPress, QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(preview, &left);
    QCOMPARE(travelled.presses, 0);
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(2, 2), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(preview, &right);
    QCOMPARE(travelled.presses, 1);

    // A label that is not watched lets the press go its normal way.
    QLabel *caption = label("label_13");
    PressSpy captionParent(caption->parentWidget());
    QMouseEvent other(QEvent::MouseButtonPress, QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(caption, &other);
    QCOMPARE(captionParent.presses, 1);
}

void TestMainWindow::hoverShowsTheStopIconWhilePreviewing() {
    bus->addCamera(SimCameraConfig());
    openWindow();
    window->show();
    QVERIFY(access().previewRunning());
    QLabel *stop = label("labelStop");
    QVERIFY(!stop->isVisible());
    QHoverEvent enter(QEvent::HoverEnter, QPointF(5, 5), QPointF(-1, -1));
    QCoreApplication::sendEvent(label("labPreview"), &enter);
    QVERIFY(stop->isVisible());
    QHoverEvent leave(QEvent::HoverLeave, QPointF(-1, -1), QPointF(5, 5));
    QCoreApplication::sendEvent(label("labPreview"), &leave);
    QVERIFY(!stop->isVisible());
}

void TestMainWindow::navigationSwitchesPages() {
    openWindow();
    auto *control = window->findChild<QToolButton *>(QStringLiteral("btnNavControl"));
    auto *support = window->findChild<QToolButton *>(QStringLiteral("btnNavSupport"));
    auto *pages = window->findChild<QStackedWidget *>(QStringLiteral("stackedWidgetMain"));
    QCOMPARE(pages->currentIndex(), 0);
    QVERIFY(control->isChecked());

    support->click();
    QCOMPARE(pages->currentIndex(), 1);
    QVERIFY(support->isChecked());
    QVERIFY(!control->isChecked());

    support->click();
    QCOMPARE(pages->currentIndex(), 1);
    QVERIFY(support->isChecked());

    control->click();
    QCOMPARE(pages->currentIndex(), 0);
    QVERIFY(control->isChecked());
    QVERIFY(!support->isChecked());
}

void TestMainWindow::supportLinksFollowTheTheme() {
    openWindow();
    const char documentation[] = "<style> a {text-decoration: none} </style><a style='color: "
                                 "%2;' href=\"%1\" target=_blank>Documentation</a>";
    const char userGuide[] =
        "<style> a {text-decoration: none} </style><a style='color: %2;' href=\"%1/\">User Guide";
    const char contact[] = "<style> a {text-decoration: none} </style><a style='color: %2;' "
                           "href=\"%1/\">Contact Support";
    auto check = [&](const QString &color) {
        QCOMPARE(label("labelHyperlinksQuickStartGuide")->text(),
                 linkPattern(documentation, kDocumentationUrl, color));
        QCOMPARE(label("labelHyperlinksUserGuide")->text(),
                 linkPattern(userGuide, kSupportBaseUrl, color));
        QCOMPARE(label("labelHyperlinksContactSupport")->text(),
                 linkPattern(contact, kContactUrl, color));
    };
    check(QStringLiteral("#000000"));
    auto *mode = window->findChild<QPushButton *>(QStringLiteral("btnModeLight"));
    mode->click();
    QCOMPARE(access().styleIndex(), 1);
    check(QStringLiteral("#DEE2E2"));
    mode->click();
    QCOMPARE(access().styleIndex(), 0);
    check(QStringLiteral("#000000"));
}

void TestMainWindow::messageBoxIsCentredModalAndMasked() {
    openWindow();
    window->move(120, 60);
    window->show();
    bool inspected = false;
    whenMessageBoxOpens([&](FormCustomizeMessagebox &box) {
        inspected = true;
        const QPoint expected(window->pos().x() + (window->width() - box.width()) / 2,
                              window->pos().y() + (window->height() - box.height()) / 2);
        QCOMPARE(box.pos(), expected);
        QVERIFY(box.testAttribute(Qt::WA_ShowModal));
        QVERIFY(box.isModal());
        QVERIFY(!box.parentWidget());
        QCOMPARE(box.findChild<QTextEdit *>(QStringLiteral("textEditPrompt"))->toPlainText(),
                 QStringLiteral("The setting has timed out, please try again."));
        QVERIFY(box.findChild<QPushButton *>(QStringLiteral("btnCancel"))->isHidden());
        QVERIFY(!box.countdownActive());
        MaskWidget *mask = MaskWidget::instance();
        QVERIFY(mask->isVisible());
        QCOMPARE(mask->geometry(), window->geometry());
        QTest::mouseClick(box.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    window->showMessageBox(QStringLiteral("The setting has timed out, please try again."), false);
    QVERIFY(inspected);
    QVERIFY(!MaskWidget::instance()->isVisible());
}

void TestMainWindow::messageBoxResults_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << 1 << "btnOK" << int(QDialog::Accepted);
    QTest::newRow("Cancel") << 1 << "btnCancel" << int(QDialog::Rejected);
    QTest::newRow("countdown ends") << 0 << "" << int(QDialog::Accepted);
}

void TestMainWindow::messageBoxResults() {
    QFETCH(int, buttons);
    QFETCH(QString, press);
    QFETCH(int, result);
    openWindow();
    window->show();
    whenMessageBoxOpens([&](FormCustomizeMessagebox &box) {
        if (press.isEmpty()) {
            for (int tick = 0; tick < 6; ++tick)
                box.slotOnTimeout();
        } else {
            QTest::mouseClick(box.findChild<QPushButton *>(press), Qt::LeftButton);
        }
    });
    QCOMPARE(window->runMessageBox(QStringLiteral("question"), buttons, press.isEmpty()), result);
}

void TestMainWindow::closingDuringAnUpgradeIsRefused() {
    bus->addCamera(SimCameraConfig());
    openWindow();
    window->show();
    access().setUpgrading(true);
    bool refused = false;
    whenMessageBoxOpens([&](FormCustomizeMessagebox &box) {
        refused = true;
        QCOMPARE(box.findChild<QTextEdit *>(QStringLiteral("textEditPrompt"))->toPlainText(),
                 QStringLiteral("Cannot exit during the upgrade process!"));
        QVERIFY(box.findChild<QPushButton *>(QStringLiteral("btnCancel"))->isHidden());
        QVERIFY(box.countdownActive());
        QVERIFY(box.testAttribute(Qt::WA_ShowModal));
        // The countdown closes it by itself.
        for (int tick = 0; tick < 6; ++tick)
            box.slotOnTimeout();
    });
    QVERIFY(!window->close());
    QVERIFY(refused);
    QVERIFY(window->isVisible());
    QVERIFY(access().controlsReady());
    QVERIFY(!QFile::exists(settingsPath()));
}

void TestMainWindow::closingSavesAndReleasesTheCamera() {
    bus->addCamera(SimCameraConfig());
    openWindow();
    window->move(130, 70);
    window->show();
    QVERIFY(access().previewWorkerRunning());
    QVERIFY(window->close());
    QVERIFY(!access().previewWorkerRunning());
    QVERIFY(!access().controlsReady());
    QCOMPARE(bus->openHandles(), 0);
    QSettings settings(settingsPath(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("/window/left")).toInt(), window->frameGeometry().x());
    QCOMPARE(settings.value(QStringLiteral("/window/top")).toInt(), window->frameGeometry().y());
    QCOMPARE(settings.value(QStringLiteral("/window/width")).toInt(), window->width());
    QCOMPARE(settings.value(QStringLiteral("/window/height")).toInt(), window->height());
    QCOMPARE(settings.value(QStringLiteral("/style/index")).toInt(), 0);
}

void TestMainWindow::destroyingTheWindowEndsItsThreads() {
    const int threadsBefore = threadsOutsideThePool();
    bus->addCamera(SimCameraConfig());
    openWindow();
    QVERIFY(access().previewWorkerRunning());
    QVERIFY(threadsOutsideThePool() > threadsBefore);
    window.reset();
    // Threads of earlier tests may leave meanwhile, so the count may fall below the start.
    QTRY_VERIFY(threadsOutsideThePool() <= threadsBefore);
    QCOMPARE(bus->openHandles(), 0);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
