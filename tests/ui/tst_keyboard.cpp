// The window from the keyboard: the tab order of each page, the keys of the direction pad, the
// zoom and the preview on the simulated camera, and Escape on the dialogs.
#include "upgrade/formabnormal.h"
#include "upgrade/formupgrade.h"
#include "windowfixture.h"

#include <QSlider>

class TestKeyboard : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;

    // Tabs from the first control until the focus comes back to it: the controls on the way (a
    // label's link is a second stop in its label).
    QStringList tabRound(QWidget *first) {
        first->setFocus(Qt::TabFocusReason);
        QStringList visited;
        for (int tab = 0; tab < 40 && (tab == 0 || QApplication::focusWidget() != first); ++tab) {
            const QString name = QApplication::focusWidget()->objectName();
            if (visited.isEmpty() || visited.last() != name)
                visited << name;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        return visited;
    }
    QString position() const {
        const SimPosition at = f->camera->position();
        return QString("%1 %2 %3").arg(at.pan_deg).arg(at.tilt_deg).arg(at.zoom);
    }

private slots:
    void init() {
        f = std::make_unique<WindowFixture>();
        f->camera->setSettings({0, 1, 1, 1, 0, 1}); // tracking off: the pad shows
        f->open().show();
        QApplication::setActiveWindow(f->window.get());
        QVERIFY(QTest::qWaitForWindowActive(f->window.get()));
    }
    void cleanup() { f.reset(); }

    void tabOrder_data() {
        addColumns<QString, QStringList>({"page", "expected"});
        const QStringList top = {"btnModeLight", "btnNavControl", "btnNavSupport",
                                 "listWidgetCamera"};
        QTest::newRow("Control") << "btnNavControl"
                                 << top + QStringList{"labPreview",        "comboBoxAntiFlicker",
                                                      "comboBoxTrackMode", "widgetDirectionBg",
                                                      "sliderZoom",        "comboBoxMic",
                                                      "btnRestoreDefaults"};
        QTest::newRow("Support") << "btnNavSupport"
                                 << top + QStringList{"btnDevInfoExtend",
                                                      "btnDevUpdateExtend",
                                                      "btnUpgrade",
                                                      "btnDevSupportExtend",
                                                      "labelHyperlinksQuickStartGuide",
                                                      "labelHyperlinksContactSupport",
                                                      "btnDevDesktopVerExtend"};
    }
    void tabOrder() {
        QFETCH(QString, page);
        QFETCH(QStringList, expected);
        f->child<QAbstractButton>(page)->click();
        QCOMPARE(tabRound(f->child("btnModeLight")).join(" "), expected.join(" "));
    }

    void padZoomAndPreviewKeys() {
        QWidget *pad = f->child("widgetDirectionBg");
        QTest::keyClick(pad, Qt::Key_Up); // at 100 % the picture cannot move
        QTest::keyClick(pad, Qt::Key_Plus);
        QTest::keyClick(pad, Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(position(), QString("0 0 120"));
        for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Left, Qt::Key_Down, Qt::Key_Left})
            QTest::keyClick(pad, key);
        QCOMPARE(position(), QString("-2 1 120"));
        QTest::keyClick(pad, Qt::Key_Right, Qt::ControlModifier); // not the pad's key
        QTest::keyClick(f->child("sliderZoom"), Qt::Key_Minus);
        QCOMPARE(position(), QString("-2 1 110"));
        QCOMPARE(f->child<QLabel>("labelZoomValue")->text(), QString("110%"));

        QWidget *preview = f->child("labPreview");
        QTest::keyClick(preview, Qt::Key_Space);
        QTRY_VERIFY(f->access().previewWorkerRunning()); // after the loading animation
        QTest::keyClick(preview, Qt::Key_Return);
        QVERIFY(!f->access().previewWorkerRunning());
        QTest::keyClick(preview, Qt::Key_Minus);
        QCOMPARE(position(), QString("-2 1 100"));
    }

    void escapeCancels_data() {
        addColumns<QString, int>({"dialog", "expected"});
        QTest::newRow("message box, OK and Cancel") << "FormCustomizeMessagebox" << 0;
        QTest::newRow("message box, OK alone") << "ok-only" << 1;
        QTest::newRow("upgrade confirmation") << "FormUpgrade" << 0;
        QTest::newRow("stuck camera offer") << "FormAbnormal" << 0;
    }
    void escapeCancels() {
        QFETCH(QString, dialog);
        QFETCH(int, expected);
        qApp->removeEventFilter(&f->dialogs); // the keyboard answers here
        std::unique_ptr<QDialog> shown;
        if (dialog == "FormUpgrade")
            shown = std::make_unique<FormUpgrade>();
        else if (dialog == "FormAbnormal")
            shown = std::make_unique<FormAbnormal>();
        else
            shown = std::make_unique<FormCustomizeMessagebox>("text", dialog == "ok-only" ? 0 : 1,
                                                              true);
        // To the button that has the focus, as a key press goes.
        QTimer::singleShot(0, shown.get(),
                           [&] { QTest::keyClick(shown->focusWidget(), Qt::Key_Escape); });
        QCOMPARE(shown->exec(), expected);
        if (auto *box = qobject_cast<FormCustomizeMessagebox *>(shown.get()))
            QVERIFY(!box->countdownActive());
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
