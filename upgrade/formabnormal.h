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
class QResizeEvent;

// Asks the user for a firmware package; the chosen path, or an empty one when the choice was
// cancelled.
using PackageFileChooser = std::function<QString(QWidget *parent)>;

enum class PackageSequenceOutcome {
    Cancelled,    // no package was chosen; nothing was touched
    BadLayout,    // not unpacked completely, or not laid out as a package
    UnknownModel, // laid out as a package, but its model file names no known model
    Ready,        // laid out as a package, `model` set
};

// Notes the package directory, asks for the package (with `parent` as the chooser's parent),
// cleans what an earlier package left, unpacks the new one and checks it. An empty directory
// means the program's directory.
PackageSequenceOutcome runPackageSequence(const PackageFileChooser &chooser, QWidget *parent,
                                          const QString &directory, int &model);

class FormAbnormal : public QDialog {
    Q_OBJECT

public:
    explicit FormAbnormal(QWidget *parent = nullptr);
    ~FormAbnormal() override;

    // Replaces the file-open dialog that asks for the package (empty: the file-open dialog).
    void setPackageFileChooser(PackageFileChooser chooser);
    // Where the package is unpacked (empty: the program's directory).
    void setPackageDirectory(const QString &directory);

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
};
