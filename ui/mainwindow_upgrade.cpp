// The firmware upgrade started from the Support page, and the watcher that finds a camera left in
// an updater stage.
#include "ui/mainwindow.h"

void MainWindow::on_btnUpgrade_clicked() {}

void MainWindow::startUpgrade() {}

void MainWindow::slotOnUpdateDummyTimeout() {}

void MainWindow::slotOnUpgradeReport(bool, int, const QString &) {}

void MainWindow::slotOnDeviceAbnormal(int) {}

void MainWindow::startAbnormalWatcher() {}

void MainWindow::stopAbnormalWatcher() {}
