// The Control page over a simulated camera: what each control puts on the wire, when it must stay
// silent, what the page shows for each tracking mode, the direction pad and zoom limits, the
// settings read at open, the per-model narrowing and the message boxes after failed writes.
#include "device/catalogue.h"
#include "device/dshowcamerawrapper.h"
#include "mainwindowaccess.h"
#include "sim/simulatedbus.h"
#include "testsupport/simcamerasupport.h"
#include "testsupport/testsupport.h"
#include "translationrecorder.h"
#include "ui/formcustomizemessagebox.h"
#include "ui/mainwindow.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {
const char kSettingTimedOut[] = "The setting has timed out, please try again.";
const char kOperationTimedOut[] = "The operation has timed out, please try again.";
const char kRestartNotice[] =
    "To complete this process, your device may take a few seconds to restart.";
const char kRestoreConfirmation[] = "<h3>Restore Defaults</h3>\r\nTo complete this process, your "
                                    "device may take a few seconds to restart.";

const QStringList kPageControls = {
    "comboBoxAntiFlicker", "comboBoxMic",         "btnHDR",
    "btnRestoreDefaults",  "comboBoxTrackEffect", "comboBoxTrackMode",
    "comboBoxTrackSpeend", "btnUpgrade",          "sliderZoom",
    "btnCameraUp",         "btnCameraDown",       "btnCameraLeft",
    "btnCameraRight"};
const QStringList kPad = {"btnCameraUp", "btnCameraDown", "btnCameraLeft", "btnCameraRight"};

// Codes of the vendor setting writes (queries carry 0x80, the legacy version query is 0x0B).
const QList<int> kWriteCodes = {0x01, 0x02, 0x04, 0x10, 0x11, 0x12, 0x7F};

using Write = QPair<int, int>; // code, argument

QString settingsPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/product.ini");
}

// The setting writes the camera received from record `from` on.
QList<Write> writesSince(const SimCamera &camera, std::size_t from = 0) {
    QList<Write> writes;
    const auto log = camera.xuLog();
    for (std::size_t i = from; i < log.size(); ++i) {
        const SimXuRecord &record = log[i];
        if (record.selector == kSelectorCommand && record.direction == UnitDirection::Write &&
            kWriteCodes.contains(record.bytes[0]))
            writes << Write(record.bytes[0], record.bytes[2]);
    }
    return writes;
}

struct SeenBox {
    QString text;
    bool cancelShown = false;
    bool countdown = false;
    bool modal = false;
};

// Answers every family message box that opens, from inside its event loop: records what it shows
// and presses OK (or Cancel when told to).
class MessageBoxDriver : public QObject {
public:
    MessageBoxDriver() {
        connect(&poller, &QTimer::timeout, this, &MessageBoxDriver::poll);
        poller.start(5);
    }
    QList<SeenBox> seen;
    QString press = QStringLiteral("btnOK");

private:
    void poll() {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<FormCustomizeMessagebox *>(widget);
            if (!box || !box->isVisible())
                continue;
            SeenBox entry;
            entry.text =
                box->findChild<QTextEdit *>(QStringLiteral("textEditPrompt"))->toPlainText();
            entry.cancelShown =
                !box->findChild<QPushButton *>(QStringLiteral("btnCancel"))->isHidden();
            entry.countdown = box->countdownActive();
            entry.modal = box->testAttribute(Qt::WA_ShowModal) && box->isModal();
            seen << entry;
            auto *button =
                box->findChild<QPushButton *>(entry.cancelShown ? press : QStringLiteral("btnOK"));
            QTest::mouseClick(button, Qt::LeftButton);
        }
    }
    QTimer poller;
};

// What a box's text edit shows for a message (markup such as a heading is rendered).
QString rendered(const QString &text) {
    QTextEdit probe;
    probe.setText(text);
    return probe.toPlainText();
}

bool isRowVisible(QWidget *label, QWidget *box) {
    // The window need not be on screen: a row is shown unless it was hidden.
    return !label->isHidden() && !box->isHidden();
}
} // namespace

class TestControlPage : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void comboIndexWritesTheTableValue_data();
    void comboIndexWritesTheTableValue();
    void settingsReadFillsThePageWithoutWriting_data();
    void settingsReadFillsThePageWithoutWriting();
    void handlersAreSilentWithoutAnOpenCamera();
    void visibilityAfterTheSettingsRead_data();
    void visibilityAfterTheSettingsRead();
    void visibilityAfterEachTrackingMode_data();
    void visibilityAfterEachTrackingMode();
    void autoFramingRewritesAChangedEffect();
    void effectAndSpeedNeedAutoFramingOnTheCamera_data();
    void effectAndSpeedNeedAutoFramingOnTheCamera();
    void trackingOffReappliesThePosition_data();
    void trackingOffReappliesThePosition();
    void padStopsAtItsLimits_data();
    void padStopsAtItsLimits();
    void zoomDecidesOverThePadLimits();
    void zoomReadIsKeptInRange_data();
    void zoomReadIsKeptInRange();
    void versionFallsBackToTheLegacyQuery_data();
    void versionFallsBackToTheLegacyQuery();
    void failedWriteShowsOneTimeOut_data();
    void failedWriteShowsOneTimeOut();
    void hdrKeepsItsToggledValueAfterAFailure();
    void restoreDefaults_data();
    void restoreDefaults();
    void zenta310EnablesOnlyMicRestoreAndUpgrade();
    void zenta320LosesTheTrackingMode();

private:
    void openWindow();
    // Plugs in a camera with these settings, opens the window on it and stops the preview the
    // list refresh started.
    void openOnCamera(const SimSettings &settings = SimSettings());
    // Ends the preview that the refresh started, so that the page's traffic is all there is.
    void stopPreview();
    // Waits until the position re-apply that a tracking mode of Off schedules has run: moves the
    // camera's zoom behind the page's back and waits for the page to write its own back.
    void awaitPositionReapply();
    MainWindowTestAccess access() { return MainWindowTestAccess(*window); }
    template <typename T = QWidget>
    T *child(const QString &name) const {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no widget %s", qPrintable(name));
        return found;
    }
    QComboBox *combo(const QString &name) const { return child<QComboBox>(name); }
    QPushButton *button(const QString &name) const { return child<QPushButton>(name); }
    QStringList enabledControls() const;
    bool padEnabled(bool all) const;

    std::unique_ptr<SimulatedBus> bus;
    std::shared_ptr<SimCamera> camera;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MessageBoxDriver> boxes;
};

void TestControlPage::init() {
    QFile::remove(settingsPath());
    g_pan = 0;
    g_tilt = 0;
    g_zoom = 100;
    bus = std::make_unique<SimulatedBus>();
    bus->install();
    boxes = std::make_unique<MessageBoxDriver>();
}

void TestControlPage::cleanup() {
    window.reset();
    boxes.reset();
    camera.reset();
    bus.reset();
    QFile::remove(settingsPath());
}

void TestControlPage::openWindow() {
    window = std::make_unique<MainWindow>();
}

void TestControlPage::openOnCamera(const SimSettings &settings) {
    camera = bus->addCamera(SimCameraConfig());
    camera->setSettings(settings);
    openWindow();
    stopPreview();
}

void TestControlPage::stopPreview() {
    if (!access().previewRunning())
        return;
    auto *stop = child<QLabel>(QStringLiteral("labelStop"));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(stop, &press);
    QVERIFY(!access().previewWorkerRunning());
}

void TestControlPage::awaitPositionReapply() {
    SimPosition moved = camera->position();
    moved.zoom = g_zoom == 555 ? 556 : 555;
    camera->setPosition(moved);
    QTRY_COMPARE(camera->position().zoom, g_zoom);
}

QStringList TestControlPage::enabledControls() const {
    QStringList enabled;
    for (const QString &name : kPageControls) {
        if (child(name)->isEnabled())
            enabled << name;
    }
    return enabled;
}

bool TestControlPage::padEnabled(bool all) const {
    for (const QString &name : kPad) {
        if (child(name)->isEnabled() != all)
            return false;
    }
    return true;
}

// --- what goes on the wire

void TestControlPage::comboIndexWritesTheTableValue_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("value");
    QTest::newRow("anti-flicker Off") << "comboBoxAntiFlicker" << 0 << 0x02 << 0;
    QTest::newRow("anti-flicker 50Hz") << "comboBoxAntiFlicker" << 1 << 0x02 << 1;
    QTest::newRow("anti-flicker 60Hz") << "comboBoxAntiFlicker" << 2 << 0x02 << 2;
    QTest::newRow("mic Enable") << "comboBoxMic" << 0 << 0x04 << 1;
    QTest::newRow("mic Disable") << "comboBoxMic" << 1 << 0x04 << 0;
    QTest::newRow("mode Auto Framing") << "comboBoxTrackMode" << 0 << 0x10 << 1;
    QTest::newRow("mode Presenter Tracking") << "comboBoxTrackMode" << 1 << 0x10 << 3;
    QTest::newRow("mode Off") << "comboBoxTrackMode" << 2 << 0x10 << 0;
    QTest::newRow("effect Smooth") << "comboBoxTrackEffect" << 0 << 0x11 << 1;
    QTest::newRow("effect Immediate") << "comboBoxTrackEffect" << 1 << 0x11 << 0;
    QTest::newRow("speed Slow") << "comboBoxTrackSpeend" << 0 << 0x12 << 0;
    QTest::newRow("speed Normal") << "comboBoxTrackSpeend" << 1 << 0x12 << 1;
    QTest::newRow("speed Fast") << "comboBoxTrackSpeend" << 2 << 0x12 << 2;
}

void TestControlPage::comboIndexWritesTheTableValue() {
    QFETCH(QString, box);
    QFETCH(int, index);
    QFETCH(int, code);
    QFETCH(int, value);
    // Effect and speed are taken only while the camera frames automatically.
    SimSettings settings;
    settings.trackingMode = 1;
    openOnCamera(settings);
    QVERIFY(access().controlsReady());

    // From no selection, so that every index is a change.
    combo(box)->setCurrentIndex(-1);
    const std::size_t from = camera->xuLog().size();
    combo(box)->setCurrentIndex(index);
    const QList<Write> writes = writesSince(*camera, from);
    QVERIFY(!writes.isEmpty());
    QCOMPARE(writes.first(), Write(code, value));
    // Only the mode handler may go on to write (an effect it selects in turn).
    if (code != 0x10)
        QCOMPARE(writes.size(), 1);
    // The camera took it: the restart notice follows the microphone only.
    QCOMPARE(combo(box)->currentIndex(), index);
    QCOMPARE(boxes->seen.size(), code == 0x04 ? 1 : 0);
    if (code == 0x04) {
        QCOMPARE(boxes->seen.first().text, rendered(QString::fromUtf8(kRestartNotice)));
        QVERIFY(boxes->seen.first().countdown);
        QVERIFY(!boxes->seen.first().cancelShown);
    }
}

void TestControlPage::settingsReadFillsThePageWithoutWriting_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("effect");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("flicker");
    QTest::addColumn<int>("mic");
    QTest::addColumn<int>("hdr");
    QTest::addColumn<QList<int>>("indexes"); // flicker, mic, mode, effect, speed
    QTest::newRow("presenter, 60Hz, mic off, HDR on")
        << 3 << 1 << 1 << 2 << 0 << 1 << QList<int>{2, 1, 1, 0, 0};
    QTest::newRow("auto framing, immediate, fast, flicker off")
        << 1 << 0 << 2 << 0 << 1 << 0 << QList<int>{0, 0, 0, 1, 2};
    QTest::newRow("off, values unknown to the tables")
        << 0 << 1 << 1 << 9 << 7 << 0 << QList<int>{-1, -1, 2, 0, 0};
}

void TestControlPage::settingsReadFillsThePageWithoutWriting() {
    QFETCH(int, mode);
    QFETCH(int, effect);
    QFETCH(int, speed);
    QFETCH(int, flicker);
    QFETCH(int, mic);
    QFETCH(int, hdr);
    QFETCH(QList<int>, indexes);
    camera = bus->addCamera(SimCameraConfig());
    SimSettings settings;
    settings.trackingMode = static_cast<std::uint8_t>(mode);
    settings.trackingEffect = static_cast<std::uint8_t>(effect);
    settings.trackingSpeed = static_cast<std::uint8_t>(speed);
    settings.antiFlicker = static_cast<std::uint8_t>(flicker);
    settings.mic = static_cast<std::uint8_t>(mic);
    settings.hdr = static_cast<std::uint8_t>(hdr);
    camera->setSettings(settings);
    MessageCapture messages;
    openWindow();
    stopPreview();

    QVERIFY(access().controlsReady());
    // The selections changed, so every handler ran, while the page was not ready yet: nothing was
    // written and nothing was shown, neither for filling the boxes nor for the camera's values.
    QCOMPARE(combo("comboBoxAntiFlicker")->currentIndex(), indexes[0]);
    QCOMPARE(combo("comboBoxMic")->currentIndex(), indexes[1]);
    QCOMPARE(combo("comboBoxTrackMode")->currentIndex(), indexes[2]);
    QCOMPARE(combo("comboBoxTrackEffect")->currentIndex(), indexes[3]);
    QCOMPARE(combo("comboBoxTrackSpeend")->currentIndex(), indexes[4]);
    QCOMPARE(button("btnHDR")->isChecked(), hdr != 0);
    QCOMPARE(writesSince(*camera), QList<Write>());
    QVERIFY(boxes->seen.isEmpty());
    QVERIFY(!messages.contains(QStringLiteral("get tracking index:")));
    QVERIFY(messages.contains(QStringLiteral("tracking mode state:  %1").arg(mode)));
    QCOMPARE(messages.contains(QStringLiteral("flicker state:  %1").arg(flicker)), true);
    QCOMPARE(messages.contains(QStringLiteral("mute state:  %1").arg(mic)), true);
    QCOMPARE(messages.contains(QStringLiteral("tracking effect state:  %1").arg(effect)),
             mode == 1);
    QCOMPARE(messages.contains(QStringLiteral("tracking speend state:  %1").arg(speed)), mode == 1);
    QCOMPARE(child<QLabel>(QStringLiteral("labelDevModel"))->text(), QStringLiteral("QX-M30-000"));
}

void TestControlPage::handlersAreSilentWithoutAnOpenCamera() {
    openOnCamera();
    QVERIFY(access().controlsReady());
    bus->unplug(camera);
    QCoreApplication::processEvents();
    QVERIFY(!access().controlsReady());

    MessageCapture messages;
    const std::size_t from = camera->xuLog().size();
    for (const char *name : {"comboBoxAntiFlicker", "comboBoxMic", "comboBoxTrackMode",
                             "comboBoxTrackEffect", "comboBoxTrackSpeend"}) {
        QComboBox *box = combo(QString::fromLatin1(name));
        box->setCurrentIndex(-1);
        box->setCurrentIndex(1);
        QCOMPARE(box->currentIndex(), 1);
    }
    // The buttons are disabled; their handlers must not act when reached anyway.
    window->on_btnHDR_clicked();
    window->on_btnRestoreDefaults_clicked();
    QVERIFY(boxes->seen.isEmpty());
    QCOMPARE(camera->xuLog().size(), from);
    for (const char *line :
         {"get tracking index:", "Set Flicker:", "Set mute:", "Set HDR:", "Reset default params"})
        QVERIFY2(!messages.contains(QString::fromLatin1(line)), line);
}

// --- what is shown for each tracking mode

void TestControlPage::visibilityAfterTheSettingsRead_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("effect");
    QTest::addColumn<bool>("manual");
    QTest::addColumn<bool>("effectRow");
    QTest::addColumn<bool>("speedRow");
    QTest::newRow("Off") << 0 << 1 << true << false << false;
    QTest::newRow("Auto Framing, Smooth") << 1 << 1 << false << true << true;
    QTest::newRow("Auto Framing, Immediate") << 1 << 0 << false << true << false;
    QTest::newRow("Presenter Tracking") << 3 << 1 << false << false << false;
    QTest::newRow("unknown mode counts as on") << 5 << 1 << false << true << true;
}

void TestControlPage::visibilityAfterTheSettingsRead() {
    QFETCH(int, mode);
    QFETCH(int, effect);
    QFETCH(bool, manual);
    QFETCH(bool, effectRow);
    QFETCH(bool, speedRow);
    SimSettings settings;
    settings.trackingMode = static_cast<std::uint8_t>(mode);
    settings.trackingEffect = static_cast<std::uint8_t>(effect);
    openOnCamera(settings);
    QCOMPARE(!child(QStringLiteral("widgetTrackOff"))->isHidden(), manual);
    QCOMPARE(isRowVisible(child(QStringLiteral("label_16")), combo("comboBoxTrackEffect")),
             effectRow);
    QCOMPARE(isRowVisible(child(QStringLiteral("label_17")), combo("comboBoxTrackSpeend")),
             speedRow);
    QCOMPARE(combo("comboBoxTrackMode")->currentIndex(),
             optionIndexOfValue(TrackingModeOptions, mode));
}

void TestControlPage::visibilityAfterEachTrackingMode_data() {
    QTest::addColumn<int>("cameraMode");
    QTest::addColumn<int>("cameraEffect");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("sent");
    QTest::addColumn<bool>("manual");
    QTest::addColumn<bool>("effectRow");
    QTest::addColumn<bool>("speedRow");
    QTest::newRow("Off") << 1 << 1 << 2 << 0 << true << false << false;
    QTest::newRow("Presenter Tracking") << 0 << 1 << 1 << 3 << false << false << false;
    QTest::newRow("Auto Framing, camera Smooth") << 0 << 1 << 0 << 1 << false << true << true;
    QTest::newRow("Auto Framing, camera Immediate") << 3 << 0 << 0 << 1 << false << true << false;
}

void TestControlPage::visibilityAfterEachTrackingMode() {
    QFETCH(int, cameraMode);
    QFETCH(int, cameraEffect);
    QFETCH(int, index);
    QFETCH(int, sent);
    QFETCH(bool, manual);
    QFETCH(bool, effectRow);
    QFETCH(bool, speedRow);
    camera = bus->addCamera(SimCameraConfig());
    SimSettings settings;
    settings.trackingMode = static_cast<std::uint8_t>(cameraMode);
    settings.trackingEffect = static_cast<std::uint8_t>(cameraEffect);
    camera->setSettings(settings);
    MessageCapture messages;
    openWindow();
    stopPreview();

    const std::size_t from = camera->xuLog().size();
    combo("comboBoxTrackMode")->setCurrentIndex(index);
    QCOMPARE(writesSince(*camera, from).value(0), Write(0x10, sent));
    QCOMPARE(int(camera->settings().trackingMode), sent);
    QCOMPARE(!child(QStringLiteral("widgetTrackOff"))->isHidden(), manual);
    QCOMPARE(isRowVisible(child(QStringLiteral("label_16")), combo("comboBoxTrackEffect")),
             effectRow);
    QCOMPARE(isRowVisible(child(QStringLiteral("label_17")), combo("comboBoxTrackSpeend")),
             speedRow);
    QVERIFY(messages.contains(QStringLiteral("Set tracking mode: %1 , query value: %1").arg(sent)));
    QVERIFY(boxes->seen.isEmpty());
}

void TestControlPage::autoFramingRewritesAChangedEffect() {
    // The camera is Off with the Immediate effect; the page, never told the effect, shows Smooth.
    SimSettings settings;
    settings.trackingMode = 0;
    settings.trackingEffect = 0;
    openOnCamera(settings);
    QCOMPARE(combo("comboBoxTrackEffect")->currentIndex(), 0);

    const std::size_t from = camera->xuLog().size();
    combo("comboBoxTrackMode")->setCurrentIndex(0);
    // The mode handler selects Immediate, whose handler writes it again to the camera.
    QCOMPARE(writesSince(*camera, from), (QList<Write>{{0x10, 1}, {0x11, 0}}));
    QCOMPARE(combo("comboBoxTrackEffect")->currentIndex(), 1);
    QVERIFY(combo("comboBoxTrackSpeend")->isHidden());
    QVERIFY(!combo("comboBoxTrackEffect")->isHidden());
}

void TestControlPage::effectAndSpeedNeedAutoFramingOnTheCamera_data() {
    QTest::addColumn<int>("cameraMode");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("speedRow");
    QTest::newRow("Immediate while Off")
        << 0 << "comboBoxTrackEffect" << 1 << 0x11 << false << false;
    QTest::newRow("Smooth while Presenter")
        << 3 << "comboBoxTrackEffect" << 0 << 0x11 << false << true;
    QTest::newRow("Immediate while Auto Framing")
        << 1 << "comboBoxTrackEffect" << 1 << 0x11 << true << false;
    QTest::newRow("Fast while Off") << 0 << "comboBoxTrackSpeend" << 2 << 0x12 << false << true;
    QTest::newRow("Slow while Presenter")
        << 3 << "comboBoxTrackSpeend" << 0 << 0x12 << false << true;
    QTest::newRow("Fast while Auto Framing")
        << 1 << "comboBoxTrackSpeend" << 2 << 0x12 << true << true;
}

void TestControlPage::effectAndSpeedNeedAutoFramingOnTheCamera() {
    QFETCH(int, cameraMode);
    QFETCH(QString, box);
    QFETCH(int, index);
    QFETCH(int, code);
    QFETCH(bool, written);
    QFETCH(bool, speedRow);
    // The page shows Auto Framing with both rows; the camera decides what is written.
    SimSettings settings;
    settings.trackingMode = 1;
    openOnCamera(settings);
    QVERIFY(!combo("comboBoxTrackSpeend")->isHidden());
    settings.trackingMode = static_cast<std::uint8_t>(cameraMode);
    camera->setSettings(settings);

    combo(box)->setCurrentIndex(-1);
    const std::size_t from = camera->xuLog().size();
    combo(box)->setCurrentIndex(index);
    const QList<Write> writes = writesSince(*camera, from);
    if (written)
        QCOMPARE(writes, QList<Write>{Write(code, optionValueAt(box == "comboBoxTrackEffect"
                                                                    ? TrackingEffectOptions
                                                                    : TrackingSpeedOptions,
                                                                index))});
    else
        QCOMPARE(writes, QList<Write>());
    // The effect shows or hides the speed row whatever the camera said; the speed changes nothing.
    QCOMPARE(!combo("comboBoxTrackSpeend")->isHidden(), speedRow);
    QVERIFY(boxes->seen.isEmpty());
}

void TestControlPage::trackingOffReappliesThePosition_data() {
    QTest::addColumn<int>("pan");
    QTest::addColumn<int>("tilt");
    QTest::addColumn<int>("panAfter");
    QTest::addColumn<int>("tiltAfter");
    QTest::newRow("inside the limits") << -12 << 7 << -12 << 7;
    QTest::newRow("pan below, tilt above") << -50 << 45 << -30 << 30;
    // Only the lower pan and the upper tilt limit apply here.
    QTest::newRow("pan above, tilt below") << 50 << -45 << 50 << -45;
}

void TestControlPage::trackingOffReappliesThePosition() {
    QFETCH(int, pan);
    QFETCH(int, tilt);
    QFETCH(int, panAfter);
    QFETCH(int, tiltAfter);
    camera = bus->addCamera(SimCameraConfig());
    SimSettings settings;
    settings.trackingMode = 1;
    camera->setSettings(settings);
    camera->setPosition({pan, tilt, 300});
    openWindow();
    stopPreview();
    QCOMPARE(g_pan, pan);
    QCOMPARE(g_tilt, tilt);
    QCOMPARE(g_zoom, 300);

    // Tracking moved the camera meanwhile.
    camera->setPosition({3, 4, 640});
    combo("comboBoxTrackMode")->setCurrentIndex(2);
    QCOMPARE(int(camera->settings().trackingMode), 0);
    // Not at once: a moment later.
    QCOMPARE(camera->position().zoom, 640);
    QTRY_COMPARE(camera->position().zoom, 300);
    QCOMPARE(g_pan, panAfter);
    QCOMPARE(g_tilt, tiltAfter);
    QCOMPARE(camera->position().pan_deg, panAfter);
    // The camera itself keeps its tilt within -30..90.
    QCOMPARE(camera->position().tilt_deg, qMax(tiltAfter, -30));
    QCOMPARE(child<QLabel>(QStringLiteral("labelZoomValue"))->text(), QStringLiteral("300%"));
    // Zoomed in: the whole pad is usable, even a button at a limit.
    QVERIFY(padEnabled(true));
}

// --- direction pad and zoom

void TestControlPage::padStopsAtItsLimits_data() {
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<QString>("opposite");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("pan");
    QTest::newRow("left") << "btnCameraLeft"
                          << "btnCameraRight" << -1 << true;
    QTest::newRow("right") << "btnCameraRight"
                           << "btnCameraLeft" << 1 << true;
    QTest::newRow("up") << "btnCameraUp"
                        << "btnCameraDown" << 1 << false;
    QTest::newRow("down") << "btnCameraDown"
                          << "btnCameraUp" << -1 << false;
}

void TestControlPage::padStopsAtItsLimits() {
    QFETCH(QString, pressed);
    QFETCH(QString, opposite);
    QFETCH(int, step);
    QFETCH(bool, pan);
    camera = bus->addCamera(SimCameraConfig());
    camera->setPosition({0, 0, 200});
    MessageCapture messages;
    openWindow();
    stopPreview();
    awaitPositionReapply();
    QVERIFY(padEnabled(true));

    QPushButton *towards = button(pressed);
    int clicks = 0;
    while (towards->isEnabled() && clicks < 100) {
        towards->click();
        ++clicks;
        const int expected = step * clicks;
        QCOMPARE(pan ? g_pan : g_tilt, expected);
        const SimPosition position = camera->position();
        QCOMPARE(pan ? position.pan_deg : position.tilt_deg, expected);
    }
    QCOMPARE(clicks, 30);
    QVERIFY(!towards->isEnabled());
    QVERIFY(button(opposite)->isEnabled());
    if (pan)
        QVERIFY(messages.contains(QStringLiteral("set pan: %1").arg(30 * step)));

    // A click that still arrives stays at the limit.
    QMetaObject::invokeMethod(window.get(),
                              qPrintable(QStringLiteral("on_%1_clicked").arg(pressed)));
    QCOMPARE(pan ? g_pan : g_tilt, 30 * step);
    // One step back frees both buttons.
    button(opposite)->click();
    QCOMPARE(pan ? g_pan : g_tilt, 29 * step);
    QVERIFY(towards->isEnabled());
    QVERIFY(button(opposite)->isEnabled());
}

void TestControlPage::zoomDecidesOverThePadLimits() {
    camera = bus->addCamera(SimCameraConfig());
    camera->setPosition({0, 0, 200});
    openWindow();
    stopPreview();
    awaitPositionReapply();
    auto *slider = child<QSlider>(QStringLiteral("sliderZoom"));
    auto *label = child<QLabel>(QStringLiteral("labelZoomValue"));
    QCOMPARE(slider->value(), 200);
    QCOMPARE(slider->minimum(), 100);
    QCOMPARE(slider->maximum(), 800);

    for (int i = 0; i < 40; ++i)
        window->on_btnCameraLeft_clicked();
    QVERIFY(!button("btnCameraLeft")->isEnabled());

    slider->setValue(100);
    QCOMPARE(g_zoom, 100);
    QCOMPARE(camera->position().zoom, 100);
    QCOMPARE(label->text(), QStringLiteral("100%"));
    QVERIFY(padEnabled(false));

    slider->setValue(110);
    QCOMPARE(camera->position().zoom, 110);
    QCOMPARE(label->text(), QStringLiteral("110%"));
    QVERIFY(padEnabled(true));

    // The slider keeps the zoom within 100..800 whatever is asked of it.
    slider->setValue(950);
    QCOMPARE(g_zoom, 800);
    QCOMPARE(camera->position().zoom, 800);
    slider->setValue(20);
    QCOMPARE(g_zoom, 100);
    QCOMPARE(camera->position().zoom, 100);
    QVERIFY(padEnabled(false));
}

void TestControlPage::zoomReadIsKeptInRange_data() {
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("cameraAfter");
    QTest::addColumn<bool>("pad");
    // The slider does not move for 50 (it is at 100 already): nothing is written back.
    QTest::newRow("below") << 50 << 100 << 50 << false;
    QTest::newRow("minimum") << 100 << 100 << 100 << false;
    QTest::newRow("inside") << 450 << 450 << 450 << true;
    QTest::newRow("maximum") << 800 << 800 << 800 << true;
    QTest::newRow("above") << 900 << 800 << 800 << true;
}

void TestControlPage::zoomReadIsKeptInRange() {
    QFETCH(int, reported);
    QFETCH(int, shown);
    QFETCH(int, cameraAfter);
    QFETCH(bool, pad);
    camera = bus->addCamera(SimCameraConfig());
    SimSettings settings;
    settings.trackingMode = 1; // no position re-apply after the open
    camera->setSettings(settings);
    camera->setPosition({0, 0, reported});
    MessageCapture messages;
    openWindow();
    stopPreview();
    QCOMPARE(g_zoom, shown);
    QCOMPARE(child<QSlider>(QStringLiteral("sliderZoom"))->value(), shown);
    QCOMPARE(child<QLabel>(QStringLiteral("labelZoomValue"))->text(),
             QStringLiteral("%1%").arg(shown));
    QCOMPARE(camera->position().zoom, cameraAfter);
    QVERIFY(padEnabled(pad));
    QVERIFY(messages.contains(QStringLiteral("param: pan: 0 tilt: 0 zoom: %1").arg(shown)));
}

void TestControlPage::versionFallsBackToTheLegacyQuery_data() {
    QTest::addColumn<bool>("noVersionQuery");
    QTest::addColumn<bool>("allZero");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("legacyQueries");
    QTest::newRow("current firmware") << false << false << "V1.2.30" << 0;
    QTest::newRow("legacy firmware") << true << false << "V1.2.30" << 1;
    QTest::newRow("no version") << false << true << "" << 1;
}

void TestControlPage::versionFallsBackToTheLegacyQuery() {
    QFETCH(bool, noVersionQuery);
    QFETCH(bool, allZero);
    QFETCH(QString, shown);
    QFETCH(int, legacyQueries);
    camera = bus->addCamera(SimCameraConfig());
    camera->setVersion({1, 2, 30});
    SimCameraFaults faults;
    faults.noVersionQuery = noVersionQuery;
    faults.versionAllZero = allZero;
    camera->setCameraFaults(faults);
    MessageCapture messages;
    openWindow();
    stopPreview();
    QCOMPARE(child<QLabel>(QStringLiteral("labelDevVer"))->text(), shown);
    QCOMPARE(messages.contains(QStringLiteral("Failed to get the camera version.")),
             shown.isEmpty());
    int legacy = 0;
    for (const SimXuRecord &record : camera->xuLog()) {
        if (record.selector == kSelectorCommand && record.direction == UnitDirection::Write &&
            record.bytes[0] == kQueryVersionLegacy)
            ++legacy;
    }
    QCOMPARE(legacy, legacyQueries);
}

// --- failures and message boxes

void TestControlPage::failedWriteShowsOneTimeOut_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("requestsBeforeWrite");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("restartNotice");
    QTest::newRow("anti-flicker") << "comboBoxAntiFlicker" << 2 << 0 << 0x02 << kSettingTimedOut
                                  << false;
    QTest::newRow("microphone") << "comboBoxMic" << 1 << 0 << 0x04 << kSettingTimedOut << true;
    QTest::newRow("HDR") << "btnHDR" << -1 << 0 << 0x01 << kSettingTimedOut << false;
    QTest::newRow("tracking mode")
        << "comboBoxTrackMode" << 1 << 0 << 0x10 << kOperationTimedOut << false;
    // Effect and speed read the camera's mode first (two transfers), then write.
    QTest::newRow("tracking effect")
        << "comboBoxTrackEffect" << 1 << 2 << 0x11 << kOperationTimedOut << false;
    QTest::newRow("tracking speed")
        << "comboBoxTrackSpeend" << 2 << 2 << 0x12 << kOperationTimedOut << false;
}

void TestControlPage::failedWriteShowsOneTimeOut() {
    QFETCH(QString, control);
    QFETCH(int, index);
    QFETCH(int, requestsBeforeWrite);
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(bool, restartNotice);
    TranslationRecorder translations;
    QCoreApplication::installTranslator(&translations);
    camera = bus->addCamera(SimCameraConfig());
    SimSettings settings;
    settings.trackingMode = 1;
    camera->setSettings(settings);
    openWindow();
    window->show();
    stopPreview();
    QVERIFY(access().controlsReady());

    // Every request from the write on times out; nothing before it has failed.
    const std::size_t from = camera->xuLog().size();
    SimCameraFaults faults;
    faults.failRequestAfter = static_cast<int>(from) + requestsBeforeWrite;
    camera->setCameraFaults(faults);
    if (index < 0)
        button(control)->click();
    else
        combo(control)->setCurrentIndex(index);
    QCoreApplication::removeTranslator(&translations);

    QVERIFY(!boxes->seen.isEmpty());
    const SeenBox timeout = boxes->seen.first();
    QCOMPARE(timeout.text, rendered(text));
    QVERIFY(!timeout.cancelShown);
    QVERIFY(!timeout.countdown);
    QVERIFY(timeout.modal);
    QVERIFY(translations.asked(QStringLiteral("MainWindow"), text));
    if (restartNotice) {
        QCOMPARE(boxes->seen.size(), 2);
        QCOMPARE(boxes->seen.at(1).text, rendered(QString::fromUtf8(kRestartNotice)));
        QVERIFY(!boxes->seen.at(1).cancelShown);
        QVERIFY(boxes->seen.at(1).countdown);
        QVERIFY(
            !translations.asked(QStringLiteral("MainWindow"), QString::fromUtf8(kRestartNotice)));
    } else {
        QCOMPARE(boxes->seen.size(), 1);
    }
    // One attempt, no retry, and the user's choice stays on screen.
    int attempts = 0;
    const auto log = camera->xuLog();
    for (std::size_t i = from; i < log.size(); ++i) {
        if (log[i].selector == kSelectorCommand && log[i].direction == UnitDirection::Write &&
            log[i].bytes[0] == code)
            ++attempts;
    }
    QCOMPARE(attempts, 1);
    if (index >= 0)
        QCOMPARE(combo(control)->currentIndex(), index);
}

void TestControlPage::hdrKeepsItsToggledValueAfterAFailure() {
    openOnCamera();
    QVERIFY(!button("btnHDR")->isChecked());
    SimCameraFaults faults;
    faults.requestsTimeOut = true;
    camera->setCameraFaults(faults);
    std::size_t from = camera->xuLog().size();
    window->on_btnHDR_clicked();
    QCOMPARE(writesSince(*camera, from), (QList<Write>{{0x01, 1}}));
    QCOMPARE(boxes->seen.size(), 1);
    QCOMPARE(boxes->seen.first().text, rendered(QString::fromUtf8(kSettingTimedOut)));

    // The failed write still counts as on: the next toggle switches off.
    camera->setCameraFaults(SimCameraFaults());
    from = camera->xuLog().size();
    window->on_btnHDR_clicked();
    QCOMPARE(writesSince(*camera, from), (QList<Write>{{0x01, 0}}));
    QCOMPARE(boxes->seen.size(), 1);
}

void TestControlPage::restoreDefaults_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<int>("boxCount");
    QTest::addColumn<QString>("logged");
    QTest::newRow("confirmed") << "btnOK" << false << true << 2 << "Config default info";
    QTest::newRow("cancelled") << "btnCancel" << false << false << 1 << "";
    QTest::newRow("confirmed, camera fails")
        << "btnOK" << true << true << 1 << "Reset default params failed.";
}

void TestControlPage::restoreDefaults() {
    QFETCH(QString, answer);
    QFETCH(bool, fails);
    QFETCH(bool, sent);
    QFETCH(int, boxCount);
    QFETCH(QString, logged);
    SimSettings settings;
    settings.antiFlicker = 2;
    openOnCamera(settings);
    if (fails) {
        SimCameraFaults faults;
        faults.requestsTimeOut = true;
        camera->setCameraFaults(faults);
    }
    boxes->press = answer;
    MessageCapture messages;
    const std::size_t from = camera->xuLog().size();
    button("btnRestoreDefaults")->click();

    QCOMPARE(boxes->seen.size(), boxCount);
    const SeenBox confirmation = boxes->seen.first();
    QCOMPARE(confirmation.text, rendered(QString::fromUtf8(kRestoreConfirmation)));
    QVERIFY(confirmation.cancelShown);
    QVERIFY(!confirmation.countdown);
    if (boxCount == 2) {
        QCOMPARE(boxes->seen.at(1).text, rendered(QString::fromUtf8(kRestartNotice)));
        QVERIFY(boxes->seen.at(1).countdown);
        QVERIFY(!boxes->seen.at(1).cancelShown);
    }
    QCOMPARE(writesSince(*camera, from), sent ? QList<Write>{Write(0x7F, 0)} : QList<Write>());
    QCOMPARE(int(camera->settings().antiFlicker), sent && !fails ? 1 : 2);
    if (!logged.isEmpty())
        QVERIFY(messages.contains(logged));
    QCOMPARE(messages.contains(QStringLiteral("Reset default params successed.")), sent && !fails);
}

// --- per-model narrowing

void TestControlPage::zenta310EnablesOnlyMicRestoreAndUpgrade() {
    QSettings(settingsPath(), QSettings::IniFormat)
        .setValue(QStringLiteral("/product_model/main"), 1);
    camera = bus->addCamera(zentaConfig(0x0103, "Kestrelon ZENTA 310"));
    camera->setPosition({0, 45, 300});
    openWindow();
    stopPreview();
    QCOMPARE(access().vendorIndex(), 1);
    QVERIFY(access().controlsReady());
    // The read's tracking mode is Off: its re-apply comes 100 ms later and must not free the pad.
    QTRY_COMPARE(camera->position().tilt_deg, 30);
    QCOMPARE(enabledControls(), (QStringList{"comboBoxMic", "btnRestoreDefaults", "btnUpgrade"}));
    QCOMPARE(g_zoom, 100);
    QCOMPARE(child<QSlider>(QStringLiteral("sliderZoom"))->value(), 100);
    QCOMPARE(camera->position().zoom, 100);
}

void TestControlPage::zenta320LosesTheTrackingMode() {
    QSettings(settingsPath(), QSettings::IniFormat)
        .setValue(QStringLiteral("/product_model/main"), 1);
    camera = bus->addCamera(zentaConfig(0x0305, "Kestrelon ZENTA 320"));
    camera->setPosition({0, 0, 300});
    openWindow();
    stopPreview();
    awaitPositionReapply();
    QStringList expected = kPageControls;
    expected.removeAll(QStringLiteral("comboBoxTrackMode"));
    QCOMPARE(enabledControls(), expected);
}

QTEST_MAIN(TestControlPage)
#include "tst_controlpage.moc"
