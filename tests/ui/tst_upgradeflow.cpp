// The firmware upgrade as the window runs it over the simulated camera: the refusals before
// anything reaches the camera, a whole upgrade from the Support page, the progress and the final
// report, and the offer to upgrade a camera found stuck in an updater stage.
#include "upgrade/massstorage.h"
#include "windowfixture.h"

#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>

class TestUpgradeFlow : public QObject {
    Q_OBJECT

    QTemporaryDir packages;
    std::unique_ptr<WindowFixture> f;
    std::unique_ptr<QTemporaryDir> unpacked;

    QString package(const QString &model) {
        const QString zip = packages.filePath(model + ".zip");
        if (!QFile::exists(zip))
            QProcess::execute(
                "bash", {CC_SOURCE_DIR "/scripts/make-sample-package.sh", model, "1.2.30", zip});
        return zip;
    }
    void openWith(const QString &chosen) {
        f->camera->restartDelay = Milliseconds(200);
        f->camera->updaterAppearDelay = Milliseconds(200);
        f->open();
        f->access().setPackageChooser(chosen);
        f->access().setPackageDirectory(unpacked->path());
    }
    QString bar() {
        auto *progress = f->child<QProgressBar>("progressBarUpdate");
        return QString("%1%2").arg(progress->value()).arg(progress->isHidden() ? "" : " shown");
    }
    bool idle() {
        return !f->access().upgrading() && f->child("btnUpgrade")->isEnabled() && bar() == "0";
    }

private slots:
    void init() {
        f = std::make_unique<WindowFixture>();
        unpacked = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        // The watcher's last search may still hold a handle on the simulated bus: released after
        // the window (and its watcher) and before the bus.
        f->window.reset();
        releaseUpdaterDevice();
        f.reset();
    }

    void refusals_data() {
        // model: of the package; "-" no choice, "junk" not a zip
        addColumns<QString, QString>({"model", "seen"});
        const QString unable = "FormCustomizeMessagebox: Unable to upgrade now.\n";
        QTest::newRow("choice cancelled") << QString("-") << "";
        QTest::newRow("another model")
            << "ZENTA 320" << unable + "The firmware version does not match with this model.";
        QTest::newRow("unknown model") << "ACME 9" << unable + "The firmware file is corrupted.";
        QTest::newRow("not a zip")
            << "junk" << unable + "The format of firmware file is not correct.";
        QTest::newRow("confirmation rejected")
            << QString("QX-M30-000") << "FormUpgrade: Get Ready to Update";
    }
    void refusals() {
        QFETCH(QString, model);
        QFETCH(QString, seen);
        const QString zip = model == "junk" ? packages.filePath("junk.zip") : package(model);
        writeFile(packages.filePath("junk.zip"), "not a zip");
        openWith(model == "-" ? QString() : zip);
        f->dialogs.answers = QStringList{"cancel"};
        f->camera->clearLogs();
        f->child<QPushButton>("btnUpgrade")->click();
        QCOMPARE(f->dialogs.seen.join("").remove(" [masked]"), seen);
        QVERIFY(idle());
        QVERIFY(f->camera->xuLog().empty() && f->camera->scsiLog().empty());
    }

    void upgradeFromTheSupportPage() {
        openWith(package("QX-M30-000"));
        f->child<QPushButton>("btnUpgrade")->click();
        QCOMPARE(f->dialogs.seen.value(0), QString("FormUpgrade: Get Ready to Update [masked]"));
        QVERIFY(f->access().upgrading());
        QCOMPARE(bar(), QString("0 shown"));
        QVERIFY(!f->child("btnUpgrade")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(f->dialogs.seen.size() == 2, 30000);
        QCOMPARE(f->dialogs.seen.at(1),
                 QString("FormCustomizeMessagebox: Firmware upgrade is successful! [masked]"));
        QTRY_VERIFY(idle());
        QTRY_COMPARE(f->child<QLabel>("labelDevVer")->text(),
                     QString("V1.2.30")); // back as a camera
    }

    void progressAndReports() {
        openWith(QString());
        QList<int> steps;
        int last = 0;
        for (int tick = 0; tick < 60; ++tick) {
            f->window->slotOnUpdateDummyTimeout();
            const int now = f->child<QProgressBar>("progressBarUpdate")->value();
            if (now < 99)
                steps << now - last;
            last = now;
        }
        QCOMPARE(last, 99); // 100 only once the upgrade has succeeded
        QVERIFY(steps.size() >= 24);
        for (int step : steps)
            QVERIFY2(step >= 2 && step <= 4, qPrintable(QString::number(step)));
        f->access().setUpgrading(true, true);
        f->window->slotOnUpgradeReport(true, 50, "half-way"); // not a final report
        QVERIFY(f->dialogs.seen.isEmpty() && f->access().upgrading());
        f->window->slotOnUpgradeReport(false, 0, "Upgrade failed.");
        f->window->slotOnUpgradeReport(true, 100, "late"); // one final report per upgrade
        QCOMPARE(f->dialogs.seen,
                 QStringList{"FormCustomizeMessagebox: Firmware upgrade failed!\nplease "
                             "try to unplug and plug the USB cable for upgrade again. [masked]"});
        QVERIFY(idle());
    }

    void stuckCameraIsOffered() {
        f->camera->setStage(SimStage::UBoot);
        openWith(package("ACME 9")); // a stuck camera cannot say its model: any package will do
        f->dialogs.answers = QStringList{"upgrade", "cancel"};
        QTRY_VERIFY(f->dialogs.seen.size() >= 2); // found by the watcher
        QCOMPARE(f->dialogs.seen.mid(0, 2).join(", "),
                 QString("FormAbnormal [masked], FormUpgrade: Get Ready to Update [masked]"));
        QVERIFY(f->camera->scsiLog().size() < 30); // the searches' INQUIRY only
        f->access().setUpgrading(true);
        f->window->slotOnDeviceAbnormal(2); // while an upgrade runs: no offer
        QCOMPARE(f->dialogs.seen.size(), 2);
        f->access().setUpgrading(false);
        f->access().setPackageChooser(package("QX-M30-000"));
        f->dialogs.answers = QStringList{"upgrade", "ok"};
        f->window->slotOnDeviceAbnormal(2);
        QTRY_VERIFY_WITH_TIMEOUT(f->dialogs.seen.last().contains("successful"), 30000);
        QTRY_COMPARE(f->camera->stage(), SimStage::Camera);
        QCOMPARE(f->camera->version().patch, std::uint16_t(30));
    }
};

QTEST_MAIN(TestUpgradeFlow)
#include "tst_upgradeflow.moc"
