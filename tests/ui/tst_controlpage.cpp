// The Control page over a simulated camera: what each control puts on the wire and when it stays
// silent, what the page shows after the settings read and for each tracking mode, the direction pad
// and zoom with their limits (by mouse and by keyboard), and the messages after a write the camera
// did not take.
#include "windowfixture.h"

#include <QSlider>

namespace {
const QStringList kPad = {"btnCameraUp", "btnCameraDown", "btnCameraLeft", "btnCameraRight"};

// How the camera answers the version queries.
enum class VersionAnswer { Current, LegacyQueryOnly, AllZero };
} // namespace

static bool operator==(const TrackingRows &a, const TrackingRows &b) {
    return a.positionControls == b.positionControls && a.effectRow == b.effectRow &&
           a.speedRow == b.speedRow;
}

Q_DECLARE_METATYPE(SimSettings)
Q_DECLARE_METATYPE(VersionAnswer)
Q_DECLARE_METATYPE(TrackingRows)

class TestControlPage : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;
    std::size_t mark = 0;

    void openOn(const SimSettings &settings, const SimPosition &position = {0, 0, 100}) {
        f->camera->setSettings(settings);
        f->camera->setPosition(position);
        f->open();
        mark = f->camera->xuLog().size();
    }
    // The setting writes ("code=value", hex code) since the last look.
    QString writes() {
        QStringList found;
        const auto log = f->camera->xuLog();
        for (std::size_t i = mark; i < log.size(); ++i)
            if (log[i].selector == kSelectorCommand && log[i].direction == UnitDirection::Write &&
                !(log[i].bytes[0] & kQueryBit) && log[i].bytes[0] != kQueryVersionLegacy)
                found << QString("%1=%2").arg(log[i].bytes[0], 0, 16).arg(log[i].bytes[2]);
        mark = log.size();
        return found.join(' ');
    }
    QComboBox *combo(const QString &name) { return f->child<QComboBox>(name); }
    // The combo boxes' texts: tracking mode, effect, speed, anti-flicker, microphone.
    QStringList boxes() {
        QStringList shown;
        for (const char *name : {"comboBoxTrackMode", "comboBoxTrackEffect", "comboBoxTrackSpeend",
                                 "comboBoxAntiFlicker", "comboBoxMic"})
            shown << combo(name)->currentText();
        return shown;
    }
    // Which of the tracking rows show.
    TrackingRows rows() {
        return {!f->child("widgetTrackOff")->isHidden(), !combo("comboBoxTrackEffect")->isHidden(),
                !combo("comboBoxTrackSpeend")->isHidden()};
    }

private slots:
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup() { f.reset(); }

    void comboWrites_data() {
        addColumns<QString, int, QString>({"box", "index", "expected"});
        QTest::newRow("anti-flicker 60Hz") << "comboBoxAntiFlicker" << 2 << "2=2";
        QTest::newRow("mic Disable") << "comboBoxMic" << 1 << "4=0";
        QTest::newRow("mode Presenter Tracking") << "comboBoxTrackMode" << 1 << "10=3";
        QTest::newRow("effect Immediate") << "comboBoxTrackEffect" << 1 << "11=0";
        QTest::newRow("speed Fast") << "comboBoxTrackSpeend" << 2 << "12=2";
    }
    void comboWrites() {
        QFETCH(QString, box);
        QFETCH(int, index);
        QFETCH(QString, expected);
        openOn({1, 1, 1, 1, 1, 0});
        combo(box)->setCurrentIndex(-1); // from no selection, so that every index is a change
        QCOMPARE(writes(), QString());
        combo(box)->setCurrentIndex(index);
        QCOMPARE(writes().section(' ', 0, 0), expected);
        QCOMPARE(f->dialogs.seen.join(""), box == "comboBoxMic"
                                               ? "FormCustomizeMessagebox: To complete "
                                                 "this process, your device may take "
                                                 "a few seconds to restart. [masked]"
                                               : "");
    }

    void pageAfterOpen_data() {
        // shownBoxes: see boxes(); slider: the zoom slider after the read, which its label shows
        addColumns<SimSettings, int, VersionAnswer, QStringList, TrackingRows, int, QString>(
            {"settings", "zoom", "versionAnswer", "shownBoxes", "shownRows", "slider", "version"});
        QTest::newRow("Auto Framing, smooth; zoom below the range")
            << SimSettings{1, 1, 2, 2, 0, 0} << 50 << VersionAnswer::Current
            << QStringList{"Auto Framing", "Smooth", "Fast", "60Hz", "Disable"}
            << TrackingRows{false, true, true} << 100 << "V1.0.0";
        QTest::newRow("Auto Framing, immediate; zoom above the range")
            << SimSettings{1, 0, 0, 0, 1, 0} << 900 << VersionAnswer::Current
            << QStringList{"Auto Framing", "Immediate", "Slow", "Off", "Enable"}
            << TrackingRows{false, true, false} << 800 << "V1.0.0";
        QTest::newRow("Presenter Tracking; legacy version query")
            << SimSettings{3, 1, 1, 1, 1, 0} << 300 << VersionAnswer::LegacyQueryOnly
            << QStringList{"Presenter Tracking", "Smooth", "Slow", "50Hz", "Enable"}
            << TrackingRows{false, false, false} << 300 << "V1.0.0";
        QTest::newRow("Off, unknown flicker value; no version")
            << SimSettings{0, 1, 1, 7, 1, 0} << 300 << VersionAnswer::AllZero
            << QStringList{"Off", "Smooth", "Slow", "", "Enable"}
            << TrackingRows{true, false, false} << 300 << "";
    }
    void pageAfterOpen() {
        QFETCH(SimSettings, settings);
        QFETCH(int, zoom);
        QFETCH(VersionAnswer, versionAnswer);
        QFETCH(QStringList, shownBoxes);
        QFETCH(TrackingRows, shownRows);
        QFETCH(int, slider);
        QFETCH(QString, version);
        SimCameraFaults cameraFaults;
        cameraFaults.noVersionQuery = versionAnswer == VersionAnswer::LegacyQueryOnly;
        cameraFaults.versionAllZero = versionAnswer == VersionAnswer::AllZero;
        f->camera->setCameraFaults(cameraFaults);
        openOn(settings, {0, 0, zoom});
        QCOMPARE(boxes(), shownBoxes);
        QCOMPARE(rows(), shownRows);
        QCOMPARE(f->child<QSlider>("sliderZoom")->value(), slider);
        QCOMPARE(f->child<QLabel>("labelZoomValue")->text(), QString("%1%").arg(slider));
        QCOMPARE(f->child<QLabel>("labelDevVer")->text(), version);
        QCOMPARE(writes(), QString()); // reading the camera writes nothing
    }

    void trackingModes() {
        openOn({1, 1, 1, 1, 1, 0}, {5, -3, 300});
        combo("comboBoxTrackMode")->setCurrentIndex(1);
        QCOMPARE(rows(), (TrackingRows{false, false, false}));
        combo("comboBoxTrackMode")->setCurrentIndex(2);
        QCOMPARE(rows(), (TrackingRows{true, false, false}));
        // Tracking off hands the position back a moment later: the camera goes where the page is.
        f->camera->setPosition({0, 0, 700});
        QTRY_COMPARE(f->camera->position().zoom, 300);
        QCOMPARE(
            QString("%1 %2").arg(f->camera->position().pan_deg).arg(f->camera->position().tilt_deg),
            QString("5 -3"));
        QCOMPARE(writes(), QString("10=3 10=0"));
        // Auto Framing reads the camera's effect and speed back into the page.
        f->camera->setSettings({0, 0, 2, 1, 1, 0});
        combo("comboBoxTrackMode")->setCurrentIndex(0);
        QCOMPARE(boxes().mid(0, 3), (QStringList{"Auto Framing", "Immediate", "Normal"}));
        QCOMPARE(rows(), (TrackingRows{false, true, false}));
        // Effect and speed are written only while the camera frames automatically.
        f->camera->setSettings({0, 1, 1, 1, 1, 0});
        writes();
        combo("comboBoxTrackSpeend")->setCurrentIndex(2);
        combo("comboBoxTrackEffect")->setCurrentIndex(0);
        QCOMPARE(writes(), QString());
        QCOMPARE(rows(), (TrackingRows{false, true, true}));
    }

    void padAndZoom() {
        openOn({0, 1, 1, 1, 1, 0});
        QWidget *pad = f->child("widgetDirectionBg"); // the arrow keys step as the buttons do
        QCOMPARE(f->enabled(kPad), QStringList());    // at 100 % the picture cannot move
        f->child<QSlider>("sliderZoom")->setValue(480);
        QTest::keyClick(pad, Qt::Key_Plus); // + and - zoom one step from the pad and the slider
        QTest::keyClick(f->child("sliderZoom"), Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f->camera->position().zoom, 500);
        QCOMPARE(f->child<QLabel>("labelZoomValue")->text(), QString("500%"));
        QCOMPARE(f->enabled(kPad), kPad);
        for (int i = 0; i < 31; ++i)
            QTest::keyClick(pad, Qt::Key_Up);
        QCOMPARE(f->camera->position().tilt_deg, 30);
        QCOMPARE(f->enabled(kPad), QStringList(kPad).mid(1)); // only the way to the limit closes
        QTest::keyClick(pad, Qt::Key_Down);
        for (int i = 0; i < 31; ++i)
            f->child<QPushButton>("btnCameraLeft")->click();
        QCOMPARE(f->camera->position().pan_deg, -30);
        QCOMPARE(f->camera->position().tilt_deg, 29);
        QCOMPARE(f->enabled(kPad), (QStringList{"btnCameraUp", "btnCameraDown", "btnCameraRight"}));
        f->child<QPushButton>("btnCameraRight")->click();
        QCOMPARE(f->camera->position().pan_deg, -29);
        QCOMPARE(f->enabled(kPad), kPad);
        // A move the camera refuses is a failure with the camera's reason in the log.
        SimCameraFaults refused;
        refused.positionRefused = true;
        f->camera->setCameraFaults(refused);
        MessageCapture log;
        f->child<QPushButton>("btnCameraRight")->click();
        QVERIFY(log.contains("camera control refused: pan -28 \"refused by the camera\""));
        QVERIFY(!DShowCameraWrapper().setCameraControl(3, 200));
    }

    // Where the system has no way to extension units, the camera still shows its picture and
    // moves; its own settings stay disabled, and its unit is never asked.
    void withoutExtensionUnits() {
        f->bus.setExtensionUnitsUnreachable(true);
        openOn({0, 1, 1, 1, 1, 0});
        QVERIFY(f->access().controlsReady());
        const QStringList own = {"comboBoxAntiFlicker", "comboBoxMic",         "btnHDR",
                                 "btnRestoreDefaults",  "comboBoxTrackMode",   "btnUpgrade",
                                 "comboBoxTrackEffect", "comboBoxTrackSpeend", "sliderZoom"};
        QCOMPARE(f->enabled(own), QStringList{"sliderZoom"});
        f->child<QSlider>("sliderZoom")->setValue(300);
        QCOMPARE(f->camera->position().zoom, 300);
        QCOMPARE(f->enabled(kPad), kPad);
        leftPress(f->child<QLabel>("labelCamera"));
        QTRY_VERIFY(f->access().previewWorkerRunning());
        QCOMPARE(f->camera->xuLog().size(), std::size_t(0));
    }

    void failedWritesAndRestore() {
        openOn({1, 1, 1, 1, 1, 0});
        SimCameraFaults faults;
        faults.requestsTimeOut = true;
        f->camera->setCameraFaults(faults);
        StdoutCapture quiet;
        combo("comboBoxAntiFlicker")->setCurrentIndex(2);
        combo("comboBoxTrackMode")->setCurrentIndex(1);
        f->child<QPushButton>("btnRestoreDefaults")->click(); // refused: no restart notice
        quiet.finish();
        f->camera->setCameraFaults(SimCameraFaults());
        writes();
        f->dialogs.answers = QStringList{"cancel"};
        f->child<QPushButton>("btnRestoreDefaults")->click(); // cancelled
        QCOMPARE(writes(), QString());
        f->child<QPushButton>("btnRestoreDefaults")->click(); // confirmed: the camera restarts
        QCOMPARE(writes(), QString("7f=0"));
        const QString box = "FormCustomizeMessagebox: ";
        const QString restart =
            "To complete this process, your device may take a few seconds to restart.";
        QCOMPARE(
            f->dialogs.seen.join("\n").remove(" [masked]"),
            QStringList({box + "The setting has timed out, please try again.",
                         box + "The operation has timed out, please try again.",
                         box + "Restore Defaults\n" + restart, box + "Restore Defaults\n" + restart,
                         box + "Restore Defaults\n" + restart, box + restart})
                .join("\n"));
    }
};

QTEST_MAIN(TestControlPage)
#include "tst_controlpage.moc"
