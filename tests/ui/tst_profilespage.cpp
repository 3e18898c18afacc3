// The profiles of the Control page over a simulated camera: Ctrl+1 .. Ctrl+9 apply the saved
// profiles in the list's order, and a camera's connect profile is applied again after the camera
// restarted for a microphone change (it comes back at its home position).
#include "profile/profilestore.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QDir>
#include <QListWidget>

namespace {
void store(const QString &name, const QVector<QPair<QString, int>> &items) {
    Profile profile;
    profile.name = name;
    for (const auto &item : items)
        profile.set(*findProfileItem(item.first), item.second);
    ProfileError error;
    QVERIFY2(saveProfile(profile, error), qPrintable(error.message()));
}
} // namespace

class TestProfilesPage : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;

private slots:
    void init() {
        f = std::make_unique<WindowFixture>();
        QDir(profilesFolder()).removeRecursively();
        store("Bright room", {{"anti-flicker", 2}, {"zoom", 300}});
        store("Classroom", {{"anti-flicker", 0}, {"hdr", 1}});
    }
    void cleanup() { f.reset(); }

    void shortcutsApply_data() {
        addColumns<int, int, int, QString>({"key", "antiFlicker", "zoom", "shown"});
        QTest::newRow("Ctrl+1: the first")
            << 1 << 2 << 300 << "Bright room: changed anti-flicker, zoom.";
        QTest::newRow("Ctrl+2: the second")
            << 2 << 0 << 100 << "Classroom: changed anti-flicker, hdr.";
        QTest::newRow("Ctrl+3: none") << 3 << 1 << 100 << "";
    }
    void shortcutsApply() {
        QFETCH(int, key);
        QFETCH(int, antiFlicker);
        QFETCH(int, zoom);
        QFETCH(QString, shown);
        f->open();
        f->window->show();
        QVERIFY(QTest::qWaitForWindowActive(f->window.get()));
        QTest::keyClick(f->window.get(), static_cast<Qt::Key>(Qt::Key_0 + key),
                        Qt::ControlModifier);
        QCOMPARE(int(f->camera->settings().antiFlicker), antiFlicker);
        QCOMPARE(f->camera->position().zoom, zoom);
        QCOMPARE(f->child<QLabel>("labelProfileResult")->text(), shown);
        QCOMPARE(f->child<QComboBox>("comboBoxAntiFlicker")->currentData().toInt(), antiFlicker);
    }

    void connectProfileAfterRestart() {
        f->camera->restartDelay = Milliseconds(200);
        setConnectProfile(cameraIdentity(nameOf(*f->camera), idOf(*f->camera)), "Bright room");
        f->open();
        QCOMPARE(f->camera->position().zoom, 300);
        QVERIFY(f->child<QCheckBox>("checkBoxConnectProfile")->isChecked());

        // The microphone change restarts the camera, which forgets its position; the window opens
        // it again and moves it back. (A slow run may see the camera leave and come back in one
        // poll: the move after the restart is what counts.)
        f->camera->clearLogs();
        f->child<QComboBox>("comboBoxMic")->setCurrentIndex(1);
        QTRY_VERIFY(
            (f->bus.poll(), !f->camera->positionLog().empty() && f->access().controlsReady()));
        QCOMPARE(f->camera->settings().mic, 0);
        QCOMPARE(f->camera->position().zoom, 300);
    }
};

QTEST_MAIN(TestProfilesPage)
#include "tst_profilespage.moc"
