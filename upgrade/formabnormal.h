// The offer to upgrade a camera that was found stuck in one of its updater stages. Its button runs
// the package sequence (upgrade/packagesequence.h) and takes any package laid out as one.
#pragma once

#include "upgrade/packagesequence.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class FormAbnormal;
}
class QKeyEvent;
class QResizeEvent;

// Asks the user for a firmware package, with `parent` as the parent of the file-open dialog; the
// chosen path, or an empty one when the choice was cancelled.
using PackageDialogChooser = std::function<QString(QWidget *parent)>;

class FormAbnormal : public QDialog {
    Q_OBJECT

public:
    explicit FormAbnormal(QWidget *parent = nullptr);
    ~FormAbnormal() override;

    // Replaces the file-open dialog that asks for the package (empty: the file-open dialog).
    void setPackageFileChooser(PackageDialogChooser chooser);
    // Where the package is unpacked (empty: the private package folder).
    void setPackageDirectory(const QString &directory);
    void setPackageSequenceHooks(PackageSequenceHooks hooks);

public slots:
    void on_btnUpgrade_clicked();
    void on_btnCancel_clicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString askForPackage(QWidget *parent) const;

    std::unique_ptr<Ui::FormAbnormal> form;
    PackageDialogChooser chooser;
    QString packageDir;
    PackageSequenceHooks sequenceHooks;
};
