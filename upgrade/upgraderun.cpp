#include "upgrade/upgraderun.h"

#include "upgrade/upgradethread.h"

#include <QCoreApplication>

void startUpgradeWorker(WorkerThread &thread, const UpgradeRequest &request, QObject *context,
                        const UpgradeCallbacks &callbacks) {
    auto *worker =
        new UpgradeThread(request.productLineSelector, request.cameraReady, request.extensionUnit);
    worker->setPackageDirectory(request.packageDirectory);
    worker->setCameraDeviceId(request.cameraDeviceId);
    QObject::connect(worker, &UpgradeThread::onUpgradeReport, context, callbacks.report);
    if (callbacks.stage)
        QObject::connect(worker, &UpgradeThread::onUpgradeStage, context, callbacks.stage);
    thread.start(worker);
}

QString upgradeResultText(bool ok) {
    if (ok)
        return QCoreApplication::translate("MainWindow",
                                           "<h3>Firmware upgrade is successful!</h3>");
    return QCoreApplication::translate("MainWindow",
                                       "<h3>Firmware upgrade failed!</h3>\r\nplease try to unplug "
                                       "and plug the USB cable for upgrade again.");
}
