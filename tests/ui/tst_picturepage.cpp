// The Picture page over a simulated camera: what a dragged slider puts on the wire and when, an
// automatic control that disables and enables its manual one, the reset, and the values read
// again when the camera comes back from a restart with its defaults.
#include "ui/picturepage.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QSlider>
#include <QToolButton>

class TestPicturePage : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;

    // The camera's picture writes ("name=value result") since the last look.
    QStringList writes() {
        QStringList found;
        for (const SimPictureRecord &record : f->camera->pictureLog())
            found << QString::asprintf("%s=%d %s", record.name.c_str(), record.value,
                                       record.result.c_str());
        f->camera->clearLogs();
        return found;
    }
    int cameraValue(const std::string &name) {
        for (const auto &[info, value] : f->camera->pictureControls())
            if (info.name == name)
                return value;
        return -9999;
    }
    QSlider *slider(const QString &name) { return f->child<QSlider>("sliderPicture_" + name); }
    QString shown(const QString &name) {
        return f->child<QLabel>("labelPictureValue_" + name)->text();
    }

private slots:
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup() { f.reset(); }

    // At most one write every 50 ms while the slider is held, and its last value when let go;
    // each write is read back into the row.
    void draggedSliderWritesAtMostEvery50ms() {
        f->open();
        f->child<QToolButton>("btnNavPicture")->click();
        QSlider *brightness = slider("brightness"); // -64..64: position 64 is 0
        QCOMPARE(brightness->value(), 64);
        VirtualClock clock;
        ScopedClock scoped(clock);
        brightness->setSliderDown(true);
        for (int position : {70, 71, 72})
            brightness->setValue(position);
        QCOMPARE(writes(), QStringList{"brightness=6 stored"});
        clock.advance(PicturePage::kWriteInterval);
        brightness->setValue(73); // the interval is over: at once
        brightness->setValue(80);
        QCOMPARE(writes(), QStringList{"brightness=9 stored"});
        brightness->setSliderDown(false); // let go: the newest value, at once
        QCOMPARE(writes(), QStringList{"brightness=16 stored"});
        QCOMPARE(shown("brightness"), QString("16"));
        // Held still before the interval is over: the newest value follows when it is.
        brightness->setSliderDown(true);
        brightness->setValue(90);
        brightness->setValue(100);
        QVERIFY(writes().isEmpty());
        QTRY_COMPARE(cameraValue("brightness"), 36);
        QCOMPARE(writes(), QStringList{"brightness=36 stored"});
        brightness->setSliderDown(false);
        QVERIFY(writes().isEmpty()); // nothing left to send
    }

    // A manual control follows its automatic master: disabled while it is on, and nothing is
    // sent for it; enabled once the master is turned off.
    void automaticDisablesManual_data() {
        addColumns<QString, QString, QString, QString>(
            {"master", "manual", "masterWrite", "manualWrite"});
        QTest::newRow("white balance")
            << QString("white-balance-automatic") << QString("white-balance-temperature")
            << QString("white-balance-automatic=0 stored")
            << QString("white-balance-temperature=2810 stored");
        QTest::newRow("exposure") << QString("auto-exposure") << QString("exposure-time")
                                  << QString("auto-exposure=1 stored")
                                  << QString("exposure-time=4 stored");
    }
    void automaticDisablesManual() {
        QFETCH(QString, master);
        QFETCH(QString, manual);
        QFETCH(QString, masterWrite);
        QFETCH(QString, manualWrite);
        f->open();
        QVERIFY(!slider(manual)->isEnabled());
        if (auto *check = f->window->findChild<QCheckBox *>("checkBoxPicture_" + master))
            check->click();
        else
            f->child<QComboBox>("comboBoxPicture_" + master)->activated(0); // "Manual Mode"
        QCOMPARE(writes(), QStringList{masterWrite});
        QVERIFY(slider(manual)->isEnabled());
        slider(manual)->setValue(1);
        QCOMPARE(writes(), QStringList{manualWrite});
        QVERIFY(f->child<QLabel>("labelPictureMessage")->isHidden());
    }

    // Reset writes the defaults that differ: manual values while they may be set, then the
    // automatic masters; the page shows what the camera holds afterwards.
    void resetWritesTheDefaults() {
        f->camera->setPictureValue("brightness", 30);
        f->camera->setPictureValue("white-balance-automatic", 0);
        f->camera->setPictureValue("white-balance-temperature", 3000);
        f->open();
        QCOMPARE(shown("brightness"), QString("30"));
        f->child<QPushButton>("btnResetPicture")->click();
        QCOMPARE(writes(),
                 (QStringList{"brightness=0 stored", "white-balance-temperature=4600 stored",
                              "white-balance-automatic=1 stored"}));
        QCOMPARE(shown("brightness"), QString("0"));
        QVERIFY(!slider("white-balance-temperature")->isEnabled());
        QVERIFY(f->child<QCheckBox>("checkBoxPicture_white-balance-automatic")->isChecked());
    }

    // The camera forgets its picture when it restarts: the page shows what it has once it is back.
    void readAgainAfterTheCameraReturns() {
        f->open();
        slider("brightness")->setValue(100);
        QCOMPARE(cameraValue("brightness"), 36);
        f->bus.unplug(f->camera);
        QTRY_VERIFY(!f->access().controlsReady());
        QVERIFY(!f->child<QPushButton>("btnResetPicture")->isEnabled());
        f->bus.plug(f->camera);
        QTRY_VERIFY(f->access().controlsReady());
        QCOMPARE(shown("brightness"), QString("0"));
    }
};

QTEST_MAIN(TestPicturePage)
#include "tst_picturepage.moc"
