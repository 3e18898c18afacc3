#include "upgrade/formabnormal.h"

#include "ui/roundedcorners.h"
#include "ui_formabnormal.h"
#include "upgrade/packagefiles.h"
#include "upgrade/packagejob.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QtDebug>

PackageSequenceOutcome runPackageSequence(const PackageFileChooser &chooser, QWidget *parent,
                                          const QString &directory, int &model,
                                          const PackageSequenceHooks &hooks) {
    if (hooks.started)
        hooks.started();
    const QString where = directory.isEmpty() ? packageDirectory() : directory;
    logPackageDirectory(where);
    const QString package = chooser ? chooser(parent) : QString();
    if (package.isEmpty())
        return PackageSequenceOutcome::Cancelled;

    PackageJob job(package, where);
    QEventLoop loop;
    QObject::connect(&job, &PackageJob::finished, &loop, &QEventLoop::quit);
    if (hooks.unpacking)
        hooks.unpacking(&job);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (hooks.unpacking)
        hooks.unpacking(nullptr);
    // The loop also ends when the application quits: a job still running is cancelled then.
    if (job.isRunning())
        job.cancel();
    job.wait();
    switch (job.outcome()) {
    case PackageOutcome::Ready:
        model = job.model();
        return PackageSequenceOutcome::Ready;
    case PackageOutcome::UnknownModel:
        return PackageSequenceOutcome::UnknownModel;
    case PackageOutcome::Cancelled:
        return PackageSequenceOutcome::UnpackCancelled;
    case PackageOutcome::BadLayout:
        break;
    }
    return PackageSequenceOutcome::BadLayout;
}

FormAbnormal::FormAbnormal(QWidget *parent)
    : QDialog(parent)
    , form(std::make_unique<Ui::FormAbnormal>()) {
    form->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    // Enter or Space starts the upgrade.
    form->btnUpgrade->setFocus();
}

FormAbnormal::~FormAbnormal() = default;

void FormAbnormal::setPackageFileChooser(PackageFileChooser packageChooser) {
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
    int model = -1;
    const PackageSequenceOutcome outcome =
        runPackageSequence([this](QWidget *parent) { return askForPackage(parent); }, this,
                           packageDir, model, sequenceHooks);
    // The camera is stuck and cannot tell its model: any well-formed package is offered, and a
    // cancelled choice or a malformed package leaves the offer open for another try.
    if (outcome == PackageSequenceOutcome::Ready || outcome == PackageSequenceOutcome::UnknownModel)
        accept();
}

void FormAbnormal::on_btnCancel_clicked() {
    close();
}

void FormAbnormal::resizeEvent(QResizeEvent *event) {
    applyRoundedCornerMask(this);
    QDialog::resizeEvent(event);
}
