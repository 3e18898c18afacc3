#include "upgrade/packagesequence.h"

#include "upgrade/packagefiles.h"
#include "upgrade/packagejob.h"

#include <QCoreApplication>
#include <QEventLoop>

PackageSequenceOutcome runPackageSequence(const PackageFileChooser &chooser,
                                          const QString &directory, int &model,
                                          const PackageSequenceHooks &hooks) {
    if (hooks.started)
        hooks.started();
    const QString where = directory.isEmpty() ? packageDirectory() : directory;
    logPackageDirectory(where);
    const QString package = chooser ? chooser() : QString();
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

PackageVerdict judgePackageForCamera(PackageSequenceOutcome outcome, int packageModel,
                                     int cameraModel) {
    if (outcome == PackageSequenceOutcome::UnknownModel)
        return PackageVerdict::Corrupted;
    if (outcome == PackageSequenceOutcome::Ready && packageModel != cameraModel)
        return PackageVerdict::OtherModel;
    return judgePackageForStuckCamera(outcome);
}

PackageVerdict judgePackageForStuckCamera(PackageSequenceOutcome outcome) {
    switch (outcome) {
    case PackageSequenceOutcome::Cancelled:
        return PackageVerdict::Cancelled;
    case PackageSequenceOutcome::UnpackCancelled:
        return PackageVerdict::UnpackCancelled;
    case PackageSequenceOutcome::BadLayout:
        return PackageVerdict::BadLayout;
    case PackageSequenceOutcome::UnknownModel:
    case PackageSequenceOutcome::Ready:
        break;
    }
    return PackageVerdict::Accepted;
}

QString packageRefusalText(PackageVerdict verdict) {
    switch (verdict) {
    case PackageVerdict::BadLayout:
        return QCoreApplication::translate(
            "MainWindow",
            "<h3>Unable to upgrade now.</h3>\r\nThe format of firmware file is not correct.");
    case PackageVerdict::Corrupted:
        return QCoreApplication::translate(
            "MainWindow", "<h3>Unable to upgrade now.</h3>\r\nThe firmware file is corrupted.");
    case PackageVerdict::OtherModel:
        return QCoreApplication::translate("MainWindow",
                                           "<h3>Unable to upgrade now.</h3>\r\nThe firmware "
                                           "version does not match with this model.");
    case PackageVerdict::Accepted:
    case PackageVerdict::Cancelled:
    case PackageVerdict::UnpackCancelled:
        break;
    }
    return QString();
}
