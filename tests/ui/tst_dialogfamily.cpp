#include "ui/formcustomizemessagebox.h"
#include "ui/maskwidget.h"
#include "ui/roundedcorners.h"

#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

namespace {
QString countdownText(int seconds) {
    return QStringLiteral("The window will close automatically after %1 seconds.").arg(seconds);
}

QLabel *countdownLabel(FormCustomizeMessagebox &box) {
    return box.findChild<QLabel *>(QStringLiteral("labelCountdown"));
}

QTimer *countdownTimer(FormCustomizeMessagebox &box) {
    return box.findChild<QTimer *>();
}
} // namespace

class TestDialogFamily : public QObject {
    Q_OBJECT

private slots:
    void messageBoxIsFramelessWithFocusOnOk();
    void buttonsShown_data();
    void buttonsShown();
    void htmlTextIsShownAsRichText();
    void countdownShowsFiveTwiceThenClosesAfterSixTicks();
    void countdownRunsOnASecondTimer();
    void withoutAutoCloseThereIsNoCountdown();
    void okDuringCountdownStopsTheTimer();
    void okAccepts();
    void cancelRejects();
    void roundedCornersFollowEverySize_data();
    void roundedCornersFollowEverySize();
    void roundedOutlineOfASmallWidget();
    void maskIsOneObjectWithItsLook();
    void maskShowsForNamedDialogsOnly_data();
    void maskShowsForNamedDialogsOnly();
    void maskFollowsTheMainWindow();
    void maskSurvivesTheMainWindow();
};

void TestDialogFamily::messageBoxIsFramelessWithFocusOnOk() {
    FormCustomizeMessagebox box(QStringLiteral("hello"), 1, false);
    // The mask recognises the box by its object name.
    QCOMPARE(box.objectName(), QStringLiteral("FormCustomizeMessagebox"));
    QCOMPARE(box.windowFlags() & ~Qt::Dialog, Qt::FramelessWindowHint);
    // Enter or Space presses OK.
    QCOMPARE(box.focusWidget(), box.findChild<QPushButton *>(QStringLiteral("btnOK")));
}

void TestDialogFamily::buttonsShown_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<bool>("cancelShown");
    QTest::newRow("0: OK only") << 0 << false;
    QTest::newRow("1: OK and Cancel") << 1 << true;
    QTest::newRow("2: OK only") << 2 << false;
    QTest::newRow("-1: OK only") << -1 << false;
}

void TestDialogFamily::buttonsShown() {
    QFETCH(int, buttons);
    QFETCH(bool, cancelShown);
    FormCustomizeMessagebox box(QStringLiteral("text"), buttons, false);
    box.show();
    auto *cancel = box.findChild<QPushButton *>(QStringLiteral("btnCancel"));
    auto *ok = box.findChild<QPushButton *>(QStringLiteral("btnOK"));
    QCOMPARE(cancel->isVisible(), cancelShown);
    QVERIFY(ok->isVisible());
    if (cancelShown)
        QVERIFY(cancel->geometry().right() < ok->geometry().left());
}

void TestDialogFamily::htmlTextIsShownAsRichText() {
    FormCustomizeMessagebox box(
        QStringLiteral("<h3>Restore Defaults</h3>\r\nTo complete this process, your device may "
                       "take a few seconds to restart."),
        1, false);
    const QString shown =
        box.findChild<QTextEdit *>(QStringLiteral("textEditPrompt"))->toPlainText();
    QVERIFY2(!shown.contains(QLatin1String("<h3>")), qPrintable(shown));
    QVERIFY(shown.startsWith(QLatin1String("Restore Defaults")));
    QVERIFY(shown.contains(QLatin1String("may take a few seconds to restart.")));
}

void TestDialogFamily::countdownShowsFiveTwiceThenClosesAfterSixTicks() {
    FormCustomizeMessagebox box(QStringLiteral("done"), 0, true);
    QSignalSpy accepted(&box, &QDialog::accepted);
    box.open();
    QVERIFY(countdownLabel(box)->isVisible());
    QCOMPARE(countdownLabel(box)->text(), countdownText(5));

    const int shownAfterTick[] = {5, 4, 3, 2, 1};
    for (int expected : shownAfterTick) {
        box.slotOnTimeout();
        QCOMPARE(countdownLabel(box)->text(), countdownText(expected));
        QVERIFY2(box.isVisible(), "closed before the end of the countdown");
        QVERIFY(box.countdownActive());
        QCOMPARE(accepted.count(), 0);
    }
    box.slotOnTimeout();
    QCOMPARE(countdownLabel(box)->text(), countdownText(0));
    QVERIFY2(!box.isVisible(), "still open after the countdown");
    QCOMPARE(box.result(), int(QDialog::Accepted));
    QCOMPARE(accepted.count(), 1);
    QVERIFY(!box.countdownActive());
}

void TestDialogFamily::countdownRunsOnASecondTimer() {
    FormCustomizeMessagebox box(QStringLiteral("done"), 0, true);
    QTimer *timer = countdownTimer(box);
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(!timer->isSingleShot());
}

void TestDialogFamily::withoutAutoCloseThereIsNoCountdown() {
    FormCustomizeMessagebox box(QStringLiteral("plain"), 0, false);
    box.show();
    QVERIFY(!countdownLabel(box)->isVisible());
    QVERIFY(!box.countdownActive());
    QVERIFY(!countdownTimer(box));
}

void TestDialogFamily::okDuringCountdownStopsTheTimer() {
    FormCustomizeMessagebox box(QStringLiteral("done"), 0, true);
    QPointer<QTimer> timer = countdownTimer(box);
    int result = -1;
    QTimer::singleShot(0, &box, [&] {
        box.slotOnTimeout();
        QTest::mouseClick(box.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    result = box.exec();
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(!box.countdownActive());
    // Gone or at least stopped: no further tick can reach the closed box.
    const QTimer *left = timer.data();
    QVERIFY(!left || !left->isActive());
    QCOMPARE(countdownLabel(box)->text(), countdownText(5));
}

void TestDialogFamily::okAccepts() {
    FormCustomizeMessagebox box(QStringLiteral("q"), 1, false);
    QTimer::singleShot(0, &box, [&] { QTest::keyClick(&box, Qt::Key_Return); });
    QCOMPARE(box.exec(), int(QDialog::Accepted));
}

void TestDialogFamily::cancelRejects() {
    FormCustomizeMessagebox box(QStringLiteral("q"), 1, true);
    QTimer::singleShot(0, &box, [&] {
        QTest::mouseClick(box.findChild<QPushButton *>(QStringLiteral("btnCancel")),
                          Qt::LeftButton);
    });
    QCOMPARE(box.exec(), int(QDialog::Rejected));
    QVERIFY(!box.countdownActive());
    QVERIFY(!box.isVisible());
}

void TestDialogFamily::roundedCornersFollowEverySize_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("form size") << QSize(425, 183);
    QTest::newRow("upgrade dialog") << QSize(446, 263);
    QTest::newRow("larger") << QSize(600, 400);
}

void TestDialogFamily::roundedCornersFollowEverySize() {
    QFETCH(QSize, size);
    FormCustomizeMessagebox box(QStringLiteral("q"), 0, false);
    box.resize(size);
    box.show();
    QCOMPARE(box.size(), size);
    const QRegion mask = box.mask();
    const int right = size.width() - 1;
    const int bottom = size.height() - 1;
    QCOMPARE(mask.boundingRect(), QRect(QPoint(0, 0), size));
    for (const QPoint &corner : {QPoint(0, 0), QPoint(1, 1), QPoint(right, 0), QPoint(0, bottom),
                                 QPoint(right, bottom), QPoint(right - 1, bottom - 1)})
        QVERIFY2(!mask.contains(corner),
                 qPrintable(QStringLiteral("%1,%2 kept").arg(corner.x()).arg(corner.y())));
    for (const QPoint &inside :
         {QPoint(size.width() / 2, size.height() / 2), QPoint(size.width() / 2, 0),
          QPoint(0, size.height() / 2), QPoint(5, 5), QPoint(right - 5, bottom - 5)})
        QVERIFY2(mask.contains(inside),
                 qPrintable(QStringLiteral("%1,%2 cut").arg(inside.x()).arg(inside.y())));
}

void TestDialogFamily::roundedOutlineOfASmallWidget() {
    QWidget widget;
    widget.resize(40, 30);
    applyRoundedCornerMask(&widget);
    const QRegion mask = widget.mask();
    QCOMPARE(mask.boundingRect(), QRect(0, 0, 40, 30));
    QVERIFY(!mask.contains(QPoint(0, 0)));
    QVERIFY(!mask.contains(QPoint(39, 29)));
    QVERIFY(mask.contains(QPoint(20, 0)));
    QVERIFY(mask.contains(QPoint(20, 15)));
}

void TestDialogFamily::maskIsOneObjectWithItsLook() {
    MaskWidget *mask = MaskWidget::instance();
    QVERIFY(mask);
    QCOMPARE(MaskWidget::instance(), mask);
    QVERIFY(!mask->parentWidget());
    QVERIFY(qAbs(mask->windowOpacity() - 0.7) < 0.01);
    QVERIFY(mask->windowFlags().testFlag(Qt::Tool));
    QVERIFY(mask->windowFlags().testFlag(Qt::FramelessWindowHint));
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        QCOMPARE(mask->palette().brush(group, QPalette::Window).color(), QColor(0, 0, 0, 255));
        QCOMPARE(mask->palette().brush(group, QPalette::Window).style(), Qt::SolidPattern);
    }
    QVERIFY(!mask->isVisible());

    mask->setBgColor(QColor(10, 20, 30));
    mask->setOpacity(0.5);
    QCOMPARE(mask->palette().color(QPalette::Inactive, QPalette::Window), QColor(10, 20, 30));
    QVERIFY(qAbs(mask->windowOpacity() - 0.5) < 0.01);
    mask->setBgColor(Qt::black);
    mask->setOpacity(0.7);
}

void TestDialogFamily::maskShowsForNamedDialogsOnly_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("masked");
    QTest::newRow("message box") << "FormCustomizeMessagebox" << true;
    QTest::newRow("abnormal") << "FormAbnormal" << true;
    QTest::newRow("upgrade") << "FormUpgrade" << true;
    QTest::newRow("unnamed") << "" << false;
    QTest::newRow("other name") << "FormSomethingElse" << false;
    QTest::newRow("case differs") << "formupgrade" << false;
}

void TestDialogFamily::maskShowsForNamedDialogsOnly() {
    QFETCH(QString, name);
    QFETCH(bool, masked);
    QWidget main;
    main.setObjectName(QStringLiteral("MainWindow"));
    main.setGeometry(100, 80, 600, 400);
    main.show();
    MaskWidget *mask = MaskWidget::instance();
    mask->setMainWidget(&main);
    mask->setDialogNames({QStringLiteral("FormCustomizeMessagebox"), QStringLiteral("FormAbnormal"),
                          QStringLiteral("FormUpgrade")});

    QDialog dialog;
    dialog.setObjectName(name);
    dialog.show();
    QCOMPARE(mask->isVisible(), masked);
    dialog.hide();
    QVERIFY(!mask->isVisible());
    mask->setMainWidget(nullptr);
}

void TestDialogFamily::maskFollowsTheMainWindow() {
    QWidget main;
    main.setObjectName(QStringLiteral("MainWindow"));
    main.setGeometry(100, 80, 600, 400);
    main.show();
    MaskWidget *mask = MaskWidget::instance();
    mask->setMainWidget(&main);
    mask->setDialogNames({QStringLiteral("FormUpgrade")});

    QDialog dialog;
    dialog.setObjectName(QStringLiteral("FormUpgrade"));
    dialog.show();
    QCOMPARE(mask->geometry(), main.geometry());
    dialog.hide();

    main.setGeometry(250, 140, 700, 500);
    dialog.show();
    QVERIFY(mask->isVisible());
    QCOMPARE(mask->geometry(), main.geometry());
    dialog.hide();
    mask->setMainWidget(nullptr);
}

void TestDialogFamily::maskSurvivesTheMainWindow() {
    MaskWidget *mask = MaskWidget::instance();
    auto *main = new QWidget;
    main->setObjectName(QStringLiteral("MainWindow"));
    mask->setMainWidget(main);
    QCOMPARE(mask->coveredWidget(), main);
    delete main;
    QVERIFY(!mask->coveredWidget());

    // Activation of another window of that name and a later dialog reach no dead window.
    QWidget other;
    other.setObjectName(QStringLiteral("MainWindow"));
    other.show();
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&other, &activate);
    mask->setDialogNames({QStringLiteral("FormAbnormal")});
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("FormAbnormal"));
    dialog.show();
    QVERIFY(mask->isVisible());
    dialog.hide();
    QVERIFY(!mask->isVisible());
}

QTEST_MAIN(TestDialogFamily)
#include "tst_dialogfamily.moc"
