// A preview worker on its own thread, started and stopped by the helper the window uses, whose
// pictures arrive here.
#pragma once

#include "common/workerthread.h"
#include "preview/videostreamthread.h"

#include <QCoreApplication>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QThread>

struct Run : QObject {
    explicit Run(int index = 0)
        : worker(new VideoStreamThread(index)) {
        connect(worker, &VideoStreamThread::onReader, this,
                [this](const QPixmap &picture) { pictures << picture.toImage(); });
    }
    void start() {
        threads.start(worker.data());
        thread = threads.thread();
    }
    void stop() {
        threads.stop();
        QCoreApplication::processEvents(); // the pictures still queued
    }
    QPointer<VideoStreamThread> worker;
    WorkerThread threads;
    QPointer<QThread> thread;
    QList<QImage> pictures;
};
