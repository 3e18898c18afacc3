// An upgrade or a recovery without administrator rights: handed over to an elevated instance of
// the program with what the user chose (the package, the camera), which carries on from there.
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>

void MainWindow::handOverForRights(HandOver::Kind kind, const QString &package) {
    HandOver handOver;
    handOver.kind = kind;
    handOver.package = package;
    handOver.cameraId = kind == HandOver::Kind::Upgrade ? currentDeviceId : QString();
    QString reason;
    const ElevationOutcome outcome =
        elevationBackend().startElevated(handOverArguments(handOver), reason);
    if (outcome == ElevationOutcome::Started) {
        qInfo() << "upgrade handed over to an elevated instance:" << handOverArguments(handOver);
        // That instance opens the camera and its disk: this one lets go of both.
        close();
    } else if (outcome == ElevationOutcome::Declined) {
        qInfo("elevation declined");
        showMessageBox(tr("The upgrade needs administrator rights, and they were not given. "
                          "Nothing was changed on the camera."),
                       false);
    } else {
        qWarning().noquote() << "elevation failed:" << reason;
        showMessageBox(tr("The upgrade needs administrator rights, and the program could not be "
                          "started with them (%1).")
                           .arg(reason),
                       false);
    }
}

void MainWindow::carryOnHandOver(const HandOver &handOver) {
    if (handOver.kind == HandOver::Kind::None || upgradeUnderWay())
        return;
    if (handOver.kind == HandOver::Kind::Upgrade) {
        // The camera chosen before, if it is still there.
        for (int row = 0; row < ui->listWidgetCamera->count(); ++row) {
            QListWidgetItem *item = ui->listWidgetCamera->item(row);
            if (item->data(Qt::UserRole + 2).toString() == handOver.cameraId) {
                ui->listWidgetCamera->setCurrentItem(item);
                switchToCamera(item);
            }
        }
        if (!controlsReady || currentDeviceId != handOver.cameraId) {
            showMessageBox(tr("The camera to upgrade is not connected."), false);
            return;
        }
    }
    // The user chose and confirmed the package before the hand-over.
    upgradeFlow->carryOnHandOver(handOver.kind, handOver.package);
}
