#include "preview/framecapture.h"

#include <opencv2/videoio.hpp>

#include <cstring>

namespace {
// The DirectShow filter with this enumeration index, through OpenCV. Its DirectShow back end
// always has the graph decode MJPG into 24-bit BGR before the frame reaches it, so there is no
// compressed frame to hand over: each frame leaves here as decoded pixels.
class DirectShowCapture final : public FrameCapture {
public:
    explicit DirectShowCapture(int index)
        : capture(index, cv::CAP_DSHOW) {}
    bool isOpened() const override { return capture.isOpened(); }
    double get(CaptureProperty property) const override {
        return capture.get(static_cast<int>(property));
    }
    bool set(CaptureProperty property, double value) override {
        return capture.set(static_cast<int>(property), value);
    }
    bool read(CapturedFrame &frame) override {
        frame.bytes.clear();
        frame.damaged = false;
        if (!capture.read(mat) || mat.empty())
            return false;
        frame.encoding = CapturedFrame::Encoding::Pixels;
        frame.pixelFormat = pixelFormatOf(mat.type());
        frame.width = mat.cols;
        frame.height = mat.rows;
        frame.stride = static_cast<int>(mat.cols * mat.elemSize());
        ++frame.sequence;
        // The rows, without the padding a matrix may have between them.
        frame.bytes.resize(static_cast<std::size_t>(frame.stride) * frame.height);
        for (int row = 0; row < mat.rows; ++row)
            std::memcpy(frame.bytes.data() + static_cast<std::size_t>(frame.stride) * row,
                        mat.ptr(row), static_cast<std::size_t>(frame.stride));
        return true;
    }

private:
    static CapturedFrame::PixelFormat pixelFormatOf(int type) {
        switch (type) {
        case CV_8UC1:
            return CapturedFrame::PixelFormat::Gray8;
        case CV_8UC3:
            return CapturedFrame::PixelFormat::Bgr24;
        case CV_8UC4:
            return CapturedFrame::PixelFormat::Bgra32;
        default:
            return CapturedFrame::PixelFormat::Other;
        }
    }

    cv::VideoCapture capture;
    cv::Mat mat;
};
} // namespace

std::unique_ptr<FrameCapture> openNativeFrameCapture(int index) {
    return std::make_unique<DirectShowCapture>(index);
}
