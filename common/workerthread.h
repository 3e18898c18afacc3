// One worker object on a QThread of its own, started, stopped and joined the one way every worker
// of the program is (preview, abnormal-state watcher, upgrade; the window's and the command-line
// program's). A worker has a slot start() that runs its work, a signal workFinished() once that
// work has ended, and stop(), which ends a worker that would otherwise run on.
//
// The worker deletes itself on its thread once its work has finished; its destruction quits the
// thread at once (directly, not through the starter's event loop, so that the starter may wait
// for it); a thread that ended while nobody waited for it deletes itself later.
#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>

#include <functional>

class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;
    // Never cuts a worker short: waits for one that is still running.
    ~WorkerThread() { join(); }

    // Moves the worker (which has no parent) onto a new thread and starts it there. Connect the
    // worker's signals before: its work may begin before this returns. The worker is not to be
    // touched after its work has finished, except through stop() while this object runs it.
    template <typename Worker>
    void start(Worker *worker) {
        join();
        auto *created = new QThread();
        worker->moveToThread(created);
        QObject::connect(created, &QThread::started, worker, &Worker::start);
        QObject::connect(created, &QThread::finished, created, &QObject::deleteLater);
        QObject::connect(worker, &Worker::workFinished, worker, &QObject::deleteLater);
        QObject::connect(worker, &QObject::destroyed, created, &QThread::quit,
                         Qt::DirectConnection);
        stopWorker = [worker] { worker->stop(); };
        current = created;
        created->start(QThread::InheritPriority);
    }

    // For a worker that runs until it is told to stop: tells it to, and returns once its thread
    // has ended. By then the worker has deleted itself on its thread (its deferred deletion runs
    // before the thread finishes), and the thread object is deleted here, which also drops its
    // own pending deferred deletion. No-op when nothing runs.
    void stop() {
        if (!current)
            return;
        stopWorker();
        current->quit();
        join();
    }

    // Waits for a worker that ends by itself (and its thread) to end; no-op when nothing runs.
    void join() {
        stopWorker = nullptr;
        if (!current)
            return;
        current->wait();
        delete current.data();
        current.clear();
    }

    // A worker was started and has not been joined or stopped since. A thread that has ended
    // and deleted itself through the event loop no longer counts.
    bool isRunning() const { return !current.isNull(); }
    // The running worker's thread; null when none runs.
    QThread *thread() const { return current.data(); }

private:
    QPointer<QThread> current;
    std::function<void()> stopWorker;
};
