#include "ui/mainwindow.h"

#include "buildconfig.h"
#include "common/deviceaccess.h"
#include "device/cameralist.h"
#include "device/captureinterfacefilter.h"
#include "device/catalogue.h"
#include "device/hotplugsource.h"
#include "ui/formcustomizemessagebox.h"
#include "ui/maskwidget.h"
#include "ui_mainwindow.h"
#include "upgrade/packagejob.h"
#include "upgrade/sleepinhibitor.h"

#include <QCloseEvent>
#include <QDebug>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QMovie>
#include <QResizeEvent>
#include <QScreen>
#include <QVBoxLayout>

#include <initializer_list>

namespace {
constexpr int kMinimumWindowWidth_px = 1010;
constexpr int kMinimumWindowHeight_px = 700;
// The preview surface is as wide as the window's frame minus the camera list and the Control
// column, at 16:9.
constexpr int kPreviewWidthReserve_px = 550;
constexpr int kCameraItemWidth_px = 150;
constexpr int kCameraItemHeight_px = 54;
constexpr int kDirectionRepeatDelay_ms = 10;
constexpr int kDirectionRepeatInterval_ms = 10;
constexpr int kZoomStep_percent = 10;
constexpr int kLoadingMovieSpeed_percent = 250;
constexpr int kOverlayIcon_px = 60;
constexpr int kLoadingIcon_px = 50;
constexpr int kStateDisconnected = 1;

const char kPreviewHint[] = QT_TRANSLATE_NOOP(
    "MainWindow",
    "<h6 style=text-align:center><font color = gray>Click the icon to start preview.</font></h6> "
    "<h6 style=text-align:center><font color = orange>Other apps can\u2019t access the camera "
    "while you preview it on this app.</font></h6>");
const char kExitRefusal[] =
    QT_TRANSLATE_NOOP("MainWindow", "Cannot exit during the upgrade process!");

void fillComboBox(QComboBox *box, const OptionTable &options) {
    box->clear();
    for (const OptionPair &option : options)
        box->addItem(QIcon(), option.label, QVariant(static_cast<int>(option.value)));
}
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>()) {
    ui->setupUi(this);
    setMinimumSize(kMinimumWindowWidth_px, kMinimumWindowHeight_px);
    initWidgets();
    initProfileSection();
    setUpNavigation();
    setUpKeyboardAndNames();
    UpgradeFlowHost &host = *this; // a private base: reachable here, not in make_unique
    upgradeFlow = std::make_unique<UpgradeFlow>(host, this, ui->progressBarUpdate, ui->btnUpgrade);

    MaskWidget *mask = MaskWidget::instance();
    mask->setMainWidget(window());
    mask->setDialogNames({QStringLiteral("FormCustomizeMessagebox"), QStringLiteral("FormAbnormal"),
                          QStringLiteral("FormUpgrade"), QStringLiteral("FormProfileName")});

    loadSettings();
    // Reported from any thread (the watcher searches the SCSI devices), and already while the
    // first list is made: told once the window runs.
    connect(&DeviceAccessNotices::instance(), &DeviceAccessNotices::accessDenied, this,
            &MainWindow::slotOnDeviceAccessDenied, Qt::QueuedConnection);
    connect(this, &MainWindow::onCameraPlugged, this, &MainWindow::slotOnCameraPlugged);
    registerDeviceNotifications();
    connect(this, &MainWindow::onCameraState, this, &MainWindow::slotOnCameraState);
    connect(ui->listWidgetCamera, &QListWidget::itemClicked, this,
            &MainWindow::slotOnSingleClickedCameraItem);
    refreshCameraList();
    upgradeFlow->startWatcher(vendorIndex);

    // With several screens a saved place may lie on a screen that is gone: keep the defaults.
    if (screenCount() == 1) {
        // A zero value counts as missing, a window flush with the left edge included.
        const bool saved =
            windowLeft != 0 && windowTop != 0 && windowWidth != 0 && windowHeight != 0;
        if (saved && savedPlaceIsReachable()) {
            qDebug() << "Set the last display position of the window.";
            resize(windowWidth, windowHeight);
            move(windowLeft, windowTop);
        } else {
            if (saved)
                qDebug() << "The saved window position lies off the screen.";
            qDebug() << "Set the default display position of the window.";
        }
        applyTheme(styleIndex);
        darkModeToggle = styleIndex != 0;
    }
}

MainWindow::~MainWindow() {
    // Nothing may call back into the window while it is taken apart.
    hotplugSource.reset();
    // Ends the watcher, and waits for an upgrade worker that still uses the extension unit.
    upgradeFlow.reset();
    stopPreviewWorker();
    previewRunning = false;
    ui->pageNavPicture->showCamera(nullptr);
    cameraSession.close();
}

void MainWindow::initWidgets() {
    // Section titles and the preview labels report their mouse events here.
    for (QObject *watched : std::initializer_list<QObject *>{
             ui->labelDevInfo, ui->labelDevUpdate, ui->labelDevSupport, ui->labelDevDesktopVer,
             ui->labPreview, ui->labelCamera, ui->labelStop})
        watched->installEventFilter(this);

    // Toggle buttons.
    ui->btnModeDark->setCheckable(true);
    ui->btnModeLight->setCheckable(true);
    ui->btnHDR->setCheckable(true);

    // The first item of each box moves its index from -1 to 0 and reaches its handler, which
    // does nothing while no camera is open.
    fillComboBox(ui->comboBoxAntiFlicker, AntiFlickerOptions);
    fillComboBox(ui->comboBoxMic, SwitchOptions);
    fillComboBox(ui->comboBoxTrackMode, TrackingModeOptions);
    ui->comboBoxTrackMode->setCurrentIndex(0);
    fillComboBox(ui->comboBoxTrackEffect, TrackingEffectOptions);
    fillComboBox(ui->comboBoxTrackSpeend, TrackingSpeedOptions);

    // Held direction buttons repeat.
    for (QPushButton *arrow :
         {ui->btnCameraUp, ui->btnCameraDown, ui->btnCameraLeft, ui->btnCameraRight}) {
        arrow->setAutoRepeat(true);
        arrow->setAutoRepeatDelay(kDirectionRepeatDelay_ms);
        arrow->setAutoRepeatInterval(kDirectionRepeatInterval_ms);
    }

    // The zoom slider and its label.
    ui->labelZoomValue->setText(QStringLiteral("%1%").arg(kZoomMinimum_percent));
    ui->sliderZoom->setMinimum(kZoomMinimum_percent);
    ui->sliderZoom->setMaximum(kZoomMaximum_percent);
    ui->sliderZoom->setSingleStep(kZoomStep_percent);
    connect(ui->sliderZoom, &QSlider::valueChanged, this, &MainWindow::slotOnSetZoomValue);

    // The Support page's sections fold open and closed.
    for (QPushButton *extend : {ui->btnDevInfoExtend, ui->btnDevUpdateExtend,
                                ui->btnDevSupportExtend, ui->btnDevDesktopVerExtend})
        extend->setCheckable(true);

    // Shown only while an upgrade runs.
    ui->progressBarUpdate->setMinimum(0);
    ui->progressBarUpdate->setMaximum(100);
    ui->progressBarUpdate->setValue(0);
    ui->progressBarUpdate->hide();

    // The Support page's links open in the browser.
    ui->labelHyperlinksQuickStartGuide->setOpenExternalLinks(true);
    ui->labelHyperlinksUserGuide->setOpenExternalLinks(true);
    ui->labelHyperlinksContactSupport->setOpenExternalLinks(true);

    // This program's version.
    ui->labelAppVer->setText(QStringLiteral("V%1.%2.%3")
                                 .arg(buildconfig::kVersionMajor)
                                 .arg(buildconfig::kVersionMinor)
                                 .arg(buildconfig::kVersionPatch));

    // Camera names are cut, never scrolled sideways.
    ui->listWidgetCamera->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // The loading animation and the camera and stop icons sit on the preview surface.
    ui->labelCamera->setParent(ui->labPreview);
    ui->labelStop->setParent(ui->labPreview);
    ui->labelloading->setParent(ui->labPreview);
    auto *overlay = new QVBoxLayout(ui->labPreview);
    overlay->addWidget(ui->labelloading, 0, Qt::AlignCenter);
    overlay->addWidget(ui->labelStop, 0, Qt::AlignCenter);
    overlay->addWidget(ui->labelCamera, 0, Qt::AlignCenter);
    ui->labelloading->setFixedSize(kLoadingIcon_px, kLoadingIcon_px);
    ui->labelloading->setScaledContents(true);
    loadingMovieLight = new QMovie(QStringLiteral(":/qss/light/loading.gif"), QByteArray(), this);
    loadingMovieDark = new QMovie(QStringLiteral(":/qss/dark/loading.gif"), QByteArray(), this);
    ui->labelloading->setMovie(loadingMovieLight);
    loadingMovieLight->setSpeed(kLoadingMovieSpeed_percent);
    loadingMovieDark->setSpeed(kLoadingMovieSpeed_percent);
    const QString borderless = QStringLiteral("border:0px");
    ui->labelloading->setStyleSheet(borderless);
    ui->labelCamera->setStyleSheet(borderless);
    ui->labelStop->setStyleSheet(borderless);
    ui->labelCamera->setFixedSize(kOverlayIcon_px, kOverlayIcon_px);
    ui->labelStop->setFixedSize(kOverlayIcon_px, kOverlayIcon_px);
    previewHint = tr(kPreviewHint);
    ui->labPreview->setText(previewHint);
    ui->labPreview->setAlignment(Qt::AlignBottom);
    // Room for a longer translation: a hint that fits on its lines shows as without wrapping.
    ui->labPreview->setWordWrap(true);
    ui->labPreview->setAttribute(Qt::WA_Hover);

    // Every start begins in the light theme with the controls disabled.
    applyTheme(styleIndex);
    setControlsEnabled(false);

    // Never shown: the HDR row, the User Guide link and the second mode button.
    ui->btnModeDark->hide();
    ui->labelHyperlinksUserGuide->hide();
    ui->labelHDR_3->hide();
    ui->btnHDR->hide();
}

void MainWindow::setUpNavigation() {
    navButtons = {ui->btnNavControl, ui->btnNavPicture, ui->btnNavSupport};
    for (QToolButton *button : qAsConst(navButtons)) {
        button->setCheckable(true);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        connect(button, &QToolButton::clicked, this, &MainWindow::buttonClickedNavTop);
    }
    ui->btnNavControl->click();
}

void MainWindow::registerDeviceNotifications() {
    hotplugSource = createHotplugSource();
    connect(hotplugSource.get(), &HotplugSource::captureInterfaceChanged, this,
            &MainWindow::slotOnCaptureInterfaceChanged);
    if (!hotplugSource->start(static_cast<quintptr>(winId())))
        qWarning() << "register device event failt!";
}

void MainWindow::refreshCameraList() {
    const QVector<CameraDevice> devices = enumerateVideoInputs();
    if (!devices.isEmpty()) {
        fillCameraList(devices);
        ui->listWidgetCamera->setCurrentRow(0);
        if (QListWidgetItem *first = ui->listWidgetCamera->item(0))
            switchToCamera(first);
        slotStartPreview();
    } else if (!upgradeUnderWay()) {
        // During an upgrade the camera re-enumerates as a disk: an empty list changes nothing.
        cameraLost = true;
        controlsReady = false;
        setControlsEnabled(false);
    }
}

void MainWindow::fillCameraList(const QVector<CameraDevice> &devices) {
    for (const ListedCamera &listed : camerasOfVendor(devices, vendorId)) {
        auto *item = new QListWidgetItem(listed.displayName);
        item->setSizeHint(QSize(kCameraItemWidth_px, kCameraItemHeight_px));
        item->setData(Qt::UserRole, listed.device.index);
        item->setData(Qt::UserRole + 1, listed.device.friendlyName);
        item->setData(Qt::UserRole + 2, listed.device.deviceId);
        ui->listWidgetCamera->addItem(item);
    }
}

void MainWindow::slotOnSingleClickedCameraItem(QListWidgetItem *item) {
    // A click only switches; the preview is started from the preview area.
    if (item)
        switchToCamera(item);
}

void MainWindow::switchToCamera(QListWidgetItem *item) {
    bool indexValid = false;
    const int index = item->data(Qt::UserRole).toInt(&indexValid);
    const QString name = item->data(Qt::UserRole + 1).toString();
    const QString id = item->data(Qt::UserRole + 2).toString();
    if (!indexValid || index == -1 || name.isEmpty() || id.isEmpty())
        return;
    if (name == currentFriendlyName && id == currentDeviceId && controlsReady)
        return;

    currentFriendlyName = name;
    currentDeviceId = id;
    modelIndex = modelIndexByName(name);
    qInfo() << "current open camera model:" << modelIndex;
    closeCamera();
    if (openCamera(id, name)) {
        cameraLost = false;
        controlsReady = true;
        setControlsEnabled(true);
    }

    // Follows every open attempt, a failed one too.
    std::uint32_t deviceVendorId = 0;
    std::uint32_t deviceProductId = 0;
    parseVidPid(id, deviceVendorId, deviceProductId);
    applyModelRestrictions(modelIndexByIds(deviceVendorId, deviceProductId));
    applyProfileOnOpen();
}

bool MainWindow::openCamera(const QString &deviceId, const QString &friendlyName) {
    if (deviceId.isEmpty() || friendlyName.isEmpty())
        return false;
    const ControlResult opened = cameraSession.open(deviceId, friendlyName);
    dshowIndex = cameraSession.captureIndex();
    // Without its extension unit, which this system cannot reach, the camera still previews and
    // moves; the Control page leaves its own settings disabled.
    if (cameraSession.openWithoutExtensionUnit())
        qWarning() << "The camera opens without its own settings:" << opened.describe();
    else if (!opened)
        return false;
    emit onCameraState(cameraSession.isBound() ? 0 : kStateDisconnected, friendlyName);
    readCameraSettings();
    // The camera comes back from every restart with its default picture: read it anew.
    ui->pageNavPicture->showCamera(&cameraSession.pictureSettings());
    return true;
}

bool MainWindow::closeCamera() {
    if (videoWorker && videoThread.isRunning()) {
        qDebug() << "Thread video quit 111.";
        stopPreviewWorker();
        qDebug() << "Thread video quit 222.";
    }
    previewRunning = false;
    ui->pageNavPicture->showCamera(nullptr);
    cameraSession.close();
    controlsReady = false;
    setControlsEnabled(false);
    return true;
}

void MainWindow::slotOnCameraState(int state, const QString &name) {
    const QString label = optionLabelOfValue(ConnectionStateText, state);
    ui->labelState->setText(QStringLiteral("%1(%2)").arg(name, label));
    if (state == kStateDisconnected) {
        // The controls stay as they are: the close that follows disables them.
        ui->labelDevModel->clear();
        ui->labelDevVer->clear();
        cameraLost = true;
        controlsReady = false;
    }
}

void MainWindow::slotOnCaptureInterfaceChanged(bool arrival, const QString &interfaceName) {
    if (classifyCaptureInterfaceEvent(arrival, interfaceName) == CaptureInterfaceOutcome::Camera)
        emit onCameraPlugged(arrival, interfaceName.toLower());
}

void MainWindow::slotOnDeviceAccessDenied(const QString &node, const QString &advice) {
    Q_UNUSED(node)
    // The log has every refused node; one box is enough for the user to act on.
    if (accessProblemTold)
        return;
    accessProblemTold = true;
    showMessageBox(advice, false);
}

bool MainWindow::nativeEvent(const QByteArray &eventType, void *message, long *result) {
    Q_UNUSED(result)
    // Device-change broadcasts reach the window here on platforms that deliver them to windows;
    // the source reports them through captureInterfaceChanged. Nothing is consumed.
    if (hotplugSource)
        hotplugSource->handleNativeEvent(eventType, message);
    return false;
}

void MainWindow::slotOnCameraPlugged(bool plug, const QString &path) {
    // An empty id is contained in every path: a removal while no camera is current also lands
    // here and shows the empty name as disconnected.
    if (!plug && path.contains(currentDeviceId, Qt::CaseInsensitive)) {
        showIdlePreviewBorder();
        emit onCameraState(kStateDisconnected, currentFriendlyName);
        closeCamera();
        qDebug() << "plug out reset param";
        currentFriendlyName.clear();
        currentDeviceId.clear();
    }
    const int items = ui->listWidgetCamera->count();
    for (int i = 0; i < items; ++i)
        delete ui->listWidgetCamera->takeItem(0);
    refreshCameraList();
}

void MainWindow::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    const int width = qMax(0, frameGeometry().width() - kPreviewWidthReserve_px);
    const int height = width * 9 / 16;
    ui->labPreview->setFixedSize(width, height);
    previewSize = QSize(width, height);
    qDebug() << "window size change";
}

void MainWindow::closeEvent(QCloseEvent *event) {
    if (upgradeFlow->cancelUnpackingAndCloseLater()) {
        // Still unpacking a package, nothing sent to the camera yet: the unpacking stops, and the
        // upgrade button's handler closes the window once the sequence has ended.
        event->ignore();
        return;
    }
    if (upgradeFlow->isUpgrading()) {
        FormCustomizeMessagebox refusal(tr(kExitRefusal), 0, true, nullptr);
        runCentredDialog(refusal, true);
        event->ignore();
        return;
    }
    if (screenCount() == 1)
        saveSettings();
    closeCamera();
    event->accept();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress &&
        handleControlKey(watched, static_cast<QKeyEvent *>(event)))
        return true;
    const bool sectionTitle = watched == ui->labelDevInfo || watched == ui->labelDevSupport ||
                              watched == ui->labelDevUpdate || watched == ui->labelDevDesktopVer;
    const bool previewLabel =
        watched == ui->labPreview || watched == ui->labelStop || watched == ui->labelCamera;
    if (!sectionTitle && !previewLabel)
        return QMainWindow::eventFilter(watched, event);

    if (previewRunning && watched == ui->labPreview) {
        if (event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverMove)
            ui->labelStop->show();
        else if (event->type() == QEvent::HoverLeave)
            ui->labelStop->hide();
    }
    if (event->type() != QEvent::MouseButtonPress ||
        static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
        return false;

    if (watched == ui->labelDevInfo)
        ui->btnDevInfoExtend->click();
    else if (watched == ui->labelDevSupport)
        ui->btnDevSupportExtend->click();
    else if (watched == ui->labelDevUpdate)
        ui->btnDevUpdateExtend->click();
    else if (watched == ui->labelDevDesktopVer)
        ui->btnDevDesktopVerExtend->click();
    else if (watched == ui->labelStop)
        previewStopPressed();
    else if (watched == ui->labelCamera)
        previewStartPressed();
    return true;
}

void MainWindow::showMessageBox(const QString &text, bool autoClose) {
    runMessageBox(text, 0, autoClose);
}

int MainWindow::runMessageBox(const QString &text, int buttons, bool autoClose) {
    FormCustomizeMessagebox box(text, buttons, autoClose, nullptr);
    return runCentredDialog(box, true);
}

int MainWindow::runCentredDialog(QDialog &dialog, bool showModalAttribute) {
    // pos() is the frame's position, width() and height() the client size.
    const int x = pos().x() + (width() - dialog.width()) / 2;
    const int y = pos().y() + (height() - dialog.height()) / 2;
    dialog.move(x, y);
    if (showModalAttribute)
        dialog.setAttribute(Qt::WA_ShowModal);
    return dialog.exec();
}
