#include "upgrade/formabnormal.h"

#include "ui/roundedcorners.h"
#include "ui_formabnormal.h"

#include <QFileDialog>
#include <QtDebug>

FormAbnormal::FormAbnormal(QWidget *parent)
    : QDialog(parent)
    , form(std::make_unique<Ui::FormAbnormal>()) {
    form->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    // Enter or Space starts the upgrade.
    form->btnUpgrade->setFocus();
}

FormAbnormal::~FormAbnormal() = default;

void FormAbnormal::setPackageFileChooser(PackageDialogChooser packageChooser) {
    chooser = std::move(packageChooser);
}

void FormAbnormal::setPackageDirectory(const QString &directory) {
    packageDir = directory;
}

void FormAbnormal::setPackageSequenceHooks(PackageSequenceHooks hooks) {
    sequenceHooks = std::move(hooks);
}

QString FormAbnormal::askForPackage(QWidget *parent) const {
    if (chooser)
        return chooser(parent);
    return QFileDialog::getOpenFileName(parent, tr("Open File"), QString(),
                                        tr("Upgrade File(*.zip)"));
}

void FormAbnormal::on_btnUpgrade_clicked() {
    const PackageSequenceResult package =
        runPackageSequence([this] { return askForPackage(this); }, packageDir, sequenceHooks);
    // A cancelled choice or a malformed package leaves the offer open for another try.
    if (judgePackageForStuckCamera(package.outcome) == PackageVerdict::Accepted)
        accept();
}

void FormAbnormal::on_btnCancel_clicked() {
    close();
}

void FormAbnormal::resizeEvent(QResizeEvent *event) {
    applyRoundedCornerMask(this);
    QDialog::resizeEvent(event);
}
