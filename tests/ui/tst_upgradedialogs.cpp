// The two upgrade dialogs: their texts and results, and the package sequence that the
// abnormal-state dialog runs before it offers the upgrade.
#include "tests/testsupport/testsupport.h"
#include "translationrecorder.h"
#include "upgradeflowsupport.h"

#include "upgrade/formabnormal.h"
#include "upgrade/formupgrade.h"
#include "upgrade/packagefiles.h"

#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

namespace {
const char kAbnormalPrompt[] = "<h3>Anomaly detection, please upgrade it again.</h3>";

QPushButton *button(QWidget &dialog, const char *name) {
    return dialog.findChild<QPushButton *>(QString::fromLatin1(name));
}

// The result of running the dialog with `act` applied to it once it is on screen.
int runWith(QDialog &dialog, std::function<void(QWidget &)> act) {
    DialogDriver driver;
    driver.then(dialog.objectName(), std::move(act));
    driver.start();
    return dialog.exec();
}
} // namespace

Q_DECLARE_METATYPE(PackageSequenceOutcome)

class TestUpgradeDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void upgradeDialogShowsItsPromptAsRichText();
    void upgradeDialogResults_data();
    void upgradeDialogResults();
    void upgradeDialogFocusIsOnOk();
    void roundedOutline_data();
    void roundedOutline();
    void abnormalDialogTexts();
    void abnormalDialogCancelRejects();
    void abnormalDialogFocusIsOnUpgrade();
    void abnormalPackageChoice_data();
    void abnormalPackageChoice();
    void abnormalDialogAsksWithTheFileDialog();
    void packageSequenceOutcomes_data();
    void packageSequenceOutcomes();

private:
    TestPackages packages;
};

void TestUpgradeDialogs::initTestCase() {
    QVERIFY(packages.build());
}

void TestUpgradeDialogs::upgradeDialogShowsItsPromptAsRichText() {
    FormUpgrade dialog;
    // The mask recognises the dialog by its object name.
    QCOMPARE(dialog.objectName(), QStringLiteral("FormUpgrade"));
    QCOMPARE(dialog.windowFlags() & ~Qt::Dialog, Qt::FramelessWindowHint);
    auto *text = dialog.findChild<QTextEdit *>(QStringLiteral("textEditPrompt"));
    QVERIFY(text);
    QVERIFY(text->isReadOnly());
    // The heading and the line breaks are formatting, not characters.
    const QString plain = text->toPlainText();
    QVERIFY2(plain.startsWith(QStringLiteral("Get Ready to Update\nMake sure your camera")),
             qPrintable(plain));
    QVERIFY(!plain.contains(QLatin1Char('<')));
    QVERIFY(plain.endsWith(QStringLiteral("Do not disconnect your device during the update "
                                          "process.")));
}

void TestUpgradeDialogs::upgradeDialogResults_data() {
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<int>("result");
    QTest::newRow("OK accepts") << QStringLiteral("btnOK") << int(QDialog::Accepted);
    QTest::newRow("Cancel rejects") << QStringLiteral("btnCancel") << int(QDialog::Rejected);
}

void TestUpgradeDialogs::upgradeDialogResults() {
    QFETCH(QString, buttonName);
    QFETCH(int, result);
    FormUpgrade dialog;
    const int got =
        runWith(dialog, [&](QWidget &shown) { clickButton(&shown, qPrintable(buttonName)); });
    QCOMPARE(got, result);
    QVERIFY(!dialog.isVisible());
}

void TestUpgradeDialogs::upgradeDialogFocusIsOnOk() {
    FormUpgrade dialog;
    QWidget *focused = nullptr;
    runWith(dialog, [&](QWidget &shown) {
        focused = shown.focusWidget();
        // Enter presses the button that has the focus.
        QTest::keyClick(focused, Qt::Key_Space);
    });
    QCOMPARE(focused, button(dialog, "btnOK"));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestUpgradeDialogs::roundedOutline_data() {
    QTest::addColumn<bool>("abnormal");
    QTest::addColumn<QSize>("size");
    QTest::newRow("FormUpgrade") << false << QSize(446, 263);
    QTest::newRow("FormUpgrade resized") << false << QSize(600, 300);
    QTest::newRow("FormAbnormal") << true << QSize(450, 250);
    QTest::newRow("FormAbnormal resized") << true << QSize(500, 420);
}

void TestUpgradeDialogs::roundedOutline() {
    QFETCH(bool, abnormal);
    QFETCH(QSize, size);
    std::unique_ptr<QDialog> dialog;
    if (abnormal)
        dialog = std::make_unique<FormAbnormal>();
    else
        dialog = std::make_unique<FormUpgrade>();
    dialog->resize(size);
    dialog->show();
    QTRY_COMPARE(dialog->size(), size);
    const QRegion outline = dialog->mask();
    QVERIFY(!outline.isEmpty());
    const int w = size.width();
    const int h = size.height();
    for (const QPoint &corner :
         {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
        QVERIFY2(!outline.contains(corner),
                 qPrintable(QStringLiteral("%1,%2").arg(corner.x()).arg(corner.y())));
    for (const QPoint &inside : {QPoint(w / 2, 0), QPoint(0, h / 2), QPoint(w / 2, h / 2),
                                 QPoint(10, 10), QPoint(w - 11, h - 11)})
        QVERIFY(outline.contains(inside));
}

void TestUpgradeDialogs::abnormalDialogTexts() {
    FormAbnormal dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("FormAbnormal"));
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("labelPrompt"));
    QVERIFY(label);
    QCOMPARE(label->text(), QString::fromUtf8(kAbnormalPrompt));
    // Wraps rather than widening the dialog in a larger font.
    QVERIFY(label->wordWrap());
    // "&&" shows as one ampersand.
    QCOMPARE(button(dialog, "btnUpgrade")->text(), QStringLiteral("Upgrade && Reboot"));
}

void TestUpgradeDialogs::abnormalDialogCancelRejects() {
    FormAbnormal dialog;
    bool asked = false;
    dialog.setPackageFileChooser([&](QWidget *) {
        asked = true;
        return QString();
    });
    QCOMPARE(runWith(dialog, [](QWidget &shown) { clickButton(&shown, "btnCancel"); }),
             int(QDialog::Rejected));
    QVERIFY(!asked);
}

void TestUpgradeDialogs::abnormalDialogFocusIsOnUpgrade() {
    FormAbnormal dialog;
    QWidget *focused = nullptr;
    runWith(dialog, [&](QWidget &shown) {
        focused = shown.focusWidget();
        clickButton(&shown, "btnCancel");
    });
    QCOMPARE(focused, button(dialog, "btnUpgrade"));
}

void TestUpgradeDialogs::abnormalPackageChoice_data() {
    QTest::addColumn<QString>("package");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("unpacked");
    QTest::newRow("choice cancelled") << QString() << false << false;
    QTest::newRow("not a zip") << packages.notAZip << false << false;
    QTest::newRow("no kernel") << packages.noKernel << false << true;
    // The camera is stuck: no model to compare with, so any well-formed package will do.
    QTest::newRow("no model found") << packages.unknownModel << true << true;
    QTest::newRow("QX-M30-000") << packages.qx << true << true;
    QTest::newRow("ZENTA 320") << packages.zenta320 << true << true;
}

void TestUpgradeDialogs::abnormalPackageChoice() {
    QFETCH(QString, package);
    QFETCH(bool, accepted);
    QFETCH(bool, unpacked);
    QTemporaryDir appDir;
    // A leftover of an earlier package that none of the new ones brings: only a chosen package
    // cleans it away.
    QVERIFY(QDir(appDir.path()).mkpath(QStringLiteral("scripts")));
    QFile leftover(appDir.filePath(QStringLiteral("scripts/earlier.es")));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    FormAbnormal dialog;
    dialog.setPackageDirectory(appDir.path());
    QWidget *chooserParent = nullptr;
    int asked = 0;
    dialog.setPackageFileChooser([&](QWidget *parent) {
        chooserParent = parent;
        ++asked;
        return package;
    });
    ShowCounter shows;
    MessageCapture messages;
    bool openAfterClick = false;
    const int result = runWith(dialog, [&](QWidget &shown) {
        clickButton(&shown, "btnUpgrade");
        openAfterClick = shown.isVisible();
        if (openAfterClick)
            clickButton(&shown, "btnCancel");
    });

    QCOMPARE(asked, 1);
    QCOMPARE(chooserParent, &dialog);
    QCOMPARE(result, int(accepted ? QDialog::Accepted : QDialog::Rejected));
    // Refused packages leave the dialog open, without a message.
    QCOMPARE(openAfterClick, !accepted);
    QCOMPARE(shows.shown(QStringLiteral("FormCustomizeMessagebox")), 0);
    QVERIFY(messages.contains(QStringLiteral("app dir: ") + appDir.path()));
    QCOMPARE(messages.contains(QStringLiteral("upgrade file:")), !package.isEmpty());
    QCOMPARE(QFile::exists(leftover.fileName()), package.isEmpty());
    QCOMPARE(QFile::exists(appDir.filePath(QStringLiteral("auto_update.txt"))), unpacked);
}

void TestUpgradeDialogs::abnormalDialogAsksWithTheFileDialog() {
    QTemporaryDir appDir;
    FormAbnormal dialog;
    dialog.setPackageDirectory(appDir.path());
    QString title;
    QStringList filters;
    QWidget *fileDialogParent = nullptr;
    DialogDriver driver;
    driver
        .then(QStringLiteral("FormAbnormal"),
              [](QWidget &shown) {
                  // Runs the file dialog; the next step answers it from inside.
                  QTimer::singleShot(0, &shown, [&shown] { clickButton(&shown, "btnUpgrade"); });
              })
        .then(QStringLiteral("QFileDialog"), [&](QWidget &shown) {
            auto &files = static_cast<QFileDialog &>(shown);
            title = files.windowTitle();
            filters = files.nameFilters();
            fileDialogParent = files.parentWidget();
            files.reject();
        });
    driver.start();
    TranslationRecorder recorder;
    QCoreApplication::installTranslator(&recorder);
    DialogDriver closer;
    closer.then(
        QStringLiteral("FormAbnormal"), [](QWidget &shown) { clickButton(&shown, "btnCancel"); },
        [&driver] { return driver.finished(); });
    closer.start();
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCoreApplication::removeTranslator(&recorder);
    QVERIFY(driver.finished());
    QCOMPARE(title, QStringLiteral("Open File"));
    QCOMPARE(filters, QStringList{QStringLiteral("Upgrade File(*.zip)")});
    QCOMPARE(fileDialogParent, &dialog);
    QVERIFY(recorder.asked(QStringLiteral("FormAbnormal"), QStringLiteral("Open File")));
    QVERIFY(recorder.asked(QStringLiteral("FormAbnormal"), QStringLiteral("Upgrade File(*.zip)")));
}

void TestUpgradeDialogs::packageSequenceOutcomes_data() {
    QTest::addColumn<QString>("package");
    QTest::addColumn<PackageSequenceOutcome>("outcome");
    QTest::addColumn<int>("model");
    QTest::newRow("cancelled") << QString() << PackageSequenceOutcome::Cancelled << -1;
    QTest::newRow("not a zip") << packages.notAZip << PackageSequenceOutcome::BadLayout << -1;
    QTest::newRow("no kernel") << packages.noKernel << PackageSequenceOutcome::BadLayout << -1;
    QTest::newRow("no model") << packages.unknownModel << PackageSequenceOutcome::UnknownModel
                              << -1;
    QTest::newRow("QX-M30-000") << packages.qx << PackageSequenceOutcome::Ready << 0;
    QTest::newRow("ZENTA 320") << packages.zenta320 << PackageSequenceOutcome::Ready << 2;
}

void TestUpgradeDialogs::packageSequenceOutcomes() {
    QFETCH(QString, package);
    QFETCH(PackageSequenceOutcome, outcome);
    QFETCH(int, model);
    QTemporaryDir appDir;
    MessageCapture messages;
    QWidget parent;
    QWidget *asked = nullptr;
    int found = -1;
    const PackageSequenceOutcome got = runPackageSequence(
        [&](QWidget *chooserParent) {
            asked = chooserParent;
            // The directory is named before the package is asked for.
            if (!messages.contains(QStringLiteral("app dir: ") + appDir.path()))
                return QStringLiteral("/nonexistent/order.zip");
            return package;
        },
        &parent, appDir.path(), found);
    QCOMPARE(asked, &parent);
    QCOMPARE(int(got), int(outcome));
    QCOMPARE(found, model);
    if (outcome == PackageSequenceOutcome::Ready)
        QVERIFY(messages.contains(QStringLiteral("firmware file model: %1").arg(model)));
    // Nothing is unpacked beside the test program.
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/auto_update.txt")));
}

QTEST_MAIN(TestUpgradeDialogs)
#include "tst_upgradedialogs.moc"
