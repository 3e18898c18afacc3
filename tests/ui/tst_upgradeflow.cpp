// The firmware upgrade as the window runs it, over the simulated camera and its updater: the
// package checks and their refusals, the confirmation, the worker, the progress bar and the result,
// the refusal to close meanwhile, and the recovery of a camera found stuck in an updater stage,
// from the watcher's notification to the camera working again with the package's version.
#include "tests/testsupport/testsupport.h"
#include "translationrecorder.h"
#include "upgradeflowsupport.h"

#include "control/uvcextensionunit.h"
#include "sim/simulatedbus.h"
#include "ui/maskwidget.h"
#include "upgrade/massstorage.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

namespace {
// How long a camera restarting after the package's "reset" stays away: until the test lets it
// come back, whatever the watcher's pauses add to the clock meanwhile.
constexpr Milliseconds kHeldRestart{24LL * 3600 * 1000};
constexpr int kFlowTimeout_ms = 60000;

const char kSuccess[] = "<h3>Firmware upgrade is successful!</h3>";
const char kFailure[] = "<h3>Firmware upgrade failed!</h3>\r\nplease try to unplug and plug the "
                        "USB cable for upgrade again.";
const char kBadLayout[] =
    "<h3>Unable to upgrade now.</h3>\r\nThe format of firmware file is not correct.";
const char kCorrupted[] = "<h3>Unable to upgrade now.</h3>\r\nThe firmware file is corrupted.";
const char kMismatch[] =
    "<h3>Unable to upgrade now.</h3>\r\nThe firmware version does not match with this model.";

QString settingsPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/product.ini");
}

// What a rich text shows as plain text.
QString plainOf(const char *richText) {
    QTextEdit edit;
    edit.setText(QString::fromUtf8(richText));
    return edit.toPlainText();
}

int upgradeRequests(const std::shared_ptr<SimCamera> &camera) {
    int count = 0;
    for (const SimXuRecord &record : camera->xuLog())
        count += record.selector == kSelectorUpgrade ? 1 : 0;
    return count;
}
} // namespace

Q_DECLARE_METATYPE(SimUpdaterFaults)

class TestUpgradeFlow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cancelledChoiceLeavesTheWindowIdle();
    void fileDialogAsksForAZip();
    void refusals_data();
    void refusals();
    void rejectedConfirmationLeavesTheWindowIdle();
    void upgradeFromTheSupportPage();
    void progressStaysBelowDoneUntilSuccess();
    void failureLeavesTheWindowReady_data();
    void failureLeavesTheWindowReady();
    void reportsAfterTheFinalOneChangeNothing();
    void closingDuringAnUpgradeIsRefused();
    void stuckCameraIsRecovered_data();
    void stuckCameraIsRecovered();
    void oneAbnormalPromptAtATime();
    void noAbnormalPromptWhilePreparingOrUpgrading();
    void abnormalPromptComesBackAfterRejection();
    void destroyingTheWindowEndsTheWatcher_data();
    void destroyingTheWindowEndsTheWatcher();

private:
    MainWindow &openWindow();
    // Plugs in a camera in its normal stage and opens the window on it, declining any abnormal
    // prompt.
    void openOnCamera() {
        camera = bus->addCamera(SimCameraConfig());
        declineUnexpectedPrompts();
        openWindow();
    }
    MainWindowUpgradeAccess access() { return MainWindowUpgradeAccess(*window); }
    template <typename T>
    T *child(const char *name) const {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QProgressBar *bar() const { return child<QProgressBar>("progressBarUpdate"); }
    QPushButton *upgradeButton() const { return child<QPushButton>("btnUpgrade"); }
    // The button as the user reaches it, on the Support page.
    void clickUpgrade() {
        child<QToolButton>("btnNavSupport")->click();
        upgradeButton()->click();
    }
    QString versionShown() const { return child<QLabel>("labelDevVer")->text(); }
    QPoint centredPosition(const QWidget &dialog) const {
        return window->pos() + QPoint((window->width() - dialog.width()) / 2,
                                      (window->height() - dialog.height()) / 2);
    }
    void stopPreview();
    // Stops the preview and lets the device pauses run fast from here.
    void goFast();
    // Lets the camera that restarted after the package's "reset" come back, in real time (it
    // starts a preview once it is open again).
    void letTheCameraReturn();
    void checkIdle();
    // Confirms an upgrade with the chosen package and returns once the worker waits in front of
    // the boot loader's first command.
    void startUpgradeHeldAtTheBootLoader();
    // Lets the held upgrade go on, acknowledges its result and waits for the window to be idle.
    void finishHeldUpgrade();
    // Declines the abnormal-state prompts that a test does not expect (while the condition holds),
    // so that one turning up fails the test instead of blocking it.
    void declineUnexpectedPrompts(DialogDriver::Condition condition = nullptr) {
        unexpectedPrompts = std::make_unique<DialogSweeper>(
            QStringLiteral("FormAbnormal"),
            [](QWidget &shown) { clickButton(&shown, "btnCancel"); }, std::move(condition));
    }

    TestPackages packages;
    std::unique_ptr<TwoSpeedClock> clock;
    std::unique_ptr<ScopedClock> useClock;
    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<ScsiTap> tap;
    std::shared_ptr<SimCamera> camera;
    std::unique_ptr<QTemporaryDir> appDir;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<DialogSweeper> unexpectedPrompts;
    QString chosenPackage;
    QWidget *chooserParent = nullptr;
    int chooserCalls = 0;
};

void TestUpgradeFlow::initTestCase() {
    QVERIFY(packages.build());
}

void TestUpgradeFlow::init() {
    QFile::remove(settingsPath());
    clock = std::make_unique<TwoSpeedClock>();
    clock->setRealTime(true);
    useClock = std::make_unique<ScopedClock>(*clock);
    bus = std::make_unique<SimulatedBus>();
    bus->install();
    tap = std::make_unique<ScsiTap>(*bus);
    tap->onShellLine = [this](const std::string &line) {
        if (line != "reset")
            return;
        std::lock_guard<std::recursive_mutex> guard(simMutex());
        for (const auto &each : bus->cameras())
            each->restartDelay = kHeldRestart;
    };
    installScsiBackend(tap.get());
    appDir = std::make_unique<QTemporaryDir>();
    QVERIFY(appDir->isValid());
    chosenPackage.clear();
    chooserParent = nullptr;
    chooserCalls = 0;
}

void TestUpgradeFlow::cleanup() {
    const int declined = unexpectedPrompts ? unexpectedPrompts->acted() : 0;
    unexpectedPrompts.reset();
    tap->openGate();
    // A preview paces its frames by the test clock, which may stand far ahead of the system
    // clock: it goes before the clock does.
    if (window)
        stopPreview();
    // Back on the system clock: every pause still under way on the test clock ends at once.
    useClock.reset();
    window.reset();
    releaseUpdaterDevice();
    installScsiBackend(nullptr);
    tap.reset();
    camera.reset();
    bus.reset();
    clock.reset();
    appDir.reset();
    QFile::remove(settingsPath());
    // Last: a failure returns at once.
    QCOMPARE(declined, 0);
}

MainWindow &TestUpgradeFlow::openWindow() {
    window = std::make_unique<MainWindow>();
    // Queued notifications reach the window only once the test's event loop runs, after this.
    access().setPackageDirectory(appDir->path());
    access().setPackageChooser([this](QWidget *parent) {
        chooserParent = parent;
        ++chooserCalls;
        return chosenPackage;
    });
    window->show();
    return *window;
}

void TestUpgradeFlow::stopPreview() {
    // A left press on the stop icon, as the user gives it.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(child<QLabel>("labelStop"), &press);
    QVERIFY(!access().previewWorkerRunning());
}

void TestUpgradeFlow::goFast() {
    stopPreview();
    clock->setRealTime(false);
}

void TestUpgradeFlow::letTheCameraReturn() {
    clock->setRealTime(true);
    clock->advance(kHeldRestart);
    bus->poll();
    QCOMPARE(camera->stage(), SimStage::Camera);
    QTRY_COMPARE_WITH_TIMEOUT(child<QListWidget>("listWidgetCamera")->count(), 1, 10000);
    QTRY_VERIFY(access().controlsReady());
}

void TestUpgradeFlow::startUpgradeHeldAtTheBootLoader() {
    tap->closeGate();
    DialogDriver confirm;
    confirm.then(QStringLiteral("FormUpgrade"),
                 [](QWidget &shown) { clickButton(&shown, "btnOK"); });
    confirm.start();
    clickUpgrade();
    QTRY_VERIFY_WITH_TIMEOUT(tap->waitingAtGate(), kFlowTimeout_ms);
}

void TestUpgradeFlow::finishHeldUpgrade() {
    DialogDriver result;
    result.then(QStringLiteral("FormCustomizeMessagebox"),
                [](QWidget &shown) { clickButton(&shown, "btnOK"); });
    result.start();
    tap->openGate();
    QTRY_VERIFY_WITH_TIMEOUT(result.finished(), kFlowTimeout_ms);
    QTRY_VERIFY(!access().upgrading());
}

void TestUpgradeFlow::checkIdle() {
    QVERIFY(!access().upgrading());
    QVERIFY(bar()->isHidden());
    QCOMPARE(bar()->value(), 0);
    QVERIFY(!access().dummyProgressTimer());
}

void TestUpgradeFlow::cancelledChoiceLeavesTheWindowIdle() {
    openOnCamera();
    QFile marker(appDir->filePath(QStringLiteral("auto_update.txt")));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    LogCapture log;
    ShowCounter shows;
    clickUpgrade();
    QCOMPARE(chooserCalls, 1);
    QCOMPARE(chooserParent, window.get());
    QVERIFY(log.contains(QtInfoMsg, QStringLiteral("app dir: ") + appDir->path()));
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("Open file dialog cancel.")));
    QVERIFY(!log.contains(QtInfoMsg, QStringLiteral("upgrade file:")));
    // Nothing was cleaned or unpacked.
    QVERIFY(marker.exists());
    QCOMPARE(QDir(appDir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 1);
    QCOMPARE(shows.shown(QStringLiteral("FormUpgrade")), 0);
    QCOMPARE(shows.shown(QStringLiteral("FormCustomizeMessagebox")), 0);
    checkIdle();
    QVERIFY(upgradeButton()->isEnabled());
    QVERIFY(window->close());
}

void TestUpgradeFlow::fileDialogAsksForAZip() {
    openOnCamera();
    access().setPackageChooser(nullptr);
    QString title;
    QStringList filters;
    QWidget *parent = nullptr;
    bool upgradingMeanwhile = false;
    DialogDriver driver;
    driver.then(QStringLiteral("QFileDialog"), [&](QWidget &shown) {
        auto &files = static_cast<QFileDialog &>(shown);
        title = files.windowTitle();
        filters = files.nameFilters();
        parent = files.parentWidget();
        upgradingMeanwhile = access().upgrading();
        files.reject();
    });
    driver.start();
    TranslationRecorder recorder;
    QCoreApplication::installTranslator(&recorder);
    LogCapture log;
    clickUpgrade();
    QCoreApplication::removeTranslator(&recorder);
    QVERIFY(driver.finished());
    QCOMPARE(title, QStringLiteral("Open File"));
    QCOMPARE(filters, QStringList{QStringLiteral("Upgrade File(*.zip)")});
    QCOMPARE(parent, window.get());
    QVERIFY(upgradingMeanwhile);
    QVERIFY(recorder.asked(QStringLiteral("MainWindow"), QStringLiteral("Open File")));
    QVERIFY(recorder.asked(QStringLiteral("MainWindow"), QStringLiteral("Upgrade File(*.zip)")));
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("Open file dialog cancel.")));
    checkIdle();
}

void TestUpgradeFlow::refusals_data() {
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("message");
    QTest::newRow("not a zip") << packages.notAZip << QString::fromUtf8(kBadLayout);
    QTest::newRow("no kernel") << packages.noKernel << QString::fromUtf8(kBadLayout);
    QTest::newRow("no model in the model file")
        << packages.unknownModel << QString::fromUtf8(kCorrupted);
    QTest::newRow("another model") << packages.zenta320 << QString::fromUtf8(kMismatch);
}

void TestUpgradeFlow::refusals() {
    QFETCH(QString, package);
    QFETCH(QString, message);
    openOnCamera();
    QCOMPARE(access().modelIndex(), 0);
    const int requestsBefore = static_cast<int>(camera->xuLog().size());
    chosenPackage = package;

    QString shownText;
    bool countsDown = true;
    QPoint boxPosition;
    QPoint expectedPosition;
    bool upgradingMeanwhile = false;
    DialogDriver driver;
    driver.then(QStringLiteral("FormCustomizeMessagebox"), [&](QWidget &shown) {
        shownText = promptText(&shown);
        countsDown = static_cast<FormCustomizeMessagebox &>(shown).countdownActive();
        boxPosition = shown.pos();
        expectedPosition = centredPosition(shown);
        upgradingMeanwhile = access().upgrading();
        clickButton(&shown, "btnOK");
    });
    driver.start();
    // Should the confirmation come anyway, it is declined so that the test goes on.
    DialogSweeper confirmation(QStringLiteral("FormUpgrade"),
                               [](QWidget &shown) { clickButton(&shown, "btnCancel"); });
    ShowCounter shows;
    TranslationRecorder recorder;
    QCoreApplication::installTranslator(&recorder);
    clickUpgrade();
    QCoreApplication::removeTranslator(&recorder);

    QVERIFY(driver.finished());
    QVERIFY(recorder.asked(QStringLiteral("MainWindow"), message));
    QCOMPARE(shownText, plainOf(qPrintable(message)));
    QVERIFY(!countsDown);
    QCOMPARE(boxPosition, expectedPosition);
    QVERIFY(upgradingMeanwhile);
    // Refused before the confirmation, and nothing reached the camera.
    QCOMPARE(shows.shown(QStringLiteral("FormUpgrade")), 0);
    QCOMPARE(shows.shown(QStringLiteral("FormCustomizeMessagebox")), 1);
    QVERIFY(!access().upgradeThreadExists());
    QCOMPARE(upgradeRequests(camera), 0);
    QCOMPARE(static_cast<int>(camera->xuLog().size()), requestsBefore);
    QVERIFY(camera->scsiLog().empty());
    QCOMPARE(camera->stage(), SimStage::Camera);
    checkIdle();
    QVERIFY(upgradeButton()->isEnabled());
    QVERIFY(window->close());
}

void TestUpgradeFlow::rejectedConfirmationLeavesTheWindowIdle() {
    openOnCamera();
    chosenPackage = packages.qx;
    QPoint position;
    QPoint expected;
    bool masked = false;
    DialogDriver driver;
    driver.then(QStringLiteral("FormUpgrade"), [&](QWidget &shown) {
        position = shown.pos();
        expected = centredPosition(shown);
        masked = MaskWidget::instance()->isVisible();
        clickButton(&shown, "btnCancel");
    });
    driver.start();
    LogCapture log;
    clickUpgrade();
    QVERIFY(driver.finished());
    QCOMPARE(position, expected);
    QVERIFY(masked);
    QVERIFY(!MaskWidget::instance()->isVisible());
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("firmware file model: 0")));
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("FormUpgrade rejected.")));
    QVERIFY(!access().upgradeThreadExists());
    QCOMPARE(upgradeRequests(camera), 0);
    checkIdle();
    QVERIFY(upgradeButton()->isEnabled());
}

void TestUpgradeFlow::upgradeFromTheSupportPage() {
    openOnCamera();
    QCOMPARE(versionShown(), QStringLiteral("V1.0.0"));
    QVERIFY(upgradeButton()->isEnabled());
    goFast();
    chosenPackage = packages.qx;

    QString resultText;
    bool doneShown = false;
    bool countsDown = false;
    DialogDriver driver;
    driver.then(QStringLiteral("FormUpgrade"), [](QWidget &shown) { clickButton(&shown, "btnOK"); })
        .then(QStringLiteral("FormCustomizeMessagebox"), [&](QWidget &shown) {
            resultText = promptText(&shown);
            doneShown = bar()->isVisible() && bar()->value() == 100;
            countsDown = static_cast<FormCustomizeMessagebox &>(shown).countdownActive();
            clickButton(&shown, "btnOK");
        });
    driver.start();
    LogCapture log;
    TranslationRecorder recorder;
    QCoreApplication::installTranslator(&recorder);
    clickUpgrade();

    // Running: the bar starts at 0, the button waits, the timer ticks once a second.
    QVERIFY(access().upgrading());
    QVERIFY(bar()->isVisible());
    QCOMPARE(bar()->value(), 0);
    QVERIFY(!upgradeButton()->isEnabled());
    QVERIFY(access().dummyProgressTimer());
    QVERIFY(access().dummyProgressTimer()->isActive());
    QCOMPARE(access().dummyProgressTimer()->interval(), 1000);

    QTRY_VERIFY_WITH_TIMEOUT(driver.finished(), kFlowTimeout_ms);
    QCoreApplication::removeTranslator(&recorder);
    QVERIFY(recorder.asked(QStringLiteral("MainWindow"), QString::fromUtf8(kSuccess)));
    QCOMPARE(resultText, plainOf(kSuccess));
    QVERIFY(doneShown);
    QVERIFY(countsDown);
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("upgrade report: Upgrade done.")));
    QVERIFY(log.contains(QtInfoMsg,
                         QStringLiteral("Enter the normal state of the camera upgrade process.")));
    checkIdle();
    QVERIFY(upgradeButton()->isEnabled());
    QTRY_VERIFY(!access().upgradeThreadExists());

    QCOMPARE(upgradeRequests(camera), 1);
    const auto shell = camera->shellLog();
    QVERIFY(!shell.empty());
    QCOMPARE(shell.front(), std::string("setenv ota_upgrade_status 0"));
    QCOMPARE(shell.back(), std::string("reset"));
    // Unpacked where the window was told to, not beside the program.
    QVERIFY(QFile::exists(appDir->filePath(QStringLiteral("kernel/uImage"))));
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/auto_update.txt")));

    letTheCameraReturn();
    QTRY_COMPARE(versionShown(), QStringLiteral("V2.0.0"));
}

void TestUpgradeFlow::progressStaysBelowDoneUntilSuccess() {
    openOnCamera();
    goFast();
    chosenPackage = packages.qx;
    // The worker has reached the boot loader and waits in front of its first command.
    startUpgradeHeldAtTheBootLoader();
    if (QTest::currentTestFailed())
        return;

    // The timer may have ticked meanwhile; from here on only these ticks move the bar.
    int previous = access().dummyProgress();
    QVERIFY(previous <= 20);
    int ticksTo99 = 0;
    for (int tick = 1; tick <= 60; ++tick) {
        window->slotOnUpdateDummyTimeout();
        const int value = bar()->value();
        QCOMPARE(value, access().dummyProgress());
        QVERIFY2(value <= 99, qPrintable(QString::number(value)));
        if (previous < 99) {
            const int step = value - previous;
            QVERIFY2(step >= 2 || value == 99, qPrintable(QString::number(step)));
            QVERIFY2(step <= 4, qPrintable(QString::number(step)));
            if (value == 99)
                ticksTo99 = tick;
        } else {
            QCOMPARE(value, 99);
        }
        previous = value;
    }
    QVERIFY(ticksTo99 > 0);
    QVERIFY(bar()->isVisible());

    // A report of progress is no result.
    ShowCounter shows;
    window->slotOnUpgradeReport(true, 50, QStringLiteral("half way"));
    QCOMPARE(bar()->value(), 99);
    QVERIFY(access().upgrading());
    QVERIFY(access().dummyProgressTimer() && access().dummyProgressTimer()->isActive());
    QCOMPARE(shows.shown(QStringLiteral("FormCustomizeMessagebox")), 0);

    int shownAtResult = -1;
    DialogDriver result;
    result.then(QStringLiteral("FormCustomizeMessagebox"), [&](QWidget &shown) {
        shownAtResult = bar()->value();
        clickButton(&shown, "btnOK");
    });
    result.start();
    tap->openGate();
    QTRY_VERIFY_WITH_TIMEOUT(result.finished(), kFlowTimeout_ms);
    QCOMPARE(shownAtResult, 100);
    checkIdle();
}

void TestUpgradeFlow::failureLeavesTheWindowReady_data() {
    QTest::addColumn<SimUpdaterFaults>("faults");
    QTest::addColumn<QString>("report");
    QTest::addColumn<bool>("staysStuck");
    SimUpdaterFaults noDisk;
    noDisk.neverShowsVolume = true;
    QTest::newRow("never shows its disk")
        << noDisk << QStringLiteral("Failed to find camera device.") << false;
    SimUpdaterFaults silent;
    silent.neverAcknowledge = true;
    QTest::newRow("script not acknowledged") << silent << QStringLiteral("Upgrade failed.") << true;
}

void TestUpgradeFlow::failureLeavesTheWindowReady() {
    QFETCH(SimUpdaterFaults, faults);
    QFETCH(QString, report);
    QFETCH(bool, staysStuck);
    camera = bus->addCamera(SimCameraConfig());
    camera->setUpdaterFaults(faults);
    declineUnexpectedPrompts([this] { return window && access().upgrading(); });
    openWindow();
    goFast();
    chosenPackage = packages.qx;

    QString resultText;
    int valueAtResult = -1;
    bool barShownAtResult = false;
    bool offeredAgain = false;
    DialogDriver driver;
    driver.then(QStringLiteral("FormUpgrade"), [](QWidget &shown) { clickButton(&shown, "btnOK"); })
        .then(QStringLiteral("FormCustomizeMessagebox"), [&](QWidget &shown) {
            resultText = promptText(&shown);
            valueAtResult = bar()->value();
            barShownAtResult = bar()->isVisible();
            clickButton(&shown, "btnOK");
        });
    if (staysStuck) {
        // The camera is left in its boot loader: the watcher offers the upgrade again.
        driver.then(QStringLiteral("FormAbnormal"), [&](QWidget &shown) {
            offeredAgain = !access().upgrading();
            clickButton(&shown, "btnCancel");
        });
    }
    driver.start();
    DialogSweeper later(
        QStringLiteral("FormAbnormal"), [](QWidget &shown) { clickButton(&shown, "btnCancel"); },
        [&driver] { return driver.finished(); });
    LogCapture log;
    clickUpgrade();
    for (int tick = 0; tick < 5; ++tick)
        window->slotOnUpdateDummyTimeout();
    const int progressBeforeResult = access().dummyProgress();
    QVERIFY(progressBeforeResult >= 10 && progressBeforeResult <= 20);

    QTRY_VERIFY_WITH_TIMEOUT(driver.finished(), kFlowTimeout_ms);
    QCOMPARE(resultText, plainOf(kFailure));
    // The bar keeps the value it had reached; it never shows 100 for a failure.
    QVERIFY(barShownAtResult);
    QVERIFY(valueAtResult >= progressBeforeResult && valueAtResult <= 99);
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("upgrade report: ") + report));
    QCOMPARE(offeredAgain, staysStuck);
    checkIdle();
    QVERIFY(upgradeButton()->isEnabled());
    QTRY_VERIFY(!access().upgradeThreadExists());
}

void TestUpgradeFlow::reportsAfterTheFinalOneChangeNothing() {
    openOnCamera();
    goFast();
    chosenPackage = packages.qx;
    LogCapture log;
    int boxesOpen = 0;
    int valueWhileOpen = -1;
    DialogDriver driver;
    driver.then(QStringLiteral("FormUpgrade"), [](QWidget &shown) { clickButton(&shown, "btnOK"); })
        .then(QStringLiteral("FormCustomizeMessagebox"),
              [&](QWidget &) {
                  // A second report while the result is on screen, delivered as the worker's
                  // would be.
                  QMetaObject::invokeMethod(window.get(), "slotOnUpgradeReport",
                                            Qt::QueuedConnection, Q_ARG(bool, false), Q_ARG(int, 0),
                                            Q_ARG(QString, QStringLiteral("late")));
              })
        .then(
            QStringLiteral("FormCustomizeMessagebox"),
            [&](QWidget &shown) {
                boxesOpen = visibleWindows(QStringLiteral("FormCustomizeMessagebox"));
                valueWhileOpen = bar()->value();
                clickButton(&shown, "btnOK");
            },
            [&] { return log.contains(QtDebugMsg, QStringLiteral("upgrade report: late")); });
    driver.start();
    // Should a report open a box of its own anyway, it is closed so that the test goes on.
    DialogSweeper stray(
        QStringLiteral("FormCustomizeMessagebox"),
        [](QWidget &shown) { clickButton(&shown, "btnOK"); },
        [&driver] { return driver.finished(); });
    ShowCounter shows;
    clickUpgrade();
    QTRY_VERIFY_WITH_TIMEOUT(driver.finished(), kFlowTimeout_ms);
    QTRY_VERIFY(!access().upgrading());
    QCOMPARE(boxesOpen, 1);
    QCOMPARE(valueWhileOpen, 100);

    // Reports after the end.
    window->slotOnUpgradeReport(true, 100, QStringLiteral("Upgrade done."));
    window->slotOnUpgradeReport(false, 0, QStringLiteral("Upgrade failed."));
    QCOMPARE(shows.shown(QStringLiteral("FormCustomizeMessagebox")), 1);
    checkIdle();
    QVERIFY(upgradeButton()->isEnabled());
}

void TestUpgradeFlow::closingDuringAnUpgradeIsRefused() {
    openOnCamera();
    goFast();
    chosenPackage = packages.qx;
    startUpgradeHeldAtTheBootLoader();
    if (QTest::currentTestFailed())
        return;

    QString refusal;
    DialogDriver refused;
    refused.then(QStringLiteral("FormCustomizeMessagebox"), [&](QWidget &shown) {
        refusal = promptText(&shown);
        clickButton(&shown, "btnOK");
    });
    refused.start();
    QVERIFY(!window->close());
    QCOMPARE(refusal, QStringLiteral("Cannot exit during the upgrade process!"));
    QVERIFY(window->isVisible());
    QVERIFY(access().upgrading());
    QVERIFY(access().upgradeThreadExists());

    finishHeldUpgrade();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(window->close());
}

void TestUpgradeFlow::stuckCameraIsRecovered_data() {
    QTest::addColumn<SimStage>("stage");
    QTest::addColumn<int>("state");
    QTest::newRow("ROM") << SimStage::Rom << 0;
    QTest::newRow("Updater") << SimStage::Updater << 1;
    QTest::newRow("u-Boot") << SimStage::UBoot << 2;
}

void TestUpgradeFlow::stuckCameraIsRecovered() {
    QFETCH(SimStage, stage);
    QFETCH(int, state);
    camera = bus->addCamera(SimCameraConfig());
    camera->setStage(stage);
    // No camera to preview while it is stuck.
    clock->setRealTime(false);
    chosenPackage = packages.qx;

    QPoint promptPosition;
    QPoint promptExpected;
    bool promptMasked = false;
    QString chooserParentName;
    bool supportPageShown = false;
    QString resultText;
    bool doneShown = false;
    DialogDriver driver;
    driver
        .then(QStringLiteral("FormAbnormal"),
              [&](QWidget &shown) {
                  promptPosition = shown.pos();
                  promptExpected = centredPosition(shown);
                  promptMasked = MaskWidget::instance()->isVisible();
                  clickButton(&shown, "btnUpgrade");
                  chooserParentName = chooserParent ? chooserParent->objectName() : QString();
              })
        .then(QStringLiteral("FormUpgrade"),
              [&](QWidget &shown) {
                  supportPageShown =
                      child<QStackedWidget>("stackedWidgetMain")->currentIndex() == 1 &&
                      child<QToolButton>("btnNavSupport")->isChecked();
                  clickButton(&shown, "btnOK");
              })
        .then(QStringLiteral("FormCustomizeMessagebox"), [&](QWidget &shown) {
            resultText = promptText(&shown);
            doneShown = bar()->isVisible() && bar()->value() == 100;
            clickButton(&shown, "btnOK");
        });
    driver.start();
    declineUnexpectedPrompts([&driver] { return driver.done() >= 2; });
    LogCapture log;
    ShowCounter shows;
    openWindow();
    QCOMPARE(child<QListWidget>("listWidgetCamera")->count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(driver.finished(), kFlowTimeout_ms);
    QTRY_VERIFY(!access().upgrading());

    QVERIFY(
        log.contains(QtWarningMsg, QStringLiteral("Detect camera abnormal, state: %1").arg(state)));
    QCOMPARE(promptPosition, promptExpected);
    QVERIFY(promptMasked);
    QCOMPARE(chooserCalls, 1);
    QCOMPARE(chooserParentName, QStringLiteral("FormAbnormal"));
    QVERIFY(supportPageShown);
    QCOMPARE(resultText, plainOf(kSuccess));
    QVERIFY(doneShown);
    QVERIFY(log.contains(QtInfoMsg, QStringLiteral("Enter the upgrade process of the camera in "
                                                   "an abnormal state.")));
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("upgrade report: Upgrade done.")));
    // Notifications that came while the upgrade ran opened nothing.
    QCOMPARE(shows.shown(QStringLiteral("FormAbnormal")), 1);
    QVERIFY(!access().abnormalPromptOpen());
    checkIdle();

    letTheCameraReturn();
    QTRY_COMPARE(versionShown(), QStringLiteral("V2.0.0"));
    QCOMPARE(child<QLabel>("labelDevModel")->text(), QStringLiteral("QX-M30-000"));
}

void TestUpgradeFlow::oneAbnormalPromptAtATime() {
    camera = bus->addCamera(SimCameraConfig());
    camera->setStage(SimStage::UBoot);
    clock->setRealTime(false);
    chosenPackage = packages.qx;
    LogCapture log;
    ShowCounter shows;
    const QString notification = QStringLiteral("Detect camera abnormal, state: 2");
    int notificationsAtPrompt = 0;
    int promptsWhilePrompting = -1;
    int promptsWhileConfirming = -1;
    int promptsShownWhileConfirming = -1;
    bool promptFlagWhileConfirming = false;
    DialogDriver driver;
    driver
        .then(
            QStringLiteral("FormAbnormal"),
            [&](QWidget &shown) {
                promptsWhilePrompting = visibleWindows(QStringLiteral("FormAbnormal"));
                notificationsAtPrompt = log.count(QtWarningMsg, notification);
                clickButton(&shown, "btnUpgrade");
            },
            // Several more notifications have come while this prompt is open.
            [&] { return log.count(QtWarningMsg, notification) >= 3; })
        .then(
            QStringLiteral("FormUpgrade"),
            [&](QWidget &shown) {
                promptsWhileConfirming = visibleWindows(QStringLiteral("FormAbnormal"));
                promptsShownWhileConfirming = shows.shown(QStringLiteral("FormAbnormal"));
                promptFlagWhileConfirming = access().abnormalPromptOpen();
                clickButton(&shown, "btnCancel");
            },
            [&] { return log.count(QtWarningMsg, notification) >= notificationsAtPrompt + 2; });
    driver.start();
    // The camera stays stuck: the offer comes back once this one has been declined.
    DialogSweeper later(
        QStringLiteral("FormAbnormal"), [](QWidget &shown) { clickButton(&shown, "btnCancel"); },
        [&driver] { return driver.finished(); });
    openWindow();
    QTRY_VERIFY_WITH_TIMEOUT(driver.finished(), kFlowTimeout_ms);
    QTRY_VERIFY(log.contains(QtDebugMsg, QStringLiteral("FormUpgrade rejected.")));
    QCOMPARE(promptsWhilePrompting, 1);
    QCOMPARE(promptsWhileConfirming, 0);
    QCOMPARE(promptsShownWhileConfirming, 1);
    QVERIFY(promptFlagWhileConfirming);
    QVERIFY(!access().upgrading());
    QVERIFY(!access().upgradeThreadExists());
    QVERIFY(camera->shellLog().empty());
}

void TestUpgradeFlow::noAbnormalPromptWhilePreparingOrUpgrading() {
    camera = bus->addCamera(SimCameraConfig());
    openWindow();
    LogCapture log;
    ShowCounter shows;
    // Should a prompt open anyway, it is declined so that the test goes on.
    DialogSweeper decline(QStringLiteral("FormAbnormal"),
                          [](QWidget &shown) { clickButton(&shown, "btnCancel"); });

    // While the package is chosen and while it is unpacked.
    bool upgradingWhileUnpacking = false;
    access().setPackageChooser([&](QWidget *) {
        window->slotOnDeviceAbnormal(1);
        QTimer::singleShot(0, window.get(), [&] {
            upgradingWhileUnpacking = access().upgrading();
            window->slotOnDeviceAbnormal(0);
        });
        return packages.qx;
    });
    DialogDriver cancel;
    cancel.then(QStringLiteral("FormUpgrade"),
                [](QWidget &shown) { clickButton(&shown, "btnCancel"); });
    cancel.start();
    clickUpgrade();
    QVERIFY(cancel.finished());
    QVERIFY(upgradingWhileUnpacking);
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("Detect camera abnormal, state: 1")));
    QVERIFY(log.contains(QtWarningMsg, QStringLiteral("Detect camera abnormal, state: 0")));
    QCOMPARE(shows.shown(QStringLiteral("FormAbnormal")), 0);

    // While the upgrade runs, with the camera in its boot loader.
    goFast();
    chosenPackage = packages.qx;
    access().setPackageChooser([this](QWidget *) { return chosenPackage; });
    startUpgradeHeldAtTheBootLoader();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(camera->stage(), SimStage::UBoot);
    const QString notification = QStringLiteral("Detect camera abnormal, state: 2");
    const int before = log.count(QtWarningMsg, notification);
    for (int i = 0; i < 3; ++i)
        QMetaObject::invokeMethod(window.get(), "slotOnDeviceAbnormal", Qt::QueuedConnection,
                                  Q_ARG(int, 2));
    // The watcher may add its own.
    QTRY_VERIFY(log.count(QtWarningMsg, notification) >= before + 3);
    QCOMPARE(shows.shown(QStringLiteral("FormAbnormal")), 0);
    QVERIFY(!access().abnormalPromptOpen());

    finishHeldUpgrade();
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(shows.shown(QStringLiteral("FormAbnormal")), 0);
}

void TestUpgradeFlow::abnormalPromptComesBackAfterRejection() {
    camera = bus->addCamera(SimCameraConfig());
    camera->setStage(SimStage::Updater);
    clock->setRealTime(false);
    LogCapture log;
    ShowCounter shows;
    const QString rejected = QStringLiteral("FormAbnormal rejected.");
    int rejectedBeforeSecond = -1;
    DialogDriver driver;
    driver
        .then(QStringLiteral("FormAbnormal"),
              [](QWidget &shown) { clickButton(&shown, "btnCancel"); })
        .then(QStringLiteral("FormAbnormal"), [&](QWidget &shown) {
            rejectedBeforeSecond = log.count(QtDebugMsg, rejected);
            clickButton(&shown, "btnCancel");
        });
    driver.start();
    DialogSweeper later(
        QStringLiteral("FormAbnormal"), [](QWidget &shown) { clickButton(&shown, "btnCancel"); },
        [&driver] { return driver.finished(); });
    openWindow();
    QTRY_VERIFY_WITH_TIMEOUT(driver.finished(), kFlowTimeout_ms);
    QTRY_VERIFY(log.count(QtDebugMsg, rejected) >= 2);
    // A new prompt, after the first had gone.
    QCOMPARE(rejectedBeforeSecond, 1);
    QVERIFY(shows.shown(QStringLiteral("FormAbnormal")) >= 2);
    QCOMPARE(chooserCalls, 0);
    QCOMPARE(camera->stage(), SimStage::Updater);
}

void TestUpgradeFlow::destroyingTheWindowEndsTheWatcher_data() {
    QTest::addColumn<bool>("stuck");
    QTest::newRow("nothing to report") << false;
    QTest::newRow("in the pause after a rejected prompt, on the system clock") << true;
}

void TestUpgradeFlow::destroyingTheWindowEndsTheWatcher() {
    QFETCH(bool, stuck);
    if (stuck) {
        camera = bus->addCamera(SimCameraConfig());
        camera->setStage(SimStage::UBoot);
        useClock.reset();
    } else {
        clock->setRealTime(false);
    }
    const int threadsBefore = threadsOutsideThePool();
    LogCapture log;
    openWindow();
    QThread *watcher = access().watcherThread();
    QVERIFY(watcher);
    QVERIFY(watcher->isRunning());
    DialogSweeper decline(QStringLiteral("FormAbnormal"),
                          [](QWidget &shown) { clickButton(&shown, "btnCancel"); });
    if (stuck) {
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(QtDebugMsg, QStringLiteral("FormAbnormal rejected.")),
                                 10000);
    }
    QPointer<QThread> watcherGuard(watcher);
    QElapsedTimer elapsed;
    elapsed.start();
    window.reset();
    QVERIFY2(elapsed.elapsed() < 2000, qPrintable(QString::number(elapsed.elapsed())));
    // Ended and gone when the destructor returns, not some time later.
    QVERIFY(watcherGuard.isNull());
    // The system thread itself may take a moment more to leave the process's list. The count may
    // also fall below the start, when threads of earlier tests leave meanwhile.
    QTRY_VERIFY_WITH_TIMEOUT(threadsOutsideThePool() <= threadsBefore, 2000);
}

QTEST_MAIN(TestUpgradeFlow)
#include "tst_upgradeflow.moc"
