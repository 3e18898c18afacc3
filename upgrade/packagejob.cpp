#include "upgrade/packagejob.h"

#include <QThread>

PackageJob::PackageJob(const QString &path, const QString &folder, QObject *parent)
    : QObject(parent)
    , packagePath(path)
    , directory(folder) {}

PackageJob::~PackageJob() {
    cancel();
    wait();
}

void PackageJob::start() {
    if (thread)
        return;
    // The results are written by the thread before it ends and read only after finished().
    thread = QThread::create([this] {
        int model = foundModel;
        result = preparePackage(packagePath, model, directory, &cancelRequested, &reason);
        foundModel = model;
    });
    thread->setParent(this);
    connect(thread, &QThread::finished, this, &PackageJob::finished);
    thread->start();
}

void PackageJob::cancel() {
    cancelRequested.store(true);
}

void PackageJob::wait() {
    if (thread)
        thread->wait();
}

bool PackageJob::isRunning() const {
    return thread && thread->isRunning();
}
