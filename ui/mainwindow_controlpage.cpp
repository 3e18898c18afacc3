// The Control page: the camera's settings, the direction pad and the zoom slider, and the
// settings read that fills the page when a camera is opened.
//
// Every write of a vendor setting is followed by a query of the same setting whose answer is only
// logged. A failed write shows one time-out message; nothing is rolled back and nothing retried.
#include "device/catalogue.h"
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QDialog>
#include <QTimer>

namespace {
constexpr int kPanTiltLimit_deg = 30;
constexpr int kCameraControlPan = 0;
constexpr int kCameraControlTilt = 1;
constexpr int kCameraControlZoom = 3;
constexpr int kModelZenta310 = 1;
constexpr int kModelZenta320 = 2;
constexpr int kTrackingOff = 0;
constexpr int kAutoFraming = 1;
constexpr int kPresenterTracking = 3;
constexpr int kEffectImmediate = 0;
constexpr int kEffectSmooth = 1;
// Tracking hands the position back to the user a moment after it was switched off.
constexpr int kRememberPositionDelay_ms = 100;
constexpr int kOkOnly = 0;
constexpr int kOkAndCancel = 1;

const char kRestartNotice[] =
    "To complete this process, your device may take a few seconds to restart.";
const char kRestoreConfirmation[] = "<h3>Restore Defaults</h3>\r\nTo complete this process, your "
                                    "device may take a few seconds to restart.";

QString zoomText(int zoom) {
    return QStringLiteral("%1%").arg(zoom);
}

// Selects the item carrying the value; no item (index -1) when none does.
void selectOption(QComboBox *box, const OptionTable &options, int value) {
    box->setCurrentIndex(optionIndexOfValue(options, value));
}

bool indexInTable(const OptionTable &options, int index) {
    return index >= 0 && index < options.size();
}

void setEffectRowVisible(Ui::MainWindow &form, bool visible) {
    form.label_16->setVisible(visible);
    form.comboBoxTrackEffect->setVisible(visible);
}

void setSpeedRowVisible(Ui::MainWindow &form, bool visible) {
    form.label_17->setVisible(visible);
    form.comboBoxTrackSpeend->setVisible(visible);
}

void setPadEnabled(Ui::MainWindow &form, bool enabled) {
    for (QPushButton *arrow :
         {form.btnCameraUp, form.btnCameraDown, form.btnCameraLeft, form.btnCameraRight})
        arrow->setEnabled(enabled);
}

// At a limit of the axis only the button towards it is disabled; the other keeps its state.
void updateAxisButtons(int position, QPushButton *towardsLower, QPushButton *towardsUpper) {
    if (position == -kPanTiltLimit_deg) {
        towardsLower->setEnabled(false);
    } else if (position == kPanTiltLimit_deg) {
        towardsUpper->setEnabled(false);
    } else {
        towardsLower->setEnabled(true);
        towardsUpper->setEnabled(true);
    }
}
} // namespace

void MainWindow::readCameraSettings() {
    // 1. Model.
    ui->labelDevModel->setText(currentFriendlyName);

    // 2. Firmware version; older firmware answers only the legacy query.
    QString version;
    if (extensionUnit.getFirmwareVersion(kQueryVersion, version) ||
        extensionUnit.getFirmwareVersion(kQueryVersionLegacy, version)) {
        firmwareVersion = version;
        ui->labelDevVer->setText(QStringLiteral("V%1").arg(firmwareVersion));
    } else {
        qWarning() << "Failed to get the camera version.";
    }

    // 3. HDR.
    int hdr = 0;
    if (extensionUnit.getHdr(hdr)) {
        hdrState = hdr;
        ui->btnHDR->setChecked(hdr != 0);
    }

    // 4. Anti-flicker. controlsReady is still false: selecting an item sends nothing.
    int flicker = 0;
    if (extensionUnit.getAntiFlicker(flicker)) {
        qDebug() << "flicker state: " << flicker;
        antiFlickerState = flicker;
        selectOption(ui->comboBoxAntiFlicker, AntiFlickerOptions, flicker);
    }

    // 5. Microphone.
    int mic = 0;
    if (extensionUnit.getMicEnabled(mic)) {
        qDebug() << "mute state: " << mic;
        micState = mic;
        selectOption(ui->comboBoxMic, SwitchOptions, mic);
    }

    // 6. Position. A refused read leaves each shared value as it was.
    cameraWrapper->getCameraControl(kCameraControlPan, g_pan);
    cameraWrapper->getCameraControl(kCameraControlTilt, g_tilt);
    cameraWrapper->getCameraControl(kCameraControlZoom, g_zoom);
    g_zoom = qBound(kZoomMinimum, g_zoom, kZoomMaximum);
    qDebug() << "param:"
             << "pan:" << g_pan << "tilt:" << g_tilt << "zoom:" << g_zoom;

    // 7. A slider that moves writes the zoom back to the camera at once (slotOnSetZoomValue).
    ui->sliderZoom->setValue(g_zoom);
    ui->labelZoomValue->setText(zoomText(g_zoom));

    // 8. Tracking mode and what it shows.
    int mode = 0;
    const bool modeRead = extensionUnit.getTrackingMode(mode);
    if (modeRead) {
        qDebug() << "tracking mode state: " << mode;
        trackingModeState = mode;
        const int index = optionIndexOfValue(TrackingModeOptions, mode);
        qDebug() << "tracking mode index: " << index;
        ui->comboBoxTrackMode->setCurrentIndex(index);
        if (mode != kTrackingOff) {
            qDebug() << "hide widgetoff";
            ui->widgetTrackOff->hide();
            setEffectRowVisible(*ui, true);
            setSpeedRowVisible(*ui, true);
        } else {
            qDebug() << "show widgetoff";
            ui->widgetTrackOff->show();
            QTimer::singleShot(kRememberPositionDelay_ms, this, &MainWindow::slotRemberYuntaiValue);
            setEffectRowVisible(*ui, false);
            setSpeedRowVisible(*ui, false);
        }
        if (mode == kPresenterTracking) {
            setEffectRowVisible(*ui, false);
            setSpeedRowVisible(*ui, false);
        }
    }
    if (!modeRead || mode != kAutoFraming)
        return;

    // 9. Effect and speed exist only for Auto Framing.
    int effect = 0;
    if (extensionUnit.getTrackingEffect(effect)) {
        qDebug() << "tracking effect state: " << effect;
        trackingEffectState = effect;
        selectOption(ui->comboBoxTrackEffect, TrackingEffectOptions, effect);
        if (effect == kEffectImmediate)
            setSpeedRowVisible(*ui, false);
    }

    // 10.
    int speed = 0;
    if (extensionUnit.getTrackingSpeed(speed)) {
        qDebug() << "tracking speend state: " << speed;
        trackingSpeedState = speed;
        selectOption(ui->comboBoxTrackSpeend, TrackingSpeedOptions, speed);
    }
}

void MainWindow::setControlsEnabled(bool enable) {
    ui->labelloading->hide();
    if (!previewRunning) {
        ui->labelCamera->show();
        ui->labelStop->hide();
    } else {
        ui->labelCamera->hide();
    }
    qDebug() << "set controls enable:" << static_cast<int>(enable);

    // The pad moves a zoomed picture only.
    setPadEnabled(*ui, enable && g_zoom > kZoomMinimum);

    ui->sliderZoom->setEnabled(enable);
    if (!enable) {
        g_zoom = kZoomMinimum;
        ui->sliderZoom->setValue(kZoomMinimum);
    }

    ui->comboBoxAntiFlicker->setEnabled(enable);
    ui->comboBoxMic->setEnabled(enable);
    ui->btnHDR->setEnabled(enable);
    ui->btnRestoreDefaults->setEnabled(enable);
    ui->comboBoxTrackEffect->setEnabled(enable);
    ui->comboBoxTrackMode->setEnabled(enable);
    ui->comboBoxTrackSpeend->setEnabled(enable);
    ui->btnUpgrade->setEnabled(enable);
}

void MainWindow::applyModelRestrictions(int modelIndexFromIds) {
    switch (modelIndexFromIds) {
    case kModelZenta310:
        // No framing, no position: the microphone, restore defaults and the upgrade only.
        setControlsEnabled(false);
        ui->comboBoxMic->setEnabled(true);
        ui->btnRestoreDefaults->setEnabled(true);
        ui->btnUpgrade->setEnabled(true);
        break;
    case kModelZenta320:
        ui->comboBoxTrackMode->setEnabled(false);
        break;
    default:
        break;
    }
}

void MainWindow::on_comboBoxTrackMode_currentIndexChanged(int index) {
    if (!controlsReady || !indexInTable(TrackingModeOptions, index))
        return;
    qDebug() << "get tracking index:" << index;
    const int value = optionValueAt(TrackingModeOptions, index);
    qDebug() << "get tracking mode:" << value;

    // The page follows the choice before the camera is asked.
    if (value != kTrackingOff) {
        qDebug() << "hide widgetoff";
        ui->widgetTrackOff->hide();
        setEffectRowVisible(*ui, true);
        setSpeedRowVisible(*ui, true);
        if (value == kPresenterTracking) {
            setEffectRowVisible(*ui, false);
            setSpeedRowVisible(*ui, false);
        }
    } else {
        qDebug() << "show widgetoff";
        ui->widgetTrackOff->show();
        setEffectRowVisible(*ui, false);
        setSpeedRowVisible(*ui, false);
    }

    writeSetting(&UVCExtensionUnit::setTrackingMode, &UVCExtensionUnit::getTrackingMode, value,
                 tr("The operation has timed out, please try again."), "Set tracking mode:");

    if (value == kTrackingOff) {
        qDebug() << "sliderZoom:" << ui->sliderZoom->value() << "g_zoom :" << g_zoom;
        QTimer::singleShot(kRememberPositionDelay_ms, this, &MainWindow::slotRemberYuntaiValue);
    }

    if (value == kAutoFraming) {
        // Selecting an item that differs runs the effect and speed handlers in turn.
        int effect = 0;
        if (extensionUnit.getTrackingEffect(effect)) {
            qDebug() << "tracking effect state: " << effect;
            trackingEffectState = effect;
            selectOption(ui->comboBoxTrackEffect, TrackingEffectOptions, effect);
        }
        if (trackingEffectState != kEffectSmooth) {
            setSpeedRowVisible(*ui, false);
        } else {
            int speed = 0;
            if (extensionUnit.getTrackingSpeed(speed)) {
                qDebug() << "tracking speend state: " << speed;
                trackingSpeedState = speed;
                selectOption(ui->comboBoxTrackSpeend, TrackingSpeedOptions, speed);
            }
        }
    }
}

void MainWindow::on_comboBoxTrackEffect_currentIndexChanged(int index) {
    if (!controlsReady || !indexInTable(TrackingEffectOptions, index))
        return;
    const int value = optionValueAt(TrackingEffectOptions, index);

    // The camera takes an effect only while it frames automatically.
    int mode = 0;
    if (extensionUnit.getTrackingMode(mode) && mode == kAutoFraming) {
        writeSetting(&UVCExtensionUnit::setTrackingEffect, &UVCExtensionUnit::getTrackingEffect,
                     value, tr("The operation has timed out, please try again."),
                     "Set tracking effect:");
    }
    // A speed means something only for the smooth effect.
    setSpeedRowVisible(*ui, value != kEffectImmediate);
}

void MainWindow::on_comboBoxTrackSpeend_currentIndexChanged(int index) {
    if (!controlsReady || !indexInTable(TrackingSpeedOptions, index))
        return;
    const int value = optionValueAt(TrackingSpeedOptions, index);

    int mode = 0;
    if (!extensionUnit.getTrackingMode(mode) || mode != kAutoFraming)
        return;
    writeSetting(&UVCExtensionUnit::setTrackingSpeed, &UVCExtensionUnit::getTrackingSpeed, value,
                 tr("The operation has timed out, please try again."), "Set tracking speed:");
}

void MainWindow::on_comboBoxAntiFlicker_currentIndexChanged(int index) {
    if (!controlsReady || !indexInTable(AntiFlickerOptions, index))
        return;
    const int value = optionValueAt(AntiFlickerOptions, index);
    writeSetting(&UVCExtensionUnit::setAntiFlicker, &UVCExtensionUnit::getAntiFlicker, value,
                 tr("The setting has timed out, please try again."), "Set Flicker:");
}

void MainWindow::on_comboBoxMic_currentIndexChanged(int index) {
    if (!controlsReady || !indexInTable(SwitchOptions, index))
        return;
    const int value = optionValueAt(SwitchOptions, index);
    writeSetting(&UVCExtensionUnit::setMicEnabled, &UVCExtensionUnit::getMicEnabled, value,
                 tr("The setting has timed out, please try again."), "Set mute:");
    // The camera re-enumerates with or without its microphone; told whatever the outcome.
    runMessageBox(QString::fromUtf8(kRestartNotice), kOkOnly, true);
}

void MainWindow::writeSetting(bool (UVCExtensionUnit::*set)(int),
                              bool (UVCExtensionUnit::*get)(int &), int value,
                              const QString &timeoutText, const char *logLabel) {
    if (!(extensionUnit.*set)(value))
        showMessageBox(timeoutText, false);
    int queried = 0;
    if ((extensionUnit.*get)(queried))
        qDebug() << logLabel << value << ", query value:" << queried;
}

void MainWindow::on_btnHDR_clicked() {
    if (!controlsReady)
        return;
    hdrState = hdrState == 0 ? 1 : 0;
    writeSetting(&UVCExtensionUnit::setHdr, &UVCExtensionUnit::getHdr, hdrState,
                 tr("The setting has timed out, please try again."), "Set HDR:");
}

void MainWindow::on_btnRestoreDefaults_clicked() {
    if (!controlsReady)
        return;
    if (runMessageBox(QString::fromUtf8(kRestoreConfirmation), kOkAndCancel, false) ==
        QDialog::Accepted)
        restoreDefaultsConfirmed();
}

void MainWindow::restoreDefaultsConfirmed() {
    if (!extensionUnit.restoreDefaults()) {
        // The camera did not take it: it keeps running as it was.
        qDebug() << "Reset default params failed.";
        return;
    }
    qDebug() << "Reset default params successed.";
    runMessageBox(QString::fromUtf8(kRestartNotice), kOkOnly, true);
    qDebug() << "Config default info";
}

void MainWindow::on_btnCameraUp_clicked() {
    g_tilt = qMin(g_tilt + 1, kPanTiltLimit_deg);
    updateAxisButtons(g_tilt, ui->btnCameraDown, ui->btnCameraUp);
    cameraWrapper->setCameraControl(kCameraControlTilt, g_tilt);
}

void MainWindow::on_btnCameraDown_clicked() {
    g_tilt = qMax(g_tilt - 1, -kPanTiltLimit_deg);
    updateAxisButtons(g_tilt, ui->btnCameraDown, ui->btnCameraUp);
    cameraWrapper->setCameraControl(kCameraControlTilt, g_tilt);
}

void MainWindow::on_btnCameraLeft_clicked() {
    g_pan = qMax(g_pan - 1, -kPanTiltLimit_deg);
    updateAxisButtons(g_pan, ui->btnCameraLeft, ui->btnCameraRight);
    cameraWrapper->setCameraControl(kCameraControlPan, g_pan);
    qDebug() << "set pan:" << g_pan;
}

void MainWindow::on_btnCameraRight_clicked() {
    g_pan = qMin(g_pan + 1, kPanTiltLimit_deg);
    updateAxisButtons(g_pan, ui->btnCameraLeft, ui->btnCameraRight);
    cameraWrapper->setCameraControl(kCameraControlPan, g_pan);
    qDebug() << "set pan:" << g_pan;
}

void MainWindow::slotOnSetZoomValue(int value) {
    g_zoom = value;
    cameraWrapper->setCameraControl(kCameraControlZoom, value);
    ui->labelZoomValue->setText(zoomText(value));
    // The zoom decides over the pan and tilt limits: a zoomed picture can always be moved.
    setPadEnabled(*ui, value > kZoomMinimum);
}

void MainWindow::slotRemberYuntaiValue() {
    // Only the upper tilt limit and the lower pan limit are applied on the way back.
    g_tilt = qMin(g_tilt, kPanTiltLimit_deg);
    updateAxisButtons(g_tilt, ui->btnCameraDown, ui->btnCameraUp);
    cameraWrapper->setCameraControl(kCameraControlTilt, g_tilt);

    g_pan = qMax(g_pan, -kPanTiltLimit_deg);
    updateAxisButtons(g_pan, ui->btnCameraLeft, ui->btnCameraRight);
    cameraWrapper->setCameraControl(kCameraControlPan, g_pan);

    cameraWrapper->setCameraControl(kCameraControlZoom, g_zoom);
    ui->labelZoomValue->setText(zoomText(g_zoom));
    setPadEnabled(*ui, g_zoom > kZoomMinimum);
}
