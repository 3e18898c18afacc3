// Prepares a chosen firmware package (preparePackage: clean, unpack, check, detect the model) on a
// thread of its own, so that the thread that asked keeps serving its events, and lets that thread
// cancel the unpacking. finished() arrives on the thread that owns the job.
#pragma once

#include "upgrade/packagefiles.h"

#include <QObject>
#include <QString>

#include <atomic>

class QThread;

class PackageJob : public QObject {
    Q_OBJECT

public:
    PackageJob(const QString &packagePath, const QString &directory, QObject *parent = nullptr);
    // Cancels a job that still runs and waits for its thread.
    ~PackageJob() override;

    void start();
    // Stops the unpacking at its next block; a package already unpacked is still checked.
    void cancel();
    // Blocks until the job has ended (at once when it never started).
    void wait();
    bool isRunning() const;

    // Valid once finished() has come.
    PackageOutcome outcome() const { return result; }
    int model() const { return foundModel; }
    // Why the package was refused; empty when it is ready.
    QString refusalReason() const { return reason; }

signals:
    void finished();

private:
    const QString packagePath;
    const QString directory;
    std::atomic<bool> cancelRequested{false};
    PackageOutcome result = PackageOutcome::BadLayout;
    int foundModel = -1;
    QString reason;
    QThread *thread = nullptr;
};
