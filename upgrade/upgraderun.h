// Starts one firmware upgrade for the window and the command-line program alike: an UpgradeThread
// on a WorkerThread, which the starter joins (an upgrade is never stopped half-way).
#pragma once

#include "common/workerthread.h"

#include <QString>

#include <functional>

class QObject;
class UVCExtensionUnit;

struct UpgradeRequest {
    int productLineSelector = 0;
    // A camera in normal operation is open: its extension unit can send it into its updater.
    bool cameraReady = false;
    UVCExtensionUnit *extensionUnit = nullptr; // not owned; must outlive the worker
    QString packageDirectory;                  // empty: the private package folder
    QString cameraDeviceId;                    // the open camera, which must come back after
};

struct UpgradeCallbacks {
    // The one final report (ok, progress, message), on `context`'s thread.
    std::function<void(bool ok, int progress, const QString &message)> report;
    // Each step the upgrade comes to, on `context`'s thread; may be empty.
    std::function<void(const QString &stage)> stage;
};

// Starts the worker on `thread`, which must not run another one.
void startUpgradeWorker(WorkerThread &thread, const UpgradeRequest &request, QObject *context,
                        const UpgradeCallbacks &callbacks);

// What the user is told of the final report (rich text, translated as the window translates it);
// the worker's own message only goes to the log.
QString upgradeResultText(bool ok);
