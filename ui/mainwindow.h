// The application's only window and its controller: the camera list that follows plugging and
// unplugging, the current camera over its two channels (standard camera controls and the vendor
// extension unit), the Control, Picture and Support pages, the preview area, the themes and the
// firmware upgrade.
//
// The window's features live in one source file each:
//   mainwindow.cpp              construction, camera list and hot-plug, open/close, events, dialogs
//   mainwindow_controlpage.cpp  the Control page and the settings read after an open
//   mainwindow_preview.cpp      the preview area and its worker
//   mainwindow_support.cpp      navigation and the Support page
//   picturepage.cpp             the Picture page (a widget of its own)
//   mainwindow_appearance.cpp   themes and the saved window geometry
//   mainwindow_upgrade.cpp      the firmware upgrade's slots and the window's answers to its flow
//   mainwindow_handover.cpp     an upgrade handed over to an elevated instance, and carried on
//   upgradeflow.cpp             the firmware upgrade and the abnormal-state watcher (an object)
//   mainwindow_keyboard.cpp     accessible names, tab order and the keys of pad, zoom and preview
//   mainwindow_profiles.cpp     the profiles of the Control page and the connect profile
#pragma once

#include "common/workerthread.h"
#include "control/camerasession.h"
#include "device/dshowcamerawrapper.h"
#include "ui/upgradeflow.h"
#include "upgrade/elevation.h"

#include <QList>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

namespace Ui {
class MainWindow;
}
struct ApplyOutcome;
class QCheckBox;
class QLabel;
class QComboBox;
class QPushButton;
class HotplugSource;
class QDialog;
class QKeyEvent;
class QListWidgetItem;
class QMovie;
class QThread;
class QTimer;
class QToolButton;
class VideoStreamThread;

class MainWindow : public QMainWindow, private UpgradeFlowHost {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Runs a message box with OK only, centred over the window; returns once it has closed.
    void showMessageBox(const QString &text, bool autoClose);
    // Runs a FormCustomizeMessagebox (buttons: 1 OK and Cancel, otherwise OK only) centred over
    // the window; returns its result (QDialog::Accepted or QDialog::Rejected).
    int runMessageBox(const QString &text, int buttons, bool autoClose);
    // Runs a dialog of the window's family: moved so that it is centred over the window, made
    // modal, executed. Returns the dialog's result.
    int runCentredDialog(QDialog &dialog, bool showModalAttribute);

    // Carries on an upgrade or a recovery that an instance without administrator rights handed
    // over to this one (started elevated with the hand-over's arguments).
    void carryOnHandOver(const HandOver &handOver);

    // Counts the screens of the desktop; null restores the desktop's own count. Saved geometry
    // and theme are used only on a single screen; tests stand in for other desktops with this.
    using ScreenCounter = int (*)();
    static void setScreenCounter(ScreenCounter counter);
    // The application font family is a Windows font: elsewhere a free family narrow enough for
    // the captions' columns stands in for it. Run once at start-up, before the font is set.
    static void installFontSubstitutes();

signals:
    void onCameraPlugged(bool plug, const QString &path);
    void onCameraState(int state, const QString &name);

public slots:
    // Camera list and state (controller).
    void slotOnSingleClickedCameraItem(QListWidgetItem *item);
    void slotOnCameraState(int state, const QString &name);
    void slotOnCameraPlugged(bool plug, const QString &path);

    // Navigation and the Support page.
    void buttonClickedNavTop();
    void on_btnDevInfoExtend_clicked();
    void on_btnDevUpdateExtend_clicked();
    void on_btnDevSupportExtend_clicked();
    void on_btnDevDesktopVerExtend_clicked();

    // Control page.
    void on_comboBoxTrackMode_currentIndexChanged(int index);
    void on_comboBoxTrackEffect_currentIndexChanged(int index);
    void on_comboBoxTrackSpeend_currentIndexChanged(int index);
    void on_comboBoxAntiFlicker_currentIndexChanged(int index);
    void on_comboBoxMic_currentIndexChanged(int index);
    void on_btnHDR_clicked();
    void on_btnRestoreDefaults_clicked();
    void on_btnCameraUp_clicked();
    void on_btnCameraDown_clicked();
    void on_btnCameraLeft_clicked();
    void on_btnCameraRight_clicked();
    void slotOnSetZoomValue(int value);
    void slotRemberYuntaiValue();

    // Preview.
    void slotStartPreview();
    void stopCameraPreView();
    void slotOnReader(QPixmap qpixmap);

    // Appearance.
    void changeStyle(const QString &qssFile);
    void on_btnModeLight_clicked();
    void on_btnModeDark_clicked();

    // Firmware upgrade and abnormal-state watcher.
    void on_btnUpgrade_clicked();
    void slotOnUpdateDummyTimeout();
    void slotOnUpgradeReport(bool ok, int progress, const QString &message);
    void slotOnDeviceAbnormal(int state);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;

private slots:
    // An arrival or removal reported by the hot-plug source.
    void slotOnCaptureInterfaceChanged(bool arrival, const QString &interfaceName);
    // A device node that this user may not open: the user is told once per run.
    void slotOnDeviceAccessDenied(const QString &node, const QString &advice);

private:
    friend class MainWindowTestAccess;

    // --- construction and controller (mainwindow.cpp)
    void initWidgets();
    void setUpNavigation();
    void registerDeviceNotifications();
    void refreshCameraList();
    void fillCameraList(const QVector<CameraDevice> &devices);
    void switchToCamera(QListWidgetItem *item);
    bool openCamera(const QString &deviceId, const QString &friendlyName);
    bool closeCamera();
    static int screenCount();

    // --- Control page (mainwindow_controlpage.cpp)
    // Writes one setting, tells the user when the camera did not take it, and logs the value the
    // camera reports back.
    void writeSetting(CameraSetting setting, int value);
    void readCameraSettings();
    void setControlsEnabled(bool enable);
    // Narrows the enabled controls to what the model offers (configured vendor 1 only).
    void applyModelRestrictions(int modelIndexFromIds);
    void restoreDefaultsConfirmed();

    // --- profiles (mainwindow_profiles.cpp)
    // The profile list, its buttons, Ctrl+1 .. Ctrl+9 and the connect choice, below the settings.
    void initProfileSection();
    void refreshProfileList();
    QString selectedProfileName() const;
    void saveProfileAs();
    void deleteSelectedProfile();
    void applyProfileNamed(const QString &name);
    // After every open: the profile a restart cut short, else the camera's connect profile.
    void applyProfileOnOpen();
    // Ticks the connect choice for the open camera and the selected profile.
    void updateConnectChoice();
    void connectChoiceToggled(bool checked);
    void showProfileResult(const QString &text);
    QString profileResultText(const QString &name, const ApplyOutcome &outcome) const;

    // --- preview (mainwindow_preview.cpp)
    // A left press on the stop icon / on the camera icon of the preview area.
    void previewStopPressed();
    void previewStartPressed();
    // Stops a running preview worker and waits for its thread; no-op without one.
    void stopPreviewWorker();
    // Tells a running worker the preview surface's size in device pixels.
    void handSurfaceToWorker();
    // The dashed border of the idle surface, in the current theme's colour.
    void showIdlePreviewBorder();
    QMovie *currentLoadingMovie() const;

    // --- Support page (mainwindow_support.cpp)
    void updateSupportLinks(const QString &color);
    static void toggleSection(bool &expanded, QWidget *content);

    // --- appearance (mainwindow_appearance.cpp)
    void applyTheme(int index);
    void loadSettings();
    // Whether the saved frame would open with enough of its top edge on the screen to be seen
    // and dragged.
    bool savedPlaceIsReachable() const;
    void saveSettings();

    // --- keyboard and screen readers (mainwindow_keyboard.cpp)
    void setUpKeyboardAndNames();
    // Arrow keys on the direction pad, + and - for the zoom, Space and Enter on the preview; true
    // when the key was used.
    bool handleControlKey(QObject *watched, QKeyEvent *event);

    // --- upgrade (mainwindow_upgrade.cpp, mainwindow_handover.cpp): what the flow asks
    // From the choice of a package to the final report.
    bool upgradeUnderWay() const;
    OpenCamera cameraForUpgrade() override;
    void reopenCamera() override;
    int runDialog(QDialog &dialog) override;
    void showMessage(const QString &text, bool autoClose) override;
    void showSupportPage() override;
    void closeWindow() override;
    void handOverForRights(HandOver::Kind kind, const QString &package) override;

    std::unique_ptr<Ui::MainWindow> ui;

    // Controller state.
    CameraSession cameraSession;
    std::unique_ptr<HotplugSource> hotplugSource;
    QString currentDeviceId;
    QString currentFriendlyName;
    bool controlsReady = false;
    bool cameraLost = false;
    int vendorIndex = 255;
    int vendorId = 0;
    int modelIndex = 255;
    int dshowIndex = -1;

    // Preview.
    VideoStreamThread *videoWorker = nullptr;
    WorkerThread videoThread;
    bool previewRunning = false;
    // Counts the preview workers started; tells a running worker's pictures from late ones.
    quint64 previewRunSerial = 0;
    QSize previewSize;
    QString previewHint;
    QMovie *loadingMovieLight = nullptr;
    QMovie *loadingMovieDark = nullptr;

    // Control page.
    int hdrState = 0;
    int antiFlickerState = 0;
    int micState = 0;
    int trackingModeState = 0;
    int trackingEffectState = 0;
    int trackingSpeedState = 0;
    QString firmwareVersion;
    bool accessProblemTold = false;

    // Profiles.
    QComboBox *comboBoxProfiles = nullptr;
    QPushButton *btnProfileSaveAs = nullptr;
    QPushButton *btnProfileApply = nullptr;
    QPushButton *btnProfileDelete = nullptr;
    QCheckBox *checkBoxConnectProfile = nullptr;
    QLabel *labelProfileResult = nullptr;
    QTimer *profileResultTimer = nullptr;
    // A profile whose microphone change restarted the camera: the rest is applied when that camera
    // is open again.
    QString profileAfterRestart;
    QString profileAfterRestartDeviceId;

    // Navigation and Support page.
    QList<QToolButton *> navButtons;
    bool devInfoExpanded = true;
    bool devUpdateExpanded = true;
    bool devSupportExpanded = true;
    bool devDesktopVerExpanded = true;

    // Appearance and saved geometry.
    int styleIndex = 0;
    bool darkModeToggle = false;
    int windowLeft = 0;
    int windowTop = 0;
    int windowWidth = 0;
    int windowHeight = 0;

    // The firmware upgrade and the watcher for a camera stuck in an updater stage.
    std::unique_ptr<UpgradeFlow> upgradeFlow;
};
