// The Control page: the camera's settings, the direction pad and the zoom slider, and the
// settings read that fills the page when a camera is opened.
#include "device/catalogue.h"
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>

namespace {
constexpr int kZoomNeutral = 100;
constexpr int kPanTiltLimit_deg = 30;
constexpr int kCameraControlZoom = 3;
constexpr int kModelZenta310 = 1;
constexpr int kModelZenta320 = 2;
} // namespace

void MainWindow::readCameraSettings() {
    ui->labelDevModel->setText(currentFriendlyName);
    QString version;
    if (extensionUnit.getFirmwareVersion(kQueryVersion, version) ||
        extensionUnit.getFirmwareVersion(kQueryVersionLegacy, version)) {
        firmwareVersion = version;
        ui->labelDevVer->setText(QStringLiteral("V%1").arg(firmwareVersion));
    } else {
        qWarning() << "Failed to get the camera version.";
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
    const bool padUsable = enable && g_zoom > kZoomNeutral;
    for (QPushButton *arrow :
         {ui->btnCameraUp, ui->btnCameraDown, ui->btnCameraLeft, ui->btnCameraRight})
        arrow->setEnabled(padUsable);

    ui->sliderZoom->setEnabled(enable);
    if (!enable) {
        g_zoom = kZoomNeutral;
        ui->sliderZoom->setValue(kZoomNeutral);
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

void MainWindow::slotOnSetZoomValue(int value) {
    g_zoom = value;
    cameraWrapper->setCameraControl(kCameraControlZoom, value);
    ui->labelZoomValue->setText(QStringLiteral("%1%").arg(value));
    const bool padUsable = value > kZoomNeutral;
    for (QPushButton *arrow :
         {ui->btnCameraUp, ui->btnCameraDown, ui->btnCameraLeft, ui->btnCameraRight})
        arrow->setEnabled(padUsable);
}

void MainWindow::updatePanButtons(int pan) {
    if (pan == -kPanTiltLimit_deg) {
        ui->btnCameraLeft->setEnabled(false);
    } else if (pan == kPanTiltLimit_deg) {
        ui->btnCameraRight->setEnabled(false);
    } else {
        ui->btnCameraLeft->setEnabled(true);
        ui->btnCameraRight->setEnabled(true);
    }
}

void MainWindow::updateTiltButtons(int tilt) {
    if (tilt == -kPanTiltLimit_deg) {
        ui->btnCameraDown->setEnabled(false);
    } else if (tilt == kPanTiltLimit_deg) {
        ui->btnCameraUp->setEnabled(false);
    } else {
        ui->btnCameraDown->setEnabled(true);
        ui->btnCameraUp->setEnabled(true);
    }
}

void MainWindow::on_comboBoxTrackMode_currentIndexChanged(int) {}
void MainWindow::on_comboBoxTrackEffect_currentIndexChanged(int) {}
void MainWindow::on_comboBoxTrackSpeend_currentIndexChanged(int) {}
void MainWindow::on_comboBoxAntiFlicker_currentIndexChanged(int) {}
void MainWindow::on_comboBoxMic_currentIndexChanged(int) {}
void MainWindow::on_btnHDR_clicked() {}
void MainWindow::on_btnRestoreDefaults_clicked() {}
void MainWindow::restoreDefaultsConfirmed() {}
void MainWindow::on_btnCameraUp_clicked() {}
void MainWindow::on_btnCameraDown_clicked() {}
void MainWindow::on_btnCameraLeft_clicked() {}
void MainWindow::on_btnCameraRight_clicked() {}
void MainWindow::slotRemberYuntaiValue() {}
