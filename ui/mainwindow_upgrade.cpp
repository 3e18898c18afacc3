// The window's side of the firmware upgrade: its slots forward to the UpgradeFlow, and the
// questions the flow asks of the window are answered here.
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::on_btnUpgrade_clicked() {
    upgradeFlow->upgradeClicked();
}

void MainWindow::slotOnUpdateDummyTimeout() {
    upgradeFlow->advanceProgress();
}

void MainWindow::slotOnUpgradeReport(bool ok, int progress, const QString &message) {
    upgradeFlow->upgradeReported(ok, progress, message);
}

void MainWindow::slotOnDeviceAbnormal(int state) {
    upgradeFlow->deviceAbnormal(state);
}

bool MainWindow::upgradeUnderWay() const {
    return upgradeFlow && upgradeFlow->isUpgrading();
}

UpgradeFlowHost::OpenCamera MainWindow::cameraForUpgrade() {
    OpenCamera camera;
    camera.ready = controlsReady;
    camera.deviceId = currentDeviceId;
    camera.firmwareVersion = firmwareVersion;
    camera.model = modelIndex;
    camera.extensionUnit = &cameraSession.extensionUnit();
    return camera;
}

void MainWindow::reopenCamera() {
    // A refresh keeps a camera that is open already.
    if (!controlsReady)
        slotOnCameraPlugged(true, QString());
}

int MainWindow::runDialog(QDialog &dialog) {
    return runCentredDialog(dialog, false);
}

void MainWindow::showMessage(const QString &text, bool autoClose) {
    showMessageBox(text, autoClose);
}

void MainWindow::showSupportPage() {
    ui->btnNavSupport->click();
}

void MainWindow::closeWindow() {
    close();
}
