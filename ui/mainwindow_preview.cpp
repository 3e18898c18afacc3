// The preview area: the camera and stop icons, the loading animation, and the worker that
// delivers the camera's pictures.
#include "preview/mjpgdecoder.h"
#include "preview/videostreamthread.h"
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMovie>
#include <QThread>
#include <QTimer>

namespace {
constexpr int kLoadingShown_ms = 1000;

// The idle surface's dashed border is the theme's (light and dark sheets give it their own
// colour): with no sheet of its own the surface takes it, also after a theme switch.
void showIdleBorder(QLabel *surface) {
    surface->setStyleSheet(QString());
}

// The idle surface: the dashed border and the hint, no picture.
void showHint(QLabel *surface, const QString &hint) {
    surface->clear();
    showIdleBorder(surface);
    surface->setText(hint);
    surface->repaint();
}
} // namespace

void MainWindow::showIdlePreviewBorder() {
    showIdleBorder(ui->labPreview);
}

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
    if (videoWorker && videoThread.isRunning())
        return;

    videoWorker = new VideoStreamThread(dshowIndex);
    handSurfaceToWorker();
    // Pictures wait in the queue until the window takes them; those of a worker that has been
    // stopped since may belong to a camera that is gone or to the one before a switch. Only the
    // running worker's pictures reach the surface; with no worker running a late picture brings
    // the hint back.
    const quint64 run = ++previewRunSerial;
    connect(videoWorker, &VideoStreamThread::onReader, this, [this, run](const QPixmap &picture) {
        if (videoWorker && run == previewRunSerial)
            slotOnReader(picture);
        else if (!videoWorker)
            slotOnReader(QPixmap());
    });
    videoThread.start(videoWorker);

    ui->labPreview->setStyleSheet(QStringLiteral("border:0px;"));
    previewRunning = true;
    ui->labelloading->hide();
    ui->labelCamera->hide();
}

void MainWindow::stopPreviewWorker() {
    if (!videoWorker || !videoThread.isRunning())
        return;
    // Returns once the thread has ended; the worker has released the capture and deleted itself
    // by then.
    videoThread.stop();
    videoWorker = nullptr;
    // The last picture shown is not left standing for a camera that is no longer previewed (or
    // no longer there); pictures still queued are dropped or bring the hint back as well.
    showHint(ui->labPreview, previewHint);
}

void MainWindow::previewStopPressed() {
    previewRunning = false;
    stopCameraPreView();
    showIdlePreviewBorder();
}

void MainWindow::previewStartPressed() {
    ui->labelCamera->hide();
    currentLoadingMovie()->start();
    ui->labelloading->show();
    QTimer::singleShot(kLoadingShown_ms, this, &MainWindow::slotStartPreview);
}

void MainWindow::stopCameraPreView() {
    if (videoWorker && videoThread.isRunning()) {
        qDebug() << "stop camera!";
        stopPreviewWorker();
    }
    ui->labelloading->hide();
    ui->labelCamera->show();
    ui->labelStop->hide();
}

void MainWindow::handSurfaceToWorker() {
    if (videoWorker)
        videoWorker->setSurfaceSize(
            surfaceInDevicePixels(previewSize, ui->labPreview->devicePixelRatioF()));
}

void MainWindow::slotOnReader(QPixmap qpixmap) {
    // Pictures still queued when the preview stopped or the camera was lost restore the hint.
    if (qpixmap.isNull() || cameraLost || !previewRunning) {
        showHint(ui->labPreview, previewHint);
        return;
    }
    // The surface may have been resized or moved to a screen of another pixel ratio since the
    // last picture; the worker decodes the next frames for what it is now.
    handSurfaceToWorker();
    const qreal ratio = ui->labPreview->devicePixelRatioF();
    QPixmap picture = qpixmap.scaled(surfaceInDevicePixels(previewSize, ratio), Qt::KeepAspectRatio,
                                     Qt::SmoothTransformation);
    picture.setDevicePixelRatio(ratio);
    ui->labPreview->setPixmap(picture);
}
