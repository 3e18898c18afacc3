// The one-time set-up that the window adds on top of its form: sizes, button behaviour, the
// option tables behind the combo boxes, the preview overlay and what starts hidden or disabled.
#include "mainwindowaccess.h"
#include "sim/simulatedbus.h"
#include "ui/mainwindow.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMovie>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

class TestMainWindowLayout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void windowSize();
    void checkableAndRepeatingButtons();
    void comboBoxesFilledFromTheTables_data();
    void comboBoxesFilledFromTheTables();
    void zoomSlider();
    void upgradeBarAndVersionAndList();
    void linksOpenExternally();
    void previewOverlay();
    void hiddenForTheWholeRun();
    void controlsStartDisabled();
    void slotsAreBoundByName();

private:
    std::unique_ptr<MainWindow> makeWindow();

    SimulatedBus bus;
};

void TestMainWindowLayout::initTestCase() {
    bus.install();
    QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/product.ini"));
}

void TestMainWindowLayout::cleanup() {
    QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/product.ini"));
}

std::unique_ptr<MainWindow> TestMainWindowLayout::makeWindow() {
    return std::make_unique<MainWindow>();
}

void TestMainWindowLayout::windowSize() {
    auto window = makeWindow();
    QCOMPARE(window->minimumSize(), QSize(1010, 700));
    // The form's 1103 x 691 raised to the minimum height.
    QCOMPARE(window->size(), QSize(1103, 700));
    QCOMPARE(window->windowTitle(), QStringLiteral("Kestrelon Zenta"));
    auto *stacked = window->findChild<QStackedWidget *>(QStringLiteral("stackedWidgetMain"));
    QCOMPARE(stacked->currentIndex(), 0);
}

void TestMainWindowLayout::checkableAndRepeatingButtons() {
    auto window = makeWindow();
    for (const char *name : {"btnModeDark", "btnModeLight", "btnHDR", "btnDevInfoExtend",
                             "btnDevUpdateExtend", "btnDevSupportExtend", "btnDevDesktopVerExtend"})
        QVERIFY2(window->findChild<QAbstractButton *>(QString::fromLatin1(name))->isCheckable(),
                 name);
    for (const char *name : {"btnDevInfoExtend", "btnDevUpdateExtend", "btnDevSupportExtend",
                             "btnDevDesktopVerExtend"})
        QVERIFY2(!window->findChild<QAbstractButton *>(QString::fromLatin1(name))->isChecked(),
                 name);
    for (const char *name : {"btnNavControl", "btnNavSupport"}) {
        auto *nav = window->findChild<QToolButton *>(QString::fromLatin1(name));
        QVERIFY(nav->isCheckable());
        QCOMPARE(nav->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    }
    QVERIFY(window->findChild<QToolButton *>(QStringLiteral("btnNavControl"))->isChecked());
    QVERIFY(!window->findChild<QToolButton *>(QStringLiteral("btnNavSupport"))->isChecked());
    for (const char *name : {"btnCameraUp", "btnCameraDown", "btnCameraLeft", "btnCameraRight"}) {
        auto *arrow = window->findChild<QPushButton *>(QString::fromLatin1(name));
        QVERIFY2(arrow->autoRepeat(), name);
        QCOMPARE(arrow->autoRepeatDelay(), 10);
        QCOMPARE(arrow->autoRepeatInterval(), 10);
        QVERIFY(!arrow->isCheckable());
    }
}

void TestMainWindowLayout::comboBoxesFilledFromTheTables_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("anti-flicker") << "comboBoxAntiFlicker" << QStringList{"Off", "50Hz", "60Hz"}
                                  << QList<int>{0, 1, 2};
    QTest::newRow("mic") << "comboBoxMic" << QStringList{"Enable", "Disable"} << QList<int>{1, 0};
    QTest::newRow("tracking mode")
        << "comboBoxTrackMode" << QStringList{"Auto Framing", "Presenter Tracking", "Off"}
        << QList<int>{1, 3, 0};
    QTest::newRow("tracking effect")
        << "comboBoxTrackEffect" << QStringList{"Smooth", "Immediate"} << QList<int>{1, 0};
    QTest::newRow("tracking speed")
        << "comboBoxTrackSpeend" << QStringList{"Slow", "Normal", "Fast"} << QList<int>{0, 1, 2};
}

void TestMainWindowLayout::comboBoxesFilledFromTheTables() {
    QFETCH(QString, box);
    QFETCH(QStringList, labels);
    QFETCH(QList<int>, values);
    auto window = makeWindow();
    auto *combo = window->findChild<QComboBox *>(box);
    QVERIFY(combo);
    QCOMPARE(combo->count(), labels.size());
    for (int i = 0; i < combo->count(); ++i) {
        QCOMPARE(combo->itemText(i), labels.at(i));
        const QVariant data = combo->itemData(i);
        QCOMPARE(data.userType(), int(QMetaType::Int));
        QCOMPARE(data.toInt(), values.at(i));
        QVERIFY(combo->itemIcon(i).isNull());
    }
    QCOMPARE(combo->currentIndex(), 0);
}

void TestMainWindowLayout::zoomSlider() {
    auto window = makeWindow();
    auto *slider = window->findChild<QSlider *>(QStringLiteral("sliderZoom"));
    QCOMPARE(slider->minimum(), 100);
    QCOMPARE(slider->maximum(), 800);
    QCOMPARE(slider->singleStep(), 10);
    QCOMPARE(slider->value(), 100);
    auto *label = window->findChild<QLabel *>(QStringLiteral("labelZoomValue"));
    QCOMPARE(label->text(), QStringLiteral("100%"));
    // The slider reaches its slot: a new value shows in the label.
    slider->setEnabled(true);
    slider->setValue(250);
    QCOMPARE(label->text(), QStringLiteral("250%"));
}

void TestMainWindowLayout::upgradeBarAndVersionAndList() {
    auto window = makeWindow();
    auto *bar = window->findChild<QProgressBar *>(QStringLiteral("progressBarUpdate"));
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 0);
    QVERIFY(bar->isHidden());
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("labelAppVer"))->text(),
             QStringLiteral("V1.1.7"));
    QCOMPARE(window->findChild<QListWidget *>(QStringLiteral("listWidgetCamera"))
                 ->horizontalScrollBarPolicy(),
             Qt::ScrollBarAlwaysOff);
}

void TestMainWindowLayout::linksOpenExternally() {
    auto window = makeWindow();
    for (const char *name : {"labelHyperlinksQuickStartGuide", "labelHyperlinksUserGuide",
                             "labelHyperlinksContactSupport"})
        QVERIFY2(window->findChild<QLabel *>(QString::fromLatin1(name))->openExternalLinks(), name);
}

void TestMainWindowLayout::previewOverlay() {
    auto window = makeWindow();
    auto *preview = window->findChild<QLabel *>(QStringLiteral("labPreview"));
    auto *loading = window->findChild<QLabel *>(QStringLiteral("labelloading"));
    auto *stop = window->findChild<QLabel *>(QStringLiteral("labelStop"));
    auto *camera = window->findChild<QLabel *>(QStringLiteral("labelCamera"));
    auto *overlay = qobject_cast<QVBoxLayout *>(preview->layout());
    QVERIFY(overlay);
    QVERIFY(overlay->objectName().isEmpty());
    QCOMPARE(overlay->count(), 3);
    QCOMPARE(overlay->itemAt(0)->widget(), loading);
    QCOMPARE(overlay->itemAt(1)->widget(), stop);
    QCOMPARE(overlay->itemAt(2)->widget(), camera);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(overlay->itemAt(i)->alignment(), Qt::AlignCenter);

    QCOMPARE(loading->minimumSize(), QSize(50, 50));
    QCOMPARE(loading->maximumSize(), QSize(50, 50));
    QVERIFY(loading->hasScaledContents());
    for (QLabel *icon : {stop, camera}) {
        QCOMPARE(icon->minimumSize(), QSize(60, 60));
        QCOMPARE(icon->maximumSize(), QSize(60, 60));
    }
    for (QLabel *label : {loading, stop, camera})
        QCOMPARE(label->styleSheet(), QStringLiteral("border:0px"));

    // Light theme at start: the light animation, both made at speed 250.
    QMovie *movie = loading->movie();
    QVERIFY(movie);
    QCOMPARE(movie->fileName(), QStringLiteral(":/qss/light/loading.gif"));
    QCOMPARE(movie->speed(), 250);
    const QList<QMovie *> movies = window->findChildren<QMovie *>();
    QCOMPARE(movies.size(), 2);
    QStringList files;
    for (QMovie *each : movies) {
        QCOMPARE(each->speed(), 250);
        QVERIFY(each->isValid());
        files << each->fileName();
    }
    files.sort();
    QCOMPARE(files, (QStringList{QStringLiteral(":/qss/dark/loading.gif"),
                                 QStringLiteral(":/qss/light/loading.gif")}));

    MainWindowTestAccess access(*window);
    const QString hint = QString::fromUtf8(
        "<h6 style=text-align:center><font color = gray>Click the icon to start "
        "preview.</font></h6> <h6 style=text-align:center><font color = orange>Other apps "
        "can\xe2\x80\x99t access the camera while you preview it on this app.</font></h6>");
    QCOMPARE(access.previewHint(), hint);
    QCOMPARE(preview->text(), hint);
    QCOMPARE(preview->alignment(), Qt::AlignBottom);
    QVERIFY(preview->testAttribute(Qt::WA_Hover));
}

void TestMainWindowLayout::hiddenForTheWholeRun() {
    auto window = makeWindow();
    window->show();
    for (const char *name : {"btnModeDark", "labelHyperlinksUserGuide", "labelHDR_3", "btnHDR"}) {
        auto *widget = window->findChild<QWidget *>(QString::fromLatin1(name));
        QVERIFY2(widget->isHidden(), name);
    }
    QVERIFY(window->findChild<QWidget *>(QStringLiteral("btnModeLight"))->isVisible());
}

void TestMainWindowLayout::controlsStartDisabled() {
    auto window = makeWindow();
    for (const char *name :
         {"comboBoxAntiFlicker", "comboBoxMic", "btnHDR", "btnRestoreDefaults",
          "comboBoxTrackEffect", "comboBoxTrackMode", "comboBoxTrackSpeend", "btnUpgrade",
          "sliderZoom", "btnCameraUp", "btnCameraDown", "btnCameraLeft", "btnCameraRight"})
        QVERIFY2(!window->findChild<QWidget *>(QString::fromLatin1(name))->isEnabled(), name);
    window->show();
    QVERIFY(window->findChild<QWidget *>(QStringLiteral("labelCamera"))->isVisible());
    QVERIFY(!window->findChild<QWidget *>(QStringLiteral("labelStop"))->isVisible());
    QVERIFY(!window->findChild<QWidget *>(QStringLiteral("labelloading"))->isVisible());
}

void TestMainWindowLayout::slotsAreBoundByName() {
    auto window = makeWindow();
    window->show();
    auto *content = window->findChild<QWidget *>(QStringLiteral("widgetDevSupport"));
    auto *extend = window->findChild<QPushButton *>(QStringLiteral("btnDevSupportExtend"));
    QVERIFY(!content->isHidden());
    extend->click();
    QVERIFY(content->isHidden());
    extend->click();
    QVERIFY(!content->isHidden());
}

QTEST_MAIN(TestMainWindowLayout)
#include "tst_mainwindowlayout.moc"
