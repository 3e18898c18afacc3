// Starts one firmware upgrade: an UpgradeThread on a QThread of its own, wired the one way both
// the window and the command-line program rely on. The worker deletes itself when it ends, and its
// thread quits at once (not through the starter's event loop, so that the starter may wait for
// it) and then deletes itself too.
#pragma once

#include <QPointer>
#include <QString>
#include <QThread>

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

// Returns the started thread; it is gone once the worker has ended.
QPointer<QThread> startUpgradeWorker(const UpgradeRequest &request, QObject *context,
                                     const UpgradeCallbacks &callbacks);

// What the user is told of the final report (rich text, translated as the window translates it);
// the worker's own message only goes to the log.
QString upgradeResultText(bool ok);
