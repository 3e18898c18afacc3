// The preview worker: opens a camera by capture index, reads its frames in a loop on the thread
// it was moved to and hands each one out as a QPixmap.
#pragma once

#include "common/clock.h"
#include "preview/framecapture.h"
#include "preview/mjpgdecoder.h"

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QPixmap>

#include <atomic>
#include <memory>
#include <mutex>

class VideoStreamThread : public QObject {
    Q_OBJECT

public:
    // Opens the capture on the calling thread and asks for 1920 x 1080 MJPG at 30 frames per
    // second. The worker is ready to run from here on: a stop() before start() ends it at once.
    explicit VideoStreamThread(int index, QObject *parent = nullptr);
    ~VideoStreamThread() override;

    int captureIndex() const { return cameraIndex; }

    // Thread-safe: the size of the surface that shows the pictures, in device pixels. MJPG frames
    // are decoded just large enough to cover it; an empty size (the default) means full size.
    void setSurfaceSize(QSize surface_px);

    // An image on a frame of decoded pixels: 8-bit gray and 8-bit BGRA share the frame's bytes
    // (valid only as long as the frame is untouched), 8-bit BGR gives an RGB copy. Any other
    // layout gives a null image.
    static QImage pixelsToImage(const CapturedFrame &frame);

signals:
    void workFinished();
    void workStart();
    void onReader(QPixmap pixmap);

public slots:
    void start();
    // Returns after stop(); the capture is released when it returns.
    void doWork();
    // Thread-safe; returns once the frame being read, if any, has been handed out.
    void stop();

private:
    // The picture of one frame; null (and logged once per burst) for a damaged frame.
    QImage frameToImage();
    void skipDamagedFrame(const char *reason);
    QSize surfaceSize() const;

    QMutex mutex;
    bool running = false;
    std::atomic<bool> stopRequested{false};
    int cameraIndex;
    // Guards the capture's lifetime against stop(), which interrupts a read from another thread.
    std::mutex captureMutex;
    std::unique_ptr<FrameCapture> capture;
    CapturedFrame frame;
    MjpgDecoder decoder;
    // When the last damaged frame came; the first of a burst is logged.
    Milliseconds lastDamagedFrameAt{-1};
    mutable std::mutex surfaceMutex;
    QSize surface_px;
    // Held by stop() for as long as it uses the object; the loop waits for it before it
    // announces its end, after which the object may be deleted at once.
    std::mutex stopCall;
};
