// Seam: a capture device opened by index that delivers frames, with the properties of
// cv::VideoCapture (cv::CAP_PROP_FPS, cv::CAP_PROP_FRAME_WIDTH, ...).
#pragma once

#include <opencv2/core/mat.hpp>

#include <functional>
#include <memory>

// One frame as the capture hands it over.
struct CapturedFrame {
    enum class Encoding {
        Pixels, // a picture: rows x columns of any cv type, as read() gives it
        Mjpg,   // the camera's compressed MJPG frame as it arrived: one row of bytes
    };
    Encoding encoding = Encoding::Pixels;
    cv::Mat data;
};

class FrameCapture {
public:
    virtual ~FrameCapture() = default;
    virtual bool isOpened() const = 0;
    virtual double get(int property) const = 0;
    virtual bool set(int property, double value) = 0;
    // Waits for the next frame; false (and an empty frame) when none can be read.
    virtual bool read(cv::Mat &frame) = 0;
    // Like read(), but a capture that receives MJPG may hand the compressed frame over instead of
    // decoding it. By default, read()'s pixels.
    virtual bool readFrame(CapturedFrame &frame);
};

using FrameCaptureFactory = std::function<std::unique_ptr<FrameCapture>(int index)>;

// Opens the capture device with the given index through the installed factory.
std::unique_ptr<FrameCapture> openFrameCapture(int index);
// Installs a factory; an empty one restores the default, which opens nothing.
void installFrameCaptureFactory(FrameCaptureFactory factory);

// Opens a capture device through the operating system's capture back end (in the native library).
std::unique_ptr<FrameCapture> openNativeFrameCapture(int index);

// A FrameCapture over cv::VideoCapture(index, apiPreference); never null, possibly not opened.
// The platform files choose the back end.
std::unique_ptr<FrameCapture> openOpenCvFrameCapture(int index, int apiPreference);
