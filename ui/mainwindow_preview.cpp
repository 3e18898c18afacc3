// The preview area: the camera and stop icons, the loading animation, and the worker that
// delivers the camera's pictures.
#include "preview/videostreamthread.h"
#include "preview/workerthread.h"
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMovie>
#include <QThread>
#include <QTimer>

namespace {
constexpr int kLoadingShown_ms = 1000;
const char kIdleBorder[] = "border:2px dashed #dadfe4;";
} // namespace

QMovie *MainWindow::currentLoadingMovie() const {
    return styleIndex != 0 ? loadingMovieDark : loadingMovieLight;
}

void MainWindow::slotStartPreview() {
    qDebug() << "currentRow" << ui->listWidgetCamera->currentRow();
    if (!controlsReady) {
        previewRunning = false;
        currentLoadingMovie()->stop();
        ui->labelloading->hide();
        ui->labelCamera->show();
        return;
    }
    // A refresh that keeps the same camera keeps its running worker.
    if (videoWorker && videoThread)
        return;

    videoThread = new QThread();
    videoWorker = new VideoStreamThread(dshowIndex);
    videoWorker->moveToThread(videoThread);
    connectWorkerThread(videoWorker, videoThread);
    connect(videoWorker, &VideoStreamThread::onReader, this, &MainWindow::slotOnReader);
    videoThread->start(QThread::InheritPriority);

    ui->labPreview->setStyleSheet(QStringLiteral("border:0px;"));
    previewRunning = true;
    ui->labelloading->hide();
    ui->labelCamera->hide();
}

void MainWindow::stopPreviewWorker() {
    if (!videoWorker || !videoThread)
        return;
    stopWorkerThread(videoWorker, videoThread);
    videoWorker = nullptr;
    videoThread = nullptr;
}

void MainWindow::previewStopPressed() {
    previewRunning = false;
    if (videoWorker && videoThread) {
        qDebug() << "stop camera!";
        stopPreviewWorker();
    }
    ui->labelloading->hide();
    ui->labelCamera->show();
    ui->labelStop->hide();
    ui->labPreview->setStyleSheet(QString::fromLatin1(kIdleBorder));
}

void MainWindow::previewStartPressed() {
    ui->labelCamera->hide();
    currentLoadingMovie()->start();
    ui->labelloading->show();
    QTimer::singleShot(kLoadingShown_ms, this, &MainWindow::slotStartPreview);
}

void MainWindow::stopCameraPreView() {
    if (videoWorker && videoThread) {
        qDebug() << "stop camera!";
        stopPreviewWorker();
    }
    ui->labelloading->hide();
    ui->labelCamera->show();
    ui->labelStop->hide();
}

void MainWindow::slotOnReader(QPixmap qpixmap) {
    // Pictures still queued when the preview stopped or the camera was lost restore the hint.
    if (qpixmap.isNull() || cameraLost || !previewRunning) {
        ui->labPreview->clear();
        ui->labPreview->setStyleSheet(QString::fromLatin1(kIdleBorder));
        ui->labPreview->setText(previewHint);
        ui->labPreview->repaint();
        return;
    }
    ui->labPreview->setPixmap(
        qpixmap.scaled(previewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}
