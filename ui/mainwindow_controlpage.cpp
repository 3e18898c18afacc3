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
// Tracking hands the position back to the user a moment after it was switched off.
constexpr int kRememberPositionDelay_ms = 100;
constexpr int kOkOnly = 0;
constexpr int kOkAndCancel = 1;

const char kRestartNotice[] = QT_TRANSLATE_NOOP(
    "MainWindow", "To complete this process, your device may take a few seconds to restart.");
const char kRestoreConfirmation[] =
    QT_TRANSLATE_NOOP("MainWindow", "<h3>Restore Defaults</h3>\r\nTo complete this process, your "
                                    "device may take a few seconds to restart.");

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

void showTrackingRows(Ui::MainWindow &form, const TrackingRows &rows) {
    qDebug() << (rows.positionControls ? "show widgetoff" : "hide widgetoff");
    form.widgetTrackOff->setVisible(rows.positionControls);
    setEffectRowVisible(form, rows.effectRow);
    setSpeedRowVisible(form, rows.speedRow);
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
    // The model first, then the settings as the camera answers them.
    ui->labelDevModel->setText(currentFriendlyName);

    // controlsReady is still false, so selecting an item sends nothing.
    const CameraReadout read = cameraSession.readAll();
    if (read.firmwareVersion) {
        firmwareVersion = *read.firmwareVersion;
        ui->labelDevVer->setText(QStringLiteral("V%1").arg(firmwareVersion));
    }
    if (const std::optional<int> hdr = read.value(CameraSetting::Hdr)) {
        hdrState = *hdr;
        ui->btnHDR->setChecked(*hdr != 0);
    }
    if (const std::optional<int> flicker = read.value(CameraSetting::AntiFlicker)) {
        antiFlickerState = *flicker;
        selectOption(ui->comboBoxAntiFlicker, AntiFlickerOptions, *flicker);
    }
    if (const std::optional<int> mic = read.value(CameraSetting::Microphone)) {
        micState = *mic;
        selectOption(ui->comboBoxMic, SwitchOptions, *mic);
    }

    // A slider that moves writes the zoom back to the camera at once (slotOnSetZoomValue).
    ui->sliderZoom->setValue(g_zoom);
    ui->labelZoomValue->setText(zoomText(g_zoom));

    // Tracking mode and what it shows.
    const std::optional<int> mode = read.value(CameraSetting::TrackingMode);
    if (mode) {
        trackingModeState = *mode;
        const int index = optionIndexOfValue(TrackingModeOptions, *mode);
        qDebug() << "tracking mode index: " << index;
        ui->comboBoxTrackMode->setCurrentIndex(index);
        showTrackingRows(*ui, trackingRowsForMode(*mode));
        if (*mode == kTrackingOff)
            QTimer::singleShot(kRememberPositionDelay_ms, this, &MainWindow::slotRemberYuntaiValue);
    }

    // Effect and speed exist only for Auto Framing (read only then).
    if (const std::optional<int> effect = read.value(CameraSetting::TrackingEffect)) {
        trackingEffectState = *effect;
        selectOption(ui->comboBoxTrackEffect, TrackingEffectOptions, *effect);
        if (!speedRowShownForEffect(*effect))
            setSpeedRowVisible(*ui, false);
    }
    if (const std::optional<int> speed = read.value(CameraSetting::TrackingSpeed)) {
        trackingSpeedState = *speed;
        selectOption(ui->comboBoxTrackSpeend, TrackingSpeedOptions, *speed);
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
    setPadEnabled(*ui, enable && padMovesAtZoom(g_zoom));

    ui->sliderZoom->setEnabled(enable);
    if (!enable) {
        g_zoom = kZoomMinimum_percent;
        ui->sliderZoom->setValue(kZoomMinimum_percent);
    }

    // The camera's own settings, and the upgrade that starts with one of them, need its unit.
    const bool vendor = enable && !cameraSession.openWithoutExtensionUnit();
    ui->comboBoxAntiFlicker->setEnabled(vendor);
    ui->comboBoxMic->setEnabled(vendor);
    ui->btnHDR->setEnabled(vendor);
    ui->btnRestoreDefaults->setEnabled(vendor);
    ui->comboBoxTrackEffect->setEnabled(vendor);
    ui->comboBoxTrackMode->setEnabled(vendor);
    ui->comboBoxTrackSpeend->setEnabled(vendor);
    ui->btnUpgrade->setEnabled(vendor);
    // The profiles follow the open camera.
    updateConnectChoice();
}

void MainWindow::applyModelRestrictions(int modelIndexFromIds) {
    const ModelControls offered = controlsOfModel(vendorIndex, modelIndexFromIds);
    if (!offered.position) {
        // No framing, no position: the microphone, restore defaults and the upgrade only.
        setControlsEnabled(false);
        const bool vendor = !cameraSession.openWithoutExtensionUnit();
        ui->comboBoxMic->setEnabled(vendor);
        ui->btnRestoreDefaults->setEnabled(vendor);
        ui->btnUpgrade->setEnabled(vendor);
    }
    if (!offered.trackingMode)
        ui->comboBoxTrackMode->setEnabled(false);
}

void MainWindow::on_comboBoxTrackMode_currentIndexChanged(int index) {
    if (!controlsReady || !indexInTable(TrackingModeOptions, index))
        return;
    qDebug() << "get tracking index:" << index;
    const int value = optionValueAt(TrackingModeOptions, index);
    qDebug() << "get tracking mode:" << value;

    // The page follows the choice before the camera is asked.
    showTrackingRows(*ui, trackingRowsForMode(value));

    writeSetting(CameraSetting::TrackingMode, value);

    if (value == kTrackingOff) {
        qDebug() << "sliderZoom:" << ui->sliderZoom->value() << "g_zoom :" << g_zoom;
        QTimer::singleShot(kRememberPositionDelay_ms, this, &MainWindow::slotRemberYuntaiValue);
    }

    if (value == kAutoFraming) {
        // Selecting an item that differs runs the effect and speed handlers in turn.
        int effect = 0;
        if (cameraSession.readSetting(CameraSetting::TrackingEffect, effect)) {
            qDebug() << "tracking effect state: " << effect;
            trackingEffectState = effect;
            selectOption(ui->comboBoxTrackEffect, TrackingEffectOptions, effect);
        }
        if (trackingEffectState != kEffectSmooth) {
            setSpeedRowVisible(*ui, false);
        } else {
            int speed = 0;
            if (cameraSession.readSetting(CameraSetting::TrackingSpeed, speed)) {
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

    if (settingWritableInMode(CameraSetting::TrackingEffect,
                              cameraSession.readValue(CameraSetting::TrackingMode)))
        writeSetting(CameraSetting::TrackingEffect, value);
    setSpeedRowVisible(*ui, speedRowShownForEffect(value));
}

void MainWindow::on_comboBoxTrackSpeend_currentIndexChanged(int index) {
    if (!controlsReady || !indexInTable(TrackingSpeedOptions, index))
        return;
    const int value = optionValueAt(TrackingSpeedOptions, index);

    if (!settingWritableInMode(CameraSetting::TrackingSpeed,
                               cameraSession.readValue(CameraSetting::TrackingMode)))
        return;
    writeSetting(CameraSetting::TrackingSpeed, value);
}

void MainWindow::on_comboBoxAntiFlicker_currentIndexChanged(int index) {
    if (!controlsReady || !indexInTable(AntiFlickerOptions, index))
        return;
    const int value = optionValueAt(AntiFlickerOptions, index);
    writeSetting(CameraSetting::AntiFlicker, value);
}

void MainWindow::on_comboBoxMic_currentIndexChanged(int index) {
    if (!controlsReady || !indexInTable(SwitchOptions, index))
        return;
    const int value = optionValueAt(SwitchOptions, index);
    writeSetting(CameraSetting::Microphone, value);
    // The camera re-enumerates with or without its microphone; told whatever the outcome.
    runMessageBox(tr(kRestartNotice), kOkOnly, true);
}

void MainWindow::writeSetting(CameraSetting setting, int value) {
    if (!cameraSession.writeSetting(setting, value))
        showMessageBox(settingTimeoutText(settingDefinition(setting)), false);
    int queried = 0;
    cameraSession.readBack(setting, value, queried);
}

void MainWindow::on_btnHDR_clicked() {
    if (!controlsReady)
        return;
    hdrState = hdrState == 0 ? 1 : 0;
    writeSetting(CameraSetting::Hdr, hdrState);
}

void MainWindow::on_btnRestoreDefaults_clicked() {
    if (!controlsReady)
        return;
    if (runMessageBox(tr(kRestoreConfirmation), kOkAndCancel, false) == QDialog::Accepted)
        restoreDefaultsConfirmed();
}

void MainWindow::restoreDefaultsConfirmed() {
    if (!cameraSession.restoreDefaults())
        return;
    runMessageBox(tr(kRestartNotice), kOkOnly, true);
    qDebug() << "Config default info";
}

void MainWindow::on_btnCameraUp_clicked() {
    g_tilt = qMin(g_tilt + 1, kPanTiltLimit_deg);
    updateAxisButtons(g_tilt, ui->btnCameraDown, ui->btnCameraUp);
    cameraSession.move(CameraControlId::Tilt, g_tilt);
}

void MainWindow::on_btnCameraDown_clicked() {
    g_tilt = qMax(g_tilt - 1, -kPanTiltLimit_deg);
    updateAxisButtons(g_tilt, ui->btnCameraDown, ui->btnCameraUp);
    cameraSession.move(CameraControlId::Tilt, g_tilt);
}

void MainWindow::on_btnCameraLeft_clicked() {
    g_pan = qMax(g_pan - 1, -kPanTiltLimit_deg);
    updateAxisButtons(g_pan, ui->btnCameraLeft, ui->btnCameraRight);
    cameraSession.move(CameraControlId::Pan, g_pan);
    qDebug() << "set pan:" << g_pan;
}

void MainWindow::on_btnCameraRight_clicked() {
    g_pan = qMin(g_pan + 1, kPanTiltLimit_deg);
    updateAxisButtons(g_pan, ui->btnCameraLeft, ui->btnCameraRight);
    cameraSession.move(CameraControlId::Pan, g_pan);
    qDebug() << "set pan:" << g_pan;
}

void MainWindow::slotOnSetZoomValue(int value) {
    g_zoom = value;
    cameraSession.move(CameraControlId::Zoom, value);
    ui->labelZoomValue->setText(zoomText(value));
    // The zoom decides over the pan and tilt limits: a zoomed picture can always be moved.
    setPadEnabled(*ui, padMovesAtZoom(value));
}

void MainWindow::slotRemberYuntaiValue() {
    // Only the upper tilt limit and the lower pan limit are applied on the way back.
    g_tilt = qMin(g_tilt, kPanTiltLimit_deg);
    updateAxisButtons(g_tilt, ui->btnCameraDown, ui->btnCameraUp);
    cameraSession.move(CameraControlId::Tilt, g_tilt);

    g_pan = qMax(g_pan, -kPanTiltLimit_deg);
    updateAxisButtons(g_pan, ui->btnCameraLeft, ui->btnCameraRight);
    cameraSession.move(CameraControlId::Pan, g_pan);

    cameraSession.move(CameraControlId::Zoom, g_zoom);
    ui->labelZoomValue->setText(zoomText(g_zoom));
    setPadEnabled(*ui, padMovesAtZoom(g_zoom));
}
