#include "upgrade/upgraderun.h"

#include "upgrade/upgradethread.h"

#include <QCoreApplication>

QPointer<QThread> startUpgradeWorker(const UpgradeRequest &request, QObject *context,
                                     const UpgradeCallbacks &callbacks) {
    auto *thread = new QThread();
    auto *worker =
        new UpgradeThread(request.productLineSelector, request.cameraReady, request.extensionUnit);
    worker->setPackageDirectory(request.packageDirectory);
    worker->setCameraDeviceId(request.cameraDeviceId);
    worker->moveToThread(thread);
    QObject::connect(thread, &QThread::started, worker, &UpgradeThread::start);
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    QObject::connect(worker, &UpgradeThread::workFinished, worker, &QObject::deleteLater);
    // Direct: the thread ends as soon as its worker is gone, without a trip through the starter's
    // event loop, so that the starter can wait for it.
    QObject::connect(worker, &QObject::destroyed, thread, &QThread::quit, Qt::DirectConnection);
    QObject::connect(worker, &UpgradeThread::onUpgradeReport, context, callbacks.report);
    if (callbacks.stage)
        QObject::connect(worker, &UpgradeThread::onUpgradeStage, context, callbacks.stage);
    QPointer<QThread> started(thread);
    thread->start(QThread::InheritPriority);
    return started;
}

QString upgradeResultText(bool ok) {
    if (ok)
        return QCoreApplication::translate("MainWindow",
                                           "<h3>Firmware upgrade is successful!</h3>");
    return QCoreApplication::translate("MainWindow",
                                       "<h3>Firmware upgrade failed!</h3>\r\nplease try to unplug "
                                       "and plug the USB cable for upgrade again.");
}
