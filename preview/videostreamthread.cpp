#include "preview/videostreamthread.h"

#include "common/clock.h"

#include <QDebug>
#include <QMutexLocker>

#include <opencv2/videoio.hpp>

#include <cmath>

namespace {
constexpr double wantedFps = 30.0;
constexpr double wantedWidth = 1920.0;
constexpr double wantedHeight = 1080.0;
// One frame time at the wanted rate. A capture that cannot deliver (never opened, device gone)
// fails its reads at once; waiting this long after a failure keeps the loop from spinning.
constexpr Milliseconds failedReadPause{33};
// Damaged frames less than this apart belong to one burst, which is logged once.
constexpr Milliseconds damagedBurstGap{1000};
} // namespace

VideoStreamThread::VideoStreamThread(int index, QObject *parent)
    : QObject(parent)
    , running(true)
    , cameraIndex(index)
    , capture(openFrameCapture(index)) {
    if (!capture || !capture->isOpened()) {
        qDebug("Open camera failed!");
        return;
    }
    if (std::trunc(capture->get(cv::CAP_PROP_FPS)) != wantedFps)
        capture->set(cv::CAP_PROP_FPS, wantedFps);
    const double width = capture->get(cv::CAP_PROP_FRAME_WIDTH);
    const double height = capture->get(cv::CAP_PROP_FRAME_HEIGHT);
    if (width != wantedWidth || height != wantedHeight) {
        capture->set(cv::CAP_PROP_FRAME_WIDTH, wantedWidth);
        capture->set(cv::CAP_PROP_FRAME_HEIGHT, wantedHeight);
    }
    const double mjpg = cv::VideoWriter::fourcc('M', 'J', 'P', 'G');
    if (capture->get(cv::CAP_PROP_FOURCC) != mjpg)
        capture->set(cv::CAP_PROP_FOURCC, mjpg);
}

VideoStreamThread::~VideoStreamThread() = default;

QImage VideoStreamThread::matToImage(const cv::Mat &mat) {
    const uchar *data = mat.data;
    const int bytesPerLine = static_cast<int>(mat.step);
    switch (mat.type()) {
    case CV_8UC1:
        return QImage(data, mat.cols, mat.rows, bytesPerLine, QImage::Format_Grayscale8);
    case CV_8UC3:
        return QImage(data, mat.cols, mat.rows, bytesPerLine, QImage::Format_RGB888).rgbSwapped();
    case CV_8UC4:
        return QImage(data, mat.cols, mat.rows, bytesPerLine, QImage::Format_ARGB32);
    default:
        qDebug("ERROR: Mat could not be converted to QImage.");
        return QImage();
    }
}

void VideoStreamThread::setSurfaceSize(QSize size_px) {
    std::lock_guard<std::mutex> lock(surfaceMutex);
    surface_px = size_px;
}

QSize VideoStreamThread::surfaceSize() const {
    std::lock_guard<std::mutex> lock(surfaceMutex);
    return surface_px;
}

QImage VideoStreamThread::frameToImage() {
    if (frame.encoding == CapturedFrame::Encoding::Pixels)
        return matToImage(frame.data);
    QString error;
    QImage image = decoder.decode(frame.data.data, frame.data.total() * frame.data.elemSize(),
                                  surfaceSize(), error);
    if (image.isNull()) {
        // A busy bus damages frames in bursts; the picture simply waits for the next good one.
        const Milliseconds now = activeClock().now();
        if (lastDamagedFrameAt < Milliseconds(0) || now - lastDamagedFrameAt >= damagedBurstGap)
            qWarning("Skipping damaged MJPG frames: %s", qUtf8Printable(error));
        lastDamagedFrameAt = now;
    }
    return image;
}

void VideoStreamThread::start() {
    emit workStart();
    doWork();
}

void VideoStreamThread::doWork() {
    for (;;) {
        bool frameRead = false;
        // A stop under way wins over the next iteration: the mutex gives no turn to a waiter, so
        // a loop that takes it again at once could keep stop() out for ever.
        if (stopRequested.load())
            break;
        {
            QMutexLocker locker(&mutex);
            if (!running)
                break;
            if (capture) {
                frameRead = capture->readFrame(frame) && !frame.data.empty();
                if (frameRead) {
                    // An image on the frame's pixels becomes a pixmap of its own before the next
                    // read reuses that buffer; a decoded picture is the worker's and moves in.
                    QImage image = frameToImage();
                    if (!image.isNull())
                        emit onReader(frame.encoding == CapturedFrame::Encoding::Mjpg
                                          ? QPixmap::fromImage(std::move(image))
                                          : QPixmap::fromImage(image));
                }
            }
        }
        if (!frameRead)
            activeClock().sleepFor(failedReadPause);
    }
    capture.reset();
    frame.data.release();
    qDebug("Exit video stream thread.");
    {
        // A stop() still under way finishes with this object before it can be deleted.
        std::lock_guard<std::mutex> call(stopCall);
    }
    emit workFinished();
}

void VideoStreamThread::stop() {
    std::lock_guard<std::mutex> call(stopCall);
    stopRequested.store(true);
    QMutexLocker locker(&mutex);
    running = false;
}
