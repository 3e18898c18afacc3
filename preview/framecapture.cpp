#include "preview/framecapture.h"

#include <opencv2/videoio.hpp>

#include <mutex>

namespace {
std::mutex factoryMutex;
FrameCaptureFactory installedFactory;

class OpenCvFrameCapture final : public FrameCapture {
public:
    OpenCvFrameCapture(int index, int apiPreference)
        : capture(index, apiPreference) {}
    bool isOpened() const override { return capture.isOpened(); }
    double get(int property) const override { return capture.get(property); }
    bool set(int property, double value) override { return capture.set(property, value); }
    bool read(cv::Mat &frame) override { return capture.read(frame); }

private:
    cv::VideoCapture capture;
};
} // namespace

bool FrameCapture::readFrame(CapturedFrame &frame) {
    frame.encoding = CapturedFrame::Encoding::Pixels;
    return read(frame.data);
}

std::unique_ptr<FrameCapture> openFrameCapture(int index) {
    FrameCaptureFactory factory;
    {
        std::lock_guard<std::mutex> lock(factoryMutex);
        factory = installedFactory;
    }
    return factory ? factory(index) : nullptr;
}

void installFrameCaptureFactory(FrameCaptureFactory factory) {
    std::lock_guard<std::mutex> lock(factoryMutex);
    installedFactory = std::move(factory);
}

std::unique_ptr<FrameCapture> openOpenCvFrameCapture(int index, int apiPreference) {
    return std::make_unique<OpenCvFrameCapture>(index, apiPreference);
}
