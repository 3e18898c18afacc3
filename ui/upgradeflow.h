// The firmware upgrade as the window runs it, started from the Support page or offered for a
// camera found stuck in an updater stage: the package sequence, the confirmation, the worker, the
// progress shown meanwhile and the one final report; and the watcher that finds such a camera.
// The window owns the flow, keeps what it shows, and answers what the flow asks of it through
// UpgradeFlowHost.
#pragma once

#include "common/workerthread.h"
#include "upgrade/elevation.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class AbnormalDetectThread;
class PackageJob;
class QDialog;
class QProgressBar;
class QPushButton;
class QWidget;
class SleepInhibitor;
class UVCExtensionUnit;
struct PackageSequenceHooks;

// What the upgrade flow asks of the window that shows it.
class UpgradeFlowHost {
public:
    // The camera the window has open, as far as an upgrade needs it.
    struct OpenCamera {
        bool ready = false; // open over both channels
        QString deviceId;
        QString firmwareVersion;
        int model = 0;                             // the catalogue's model index
        UVCExtensionUnit *extensionUnit = nullptr; // the window's; outlives every upgrade
    };
    virtual OpenCamera cameraForUpgrade() = 0;
    // Opens the camera as after a replug, unless one is open already.
    virtual void reopenCamera() = 0;
    // Runs a dialog of the window's family centred over the window; returns its result.
    virtual int runDialog(QDialog &dialog) = 0;
    // Runs a message box with OK only; returns once it has closed.
    virtual void showMessage(const QString &text, bool autoClose) = 0;
    virtual void showSupportPage() = 0;
    virtual void closeWindow() = 0;
    // Without the rights to open the camera's disk: hands the upgrade or recovery with this
    // package over to an elevated instance (the window then closes) or tells why it could not.
    virtual void handOverForRights(HandOver::Kind kind, const QString &package) = 0;

protected:
    ~UpgradeFlowHost() = default;
};

class UpgradeFlow : public QObject {
    Q_OBJECT

public:
    // `window` parents the file-open dialog; `progress` and `upgradeButton` are the Support
    // page's, shown and enabled by the flow while an upgrade runs.
    UpgradeFlow(UpgradeFlowHost &host, QWidget *window, QProgressBar *progress,
                QPushButton *upgradeButton);
    // Ends the watcher and waits for an upgrade worker that still runs (it uses the window's
    // extension unit): an upgrade is never cut short.
    ~UpgradeFlow() override;

    // Starts the watcher for cameras of this product line; it runs until the flow ends.
    void startWatcher(int productLineSelector);

    // The Support page's upgrade button.
    void upgradeClicked();
    // One step of the progress shown while the worker runs (it reports no progress of its own).
    void advanceProgress();
    // A report of the upgrade worker; only a final one ends the upgrade.
    void upgradeReported(bool ok, int progress, const QString &message);
    // The watcher found a camera in an updater stage: offers to upgrade it.
    void deviceAbnormal(int state);
    // Carries on an upgrade or recovery that an instance without the rights handed over: the
    // package chosen and confirmed there is checked again, not asked for again.
    void carryOnHandOver(HandOver::Kind kind, const QString &package);

    // From the choice of a package to the final report (the preparation included).
    bool isUpgrading() const { return upgrading; }
    // Asked when the window is closed: while a package is unpacked, cancels the unpacking and
    // closes the window once the sequence has ended, and returns true.
    bool cancelUnpackingAndCloseLater();

    // Asks for the firmware package instead of the file-open dialog (empty: the dialog).
    void setPackageFileChooser(std::function<QString(QWidget *parent)> chooser);
    // Where packages are unpacked and read (empty: the private package folder).
    void setPackageDirectory(const QString &directory);
    // The watcher's thread while it runs.
    QThread *watcherThread() const { return watcher.thread(); }

private:
    friend class UpgradeFlowTestAccess;

    void startUpgrade();
    // Without the rights to open the camera's disk, the upgrade goes to an elevated instance:
    // true when it did (or could not), and this one must not start it.
    bool handedOverForRights(HandOver::Kind kind);
    QString askForPackage(QWidget *parent);
    QString effectivePackageDirectory() const;
    // How the flow follows a package sequence: the watcher's searches stop at its start, and the
    // unpacking is known so that closing the window can cancel it.
    PackageSequenceHooks packageSequenceHooks();
    // Holds back or lets go the watcher's searches (no search while an upgrade uses the disk).
    void setWatcherPaused(bool paused);
    // Back to idle after an upgrade or its preparation: the watcher searches again and the
    // computer may sleep again.
    void leaveUpgradeState();
    // After a successful upgrade: opens the camera when its arrival has not done so yet, and logs
    // the firmware version before and after.
    void reopenUpgradedCamera();

    UpgradeFlowHost &host;
    QWidget *const window;
    QProgressBar *const progressBar;
    QPushButton *const upgradeButton;

    bool upgrading = false;
    bool abnormalPromptOpen = false;
    QTimer dummyProgressTimer;
    int dummyProgress = 0;
    WorkerThread upgradeWorker;
    // Set while the current upgrade's final report is still to come.
    bool awaitingReport = false;
    // The open camera's firmware version when the upgrade started; empty when unknown.
    QString versionBeforeUpgrade;
    int productLine = 0;
    AbnormalDetectThread *watcherWorker = nullptr; // lives until the watcher is stopped
    WorkerThread watcher;
    std::function<QString(QWidget *parent)> choosePackageFile;
    QString packageDir;
    // The package the user chose last, kept for a hand-over to an elevated instance.
    QString chosenPackage;
    // The package being unpacked, while it is.
    PackageJob *packageJob = nullptr;
    // The window was closed while a package was unpacked: it closes once the sequence has ended.
    bool closeAfterPackage = false;
    // Held from the confirmation of an upgrade to its final report.
    std::unique_ptr<SleepInhibitor> sleepInhibitor;
};
