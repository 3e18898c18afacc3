// The offer to upgrade a camera that was found stuck in one of its updater stages, and the package
// sequence that this dialog and the main window's upgrade button share.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class FormAbnormal;
}
class PackageJob;
class QResizeEvent;

// Asks the user for a firmware package; the chosen path, or an empty one when the choice was
// cancelled.
using PackageFileChooser = std::function<QString(QWidget *parent)>;

enum class PackageSequenceOutcome {
    Cancelled,       // no package was chosen; nothing was touched
    BadLayout,       // not unpacked completely, or not laid out as a package
    UnknownModel,    // laid out as a package, but its model file names no known model
    Ready,           // laid out as a package, `model` set
    UnpackCancelled, // the unpacking was cancelled (the window is closing); nothing of it is left
};

// What the package sequence tells the one who runs it.
struct PackageSequenceHooks {
    // The sequence begins (the window holds back its watcher's searches from here on).
    std::function<void()> started;
    // The package is being unpacked by `job`, and once that has ended, null: the window cancels
    // the job when it is closed meanwhile.
    std::function<void(PackageJob *job)> unpacking;
};

// Notes the package directory, asks for the package (with `parent` as the chooser's parent),
// cleans what an earlier package left, unpacks the new one and checks it. The unpacking runs on a
// thread of its own while an event loop here keeps the windows painted (user input waits until
// it ends). An empty directory means the private package folder.
PackageSequenceOutcome runPackageSequence(const PackageFileChooser &chooser, QWidget *parent,
                                          const QString &directory, int &model,
                                          const PackageSequenceHooks &hooks = {});

class FormAbnormal : public QDialog {
    Q_OBJECT

public:
    explicit FormAbnormal(QWidget *parent = nullptr);
    ~FormAbnormal() override;

    // Replaces the file-open dialog that asks for the package (empty: the file-open dialog).
    void setPackageFileChooser(PackageFileChooser chooser);
    // Where the package is unpacked (empty: the private package folder).
    void setPackageDirectory(const QString &directory);
    void setPackageSequenceHooks(PackageSequenceHooks hooks);

public slots:
    void on_btnUpgrade_clicked();
    void on_btnCancel_clicked();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QString askForPackage(QWidget *parent) const;

    std::unique_ptr<Ui::FormAbnormal> form;
    PackageFileChooser chooser;
    QString packageDir;
    PackageSequenceHooks sequenceHooks;
};
