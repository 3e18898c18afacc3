#include "preview/videostreamthread.h"

#include "common/clock.h"
#include "preview/yuyvconverter.h"

#include <QDebug>
#include <QMutexLocker>

#include <algorithm>
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
    if (std::trunc(capture->get(CaptureProperty::FrameRate)) != wantedFps)
        capture->set(CaptureProperty::FrameRate, wantedFps);
    const double width = capture->get(CaptureProperty::FrameWidth);
    const double height = capture->get(CaptureProperty::FrameHeight);
    if (width != wantedWidth || height != wantedHeight) {
        capture->set(CaptureProperty::FrameWidth, wantedWidth);
        capture->set(CaptureProperty::FrameHeight, wantedHeight);
    }
    if (capture->get(CaptureProperty::FourCc) != mjpgFourCc)
        capture->set(CaptureProperty::FourCc, mjpgFourCc);
}

VideoStreamThread::~VideoStreamThread() = default;

QImage VideoStreamThread::pixelsToImage(const CapturedFrame &frame) {
    const uchar *data = frame.bytes.data();
    const std::size_t rows = static_cast<std::size_t>(std::max(0, frame.height));
    const bool whole = frame.width > 0 && frame.stride > 0 &&
                       frame.bytes.size() >= rows * static_cast<std::size_t>(frame.stride);
    switch (whole ? frame.pixelFormat : CapturedFrame::PixelFormat::Other) {
    case CapturedFrame::PixelFormat::Gray8:
        return QImage(data, frame.width, frame.height, frame.stride, QImage::Format_Grayscale8);
    case CapturedFrame::PixelFormat::Bgr24:
        return QImage(data, frame.width, frame.height, frame.stride, QImage::Format_RGB888)
            .rgbSwapped();
    case CapturedFrame::PixelFormat::Bgra32:
        return QImage(data, frame.width, frame.height, frame.stride, QImage::Format_ARGB32);
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

void VideoStreamThread::skipDamagedFrame(const char *reason) {
    // A busy bus damages frames in bursts; the picture simply waits for the next good one.
    const Milliseconds now = activeClock().now();
    if (lastDamagedFrameAt < Milliseconds(0) || now - lastDamagedFrameAt >= damagedBurstGap)
        qWarning("Skipping damaged %s frames: %s",
                 frame.encoding == CapturedFrame::Encoding::Yuyv ? "YUYV" : "MJPG", reason);
    lastDamagedFrameAt = now;
}

QImage VideoStreamThread::frameToImage() {
    if (frame.damaged) {
        skipDamagedFrame("the driver marked the frame as damaged");
        return QImage();
    }
    switch (frame.encoding) {
    case CapturedFrame::Encoding::Pixels:
        return pixelsToImage(frame);
    case CapturedFrame::Encoding::Yuyv: {
        // Like an MJPG frame, converted only as large as the surface shows it.
        const int shownWidth =
            MjpgDecoder::decodedSize(QSize(frame.width, frame.height), surfaceSize()).width();
        int step = 8;
        while (step > 1 && (frame.width + step - 1) / step != shownWidth)
            step /= 2;
        QImage image = yuyvToImage(frame.bytes.data(), frame.bytes.size(), frame.width,
                                   frame.height, frame.stride, step);
        if (image.isNull())
            skipDamagedFrame("the frame is shorter than its size");
        return image;
    }
    case CapturedFrame::Encoding::Mjpg:
        break;
    }
    QString error;
    QImage image = decoder.decode(frame.bytes.data(), frame.bytes.size(), surfaceSize(), error);
    if (image.isNull())
        skipDamagedFrame(qUtf8Printable(error));
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
                frameRead = capture->read(frame) && (!frame.bytes.empty() || frame.damaged);
                if (frameRead) {
                    // An image on the frame's pixels becomes a pixmap of its own before the next
                    // read reuses that buffer; a converted picture is the worker's and moves in.
                    QImage image = frameToImage();
                    if (!image.isNull())
                        emit onReader(frame.encoding == CapturedFrame::Encoding::Pixels
                                          ? QPixmap::fromImage(image)
                                          : QPixmap::fromImage(std::move(image)));
                }
            }
        }
        if (!frameRead)
            activeClock().sleepFor(failedReadPause);
    }
    {
        std::lock_guard<std::mutex> lock(captureMutex);
        capture.reset();
    }
    frame.bytes = std::vector<unsigned char>();
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
    {
        // A read waiting for the camera returns at once instead of after its next frame.
        std::lock_guard<std::mutex> lock(captureMutex);
        if (capture)
            capture->interrupt();
    }
    QMutexLocker locker(&mutex);
    running = false;
}
