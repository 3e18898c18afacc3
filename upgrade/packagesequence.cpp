#include "upgrade/packagesequence.h"

#include "upgrade/packagefiles.h"
#include "upgrade/packagejob.h"

#include <QDebug>
#include <QEventLoop>

PackageSequenceResult runPackageSequence(const PackageFileChooser &chooser,
                                         const QString &directory,
                                         const PackageSequenceHooks &hooks) {
    if (hooks.started)
        hooks.started();
    const QString where = directory.isEmpty() ? packageDirectory() : directory;
    logPackageDirectory(where);
    const QString package = chooser ? chooser() : QString();
    PackageSequenceResult result;
    if (package.isEmpty()) {
        result.reason = QStringLiteral("no package was chosen");
        return result;
    }

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
    result.reason = job.refusalReason();
    switch (job.outcome()) {
    case PackageOutcome::Ready:
        result.model = job.model();
        result.outcome = PackageSequenceOutcome::Ready;
        return result;
    case PackageOutcome::UnknownModel:
        result.outcome = PackageSequenceOutcome::UnknownModel;
        break;
    case PackageOutcome::Cancelled:
        result.outcome = PackageSequenceOutcome::UnpackCancelled;
        break;
    case PackageOutcome::BadLayout:
        result.outcome = PackageSequenceOutcome::BadLayout;
        break;
    }
    qWarning().noquote() << "package refused:" << result.reason;
    return result;
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

QString packageVerdictSentence(PackageVerdict verdict) {
    switch (verdict) {
    case PackageVerdict::BadLayout:
        return QStringLiteral("The format of firmware file is not correct.");
    case PackageVerdict::Corrupted:
        return QStringLiteral("The firmware file is corrupted.");
    case PackageVerdict::OtherModel:
        return QStringLiteral("The firmware version does not match with this model.");
    case PackageVerdict::Accepted:
    case PackageVerdict::Cancelled:
    case PackageVerdict::UnpackCancelled:
        break;
    }
    return QString();
}
