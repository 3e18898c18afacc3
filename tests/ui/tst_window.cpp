// The main window over the simulated bus: the camera list as cameras come and go, the model's
// narrowing of the controls, the preview area and its worker, the dialog family with its mask,
// closing, the themes and the saved place.
#include "common/deviceaccess.h"
#include "preview/videostreamthread.h"
#include "windowfixture.h"

#include <QListWidget>
#include <QScreen>
#include <QSettings>
#include <QThreadPool>

namespace {
const QStringList kControls = {"comboBoxTrackMode",   "comboBoxTrackEffect", "comboBoxTrackSpeend",
                               "comboBoxAntiFlicker", "comboBoxMic",         "btnRestoreDefaults",
                               "btnUpgrade",          "sliderZoom"};
} // namespace

class TestWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;

    QString listed() const {
        auto *list = f->child<QListWidget>("listWidgetCamera");
        QStringList names;
        for (int i = 0; i < list->count(); ++i)
            names << list->item(i)->text();
        return names.join(", ");
    }
    QString state() const { return f->child<QLabel>("labelState")->text(); }
    bool showsHint() const {
        auto *surface = f->child<QLabel>("labPreview");
        return surface->pixmap(Qt::ReturnByValue).isNull() &&
               surface->text().contains("Click the icon");
    }

private slots:
    void initTestCase() { QThreadPool::globalInstance()->setExpiryTimeout(0); }
    void init() { f = std::make_unique<WindowFixture>(); }
    void cleanup() { f.reset(); }

    void cameraList_data() {
        // selection: the vendor selection in each settings file ("where=vendor")
        addColumns<QString, QString, QStringList>({"selection", "expected", "enabled"});
        const QStringList narrowed{"comboBoxMic", "btnRestoreDefaults", "btnUpgrade"};
        const QString own = "ZENTA 310, ZENTA 320, ZENTA 325";
        QTest::newRow("QX line") << QString("user=0") << QString("QX-M30-000") << kControls;
        QTest::newRow("own line: ZENTA 310 first, narrowed") << "user=1" << own << narrowed;
        QTest::newRow("the system's") << "system=1" << own << narrowed;
        QTest::newRow("the user's over the system's")
            << QString("system=1 user=0") << QString("QX-M30-000") << kControls;
        QTest::newRow("beside the program over the user's") << "user=0 beside=1" << own << narrowed;
    }
    void cameraList() {
        QFETCH(QString, selection);
        QFETCH(QString, expected);
        QFETCH(QStringList, enabled);
        for (const QString &file : selection.split(' '))
            QSettings(settingsPath(file.section('=', 0, 0)), QSettings::IniFormat)
                .setValue("product_model/main", file.section('=', 1).toInt());
        f->bus.addCamera(zentaConfig(0x0103, "Kestrelon ZENTA 310", "1-2"));
        f->bus.addCamera(zentaConfig(0x0305, "Kestrelon ZENTA 320", "1-3"));
        f->bus.addCamera(zentaConfig(0x0306, "ZENTA 325", "1-4"));
        f->open();
        QCOMPARE(listed(), expected);
        QCOMPARE(state(), expected.section(',', 0, 0).contains("QX")
                              ? "QX-M30-000(Connected)"
                              : "Kestrelon ZENTA 310(Connected)");
        QCOMPARE(f->enabled(kControls), enabled);
        if (enabled == kControls)
            return;
        auto *list = f->child<QListWidget>("listWidgetCamera");
        f->window->slotOnSingleClickedCameraItem(list->item(1)); // a click switches, no preview
        QCOMPARE(f->enabled(kControls), QStringList(kControls).mid(1));
        QVERIFY(!f->access().previewWorkerRunning());
        f->window->slotOnSingleClickedCameraItem(list->item(2));
        QCOMPARE(f->enabled(kControls), kControls);
    }

    void camerasComeAndGo() {
        auto second = f->bus.addCamera(configAt("1-2"));
        f->open();
        const QString firstId = f->access().currentDeviceId();
        QCOMPARE(listed(), QString("QX-M30-000, QX-M30-000"));
        f->bus.unplug(second); // another camera: the current one stays open
        QTRY_COMPARE(listed(), QString("QX-M30-000"));
        QCOMPARE(f->access().currentDeviceId(), firstId);
        f->bus.plug(second);
        QTRY_COMPARE(listed(), QString("QX-M30-000, QX-M30-000"));
        f->bus.unplug(f->camera); // the current one: the other is opened
        QTRY_COMPARE(f->access().currentDeviceId(), idOf(*second));
        f->bus.unplug(second);
        QTRY_COMPARE(state(), QString("QX-M30-000(Disconnected)"));
        QVERIFY(f->child<QLabel>("labelDevVer")->text().isEmpty());
        QCOMPARE(f->enabled(kControls), QStringList());
        QVERIFY(!f->access().previewWorkerRunning());
        f->bus.plug(f->camera);
        QTRY_COMPARE(state(), QString("QX-M30-000(Connected)"));
        QCOMPARE(f->enabled(kControls), kControls);
    }

    void previewArea() {
        f->window = std::make_unique<MainWindow>();
        f->window->show();
        f->window->resize(1200, 800);
        const int width = f->window->frameGeometry().width() - 550;
        QCOMPARE(f->child<QLabel>("labPreview")->size(), QSize(width, width * 9 / 16));
        QVERIFY(f->access().previewWorkerRunning());
        QTRY_VERIFY(!f->child<QLabel>("labPreview")->pixmap(Qt::ReturnByValue).isNull());
        leftPress(f->child<QLabel>("labelStop"));
        QVERIFY(!f->access().previewWorkerRunning());
        QVERIFY(showsHint());
        f->child<QPushButton>("btnModeLight")->click(); // the idle border follows the theme
        const QImage surface = f->child<QLabel>("labPreview")->grab().toImage();
        QStringList edge;
        for (int y = 0; y < surface.height(); ++y)
            edge << surface.pixelColor(0, y).name();
        QVERIFY(edge.contains("#333333") && !edge.contains("#dadfe4"));
        f->window->slotOnReader(QPixmap(8, 8)); // a picture still queued after the stop
        QVERIFY(showsHint());
        // The capture is closed; the camera's channels (controls, extension unit, picture) are not.
        QCOMPARE(f->bus.openHandles(), 3);
        QTest::keyClick(f->child("labPreview"), Qt::Key_Space); // the keys do as the icons
        QTRY_VERIFY(f->access().previewWorkerRunning());
        QTest::keyClick(f->child("labPreview"), Qt::Key_Return);
        QVERIFY(!f->access().previewWorkerRunning());
        leftPress(f->child<QLabel>("labelCamera"));
        QVERIFY(!f->child<QLabel>("labelloading")->isHidden());
        QTRY_VERIFY(f->access().previewWorkerRunning()); // after the loading animation
        f->bus.unplug(f->camera); // without an open camera the start does nothing
        QTRY_VERIFY(!f->access().controlsReady());
        f->window->slotStartPreview();
        QVERIFY(!f->access().previewWorkerRunning() && showsHint());
    }

    // Pictures still queued from the camera before a switch never reach the surface.
    void noPictureFromTheCameraBeforeASwitch() {
        auto second = f->bus.addCamera(configAt("1-2"));
        SimCameraFaults unusable;
        unusable.unusableFrames = true; // frames that make no picture
        second->setCameraFaults(unusable);
        f->window = std::make_unique<MainWindow>();
        f->window->show();
        QSemaphore pictures; // counted on the worker's thread: they wait in the window's queue
        connect(
            f->access().worker(), &VideoStreamThread::onReader, this,
            [&pictures] { pictures.release(); }, Qt::DirectConnection);
        QVERIFY(pictures.tryAcquire(3, 10000));
        f->bus.unplug(f->camera);
        f->access().reportCaptureInterface(false, f->camera->interfaceName());
        QCOMPARE(f->access().currentDeviceId(), idOf(*second));
        QVERIFY(f->access().previewWorkerRunning());
        QCoreApplication::processEvents();
        QVERIFY(f->child<QLabel>("labPreview")->pixmap(Qt::ReturnByValue).isNull());
    }

    void dialogFamily_data() {
        addColumns<bool>({"opacityShows"});
        QTest::newRow("a window over the window") << true;
        QTest::newRow("a shade inside the window, no compositor") << false;
    }
    void dialogFamily() {
        QFETCH(bool, opacityShows);
        static bool shows;
        shows = opacityShows;
        MaskWidget::setOpacityProbe([] { return shows; });
        f->open();
        f->window->show();
        f->window->move(40, 30);
        f->dialogs.answers = QStringList{"cancel"};
        QCOMPARE(f->window->runMessageBox("<h3>Title</h3>text", 1, false), int(QDialog::Rejected));
        QCOMPARE(f->window->runMessageBox("plain", 0, true), int(QDialog::Accepted));
        QCOMPARE(f->dialogs.seen, (QStringList{"FormCustomizeMessagebox: Title\ntext [masked]",
                                               "FormCustomizeMessagebox: plain [masked]"}));
        QVERIFY(!MaskWidget::instance()->dims());
        const auto corner = [this] { return f->window->grab().toImage().pixelColor(4, 4); };
        const QColor undimmed = corner();
        FormCustomizeMessagebox box("text", 1, true);
        box.show();
        if (!opacityShows) // the window shows through the shade at 30 %, not black
            QCOMPARE(corner().red(), qRound(undimmed.red() * 0.3));
        MaskWidget::setOpacityProbe(nullptr);
        QStringList countdown;
        const QLabel *seconds = box.findChild<QLabel *>("labelCountdown");
        for (int tick = 0; tick < 6 && box.isVisible(); ++tick) {
            countdown << seconds->text().remove(QRegularExpression("\\D"));
            box.slotOnTimeout();
        }
        // It closes at the sixth tick.
        QCOMPARE(countdown, (QStringList{"5", "5", "4", "3", "2", "1"}));
        QCOMPARE(box.result(), int(QDialog::Accepted));
        FormCustomizeMessagebox plain("text", 0, false);
        plain.show();
        QVERIFY(!plain.findChild<QPushButton *>("btnCancel")->isVisible());
        QVERIFY(!plain.findChild<QLabel *>("labelCountdown")->isVisible());
    }

    // Refused device nodes, reported from any thread: the user is told once.
    void accessProblemToldOnce() {
        f->open();
        for (const char *node : {"/dev/video0", "/dev/sg0"})
            emit DeviceAccessNotices::instance().accessDenied(node, QString("advice on ") + node);
        QTRY_COMPARE(f->dialogs.seen.size(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(f->dialogs.seen,
                 QStringList{"FormCustomizeMessagebox: advice on /dev/video0 [masked]"});
    }

    void closing() {
        f->open();
        f->access().setUpgrading(true);
        QVERIFY(!f->window->close());
        QCOMPARE(f->dialogs.seen,
                 QStringList{
                     "FormCustomizeMessagebox: Cannot exit during the upgrade process! [masked]"});
        f->access().setUpgrading(false);
        f->window->show();
        f->window->setGeometry(120, 90, 1100, 760);
        f->child<QPushButton>("btnModeLight")->click(); // to the dark theme
        const QRect frame = f->window->frameGeometry();
        QVERIFY(f->window->close());
        QCOMPARE(f->bus.openHandles(), 0);
        QVERIFY(!QFile::exists(settingsPath("beside"))); // nothing is written beside the program
        QSettings saved(settingsPath(), QSettings::IniFormat);
        QStringList values;
        for (const char *key :
             {"window/left", "window/top", "window/width", "window/height", "style/index"})
            values << saved.value(key).toString();
        QCOMPARE(values.join(' '), QString("%1 %2 1100 760 1").arg(frame.x()).arg(frame.y()));
    }

    void themesAndSavedPlace_data() {
        addColumns<QRect, int, bool>({"saved", "screens", "restored"});
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QTest::newRow("on the screen") << QRect(70, 60, 1100, 750) << 1 << true;
        QTest::newRow("off the screen") << QRect(screen.right() + 10, 60, 1100, 750) << 1 << false;
        QTest::newRow("50 px of its top edge on the screen")
            << QRect(screen.right() - 49, 60, 1100, 750) << 1 << false;
        QTest::newRow("two screens") << QRect(70, 60, 1100, 750) << 2 << false;
    }
    void themesAndSavedPlace() {
        QFETCH(QRect, saved);
        QFETCH(int, screens);
        QFETCH(bool, restored);
        {
            QSettings settings(settingsPath(), QSettings::IniFormat);
            settings.setValue("window/left", saved.x());
            settings.setValue("window/top", saved.y());
            settings.setValue("window/width", saved.width());
            settings.setValue("window/height", saved.height());
            settings.setValue("style/index", 1);
        }
        static int screenCount;
        screenCount = screens;
        MainWindow::setScreenCounter([] { return screenCount; });
        const QString light = QString::fromUtf8(readFile(":/qss/light.css"));
        const QString dark = QString::fromUtf8(readFile(":/qss/dark.css"));
        f->open();
        MainWindow::setScreenCounter(nullptr);
        QCOMPARE(f->window->pos() == saved.topLeft() && f->window->size() == saved.size(),
                 restored);
        QCOMPARE(qApp->styleSheet() == dark, screens == 1);
        f->child<QPushButton>("btnModeLight")->click();
        QCOMPARE(qApp->styleSheet() == light, screens == 1);
    }

    // Many cameras plugged and pulled while previewing leave no thread, handle or descriptor.
    void plugCyclesLeaveNothingBehind() {
        const int threads = threadsOutsideThePool();
        const int descriptors = openFileDescriptorCount();
        f->window = std::make_unique<MainWindow>();
        for (int cycle = 0; cycle < 50; ++cycle) {
            f->bus.unplug(f->camera);
            QTRY_VERIFY(!f->access().controlsReady());
            f->bus.plug(f->camera);
            QTRY_VERIFY(f->access().previewWorkerRunning());
        }
        f->window.reset();
        QCOMPARE(f->bus.openHandles(), 0);
        QTRY_VERIFY(threadsOutsideThePool() <= threads);
        QCOMPARE(openFileDescriptorCount(), descriptors);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
