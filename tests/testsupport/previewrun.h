// A preview worker on its own thread, wired as the window wires it, whose pictures arrive here.
#pragma once

#include "preview/videostreamthread.h"
#include "preview/workerthread.h"

#include <QCoreApplication>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QThread>

struct Run : QObject {
    explicit Run(int index = 0)
        : worker(new VideoStreamThread(index))
        , thread(new QThread) {
        worker->moveToThread(thread);
        connectWorkerThread(worker.data(), thread.data());
        connect(worker, &VideoStreamThread::onReader, this,
                [this](const QPixmap &picture) { pictures << picture.toImage(); });
    }
    void stop() {
        stopWorkerThread(worker.data(), thread.data());
        QCoreApplication::processEvents(); // the pictures still queued
    }
    QPointer<VideoStreamThread> worker;
    QPointer<QThread> thread;
    QList<QImage> pictures;
};
