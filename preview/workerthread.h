// How a worker object (signals workStart/workFinished, slots start/doWork/stop) runs on its own
// QThread.
#pragma once

#include <QObject>
#include <QThread>

// The thread's start runs the worker; a worker whose work is finished deletes itself on its
// thread; its destruction ends the thread's event loop; the ended thread deletes itself later.
// Call before thread->start().
template <typename Worker>
void connectWorkerThread(Worker *worker, QThread *thread) {
    QObject::connect(thread, &QThread::started, worker, &Worker::start);
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    QObject::connect(worker, &Worker::workFinished, worker, &QObject::deleteLater);
    QObject::connect(worker, &QObject::destroyed, thread, &QThread::quit);
}

// Stops a worker wired by connectWorkerThread() and returns once its thread has ended. By then the
// worker has deleted itself on its thread (its deferred deletion runs before the thread finishes),
// and the thread object is deleted here, which also drops its own pending deferred deletion. Both
// pointers are dangling afterwards.
template <typename Worker>
void stopWorkerThread(Worker *worker, QThread *thread) {
    worker->stop();
    thread->quit();
    thread->wait();
    delete thread;
}
