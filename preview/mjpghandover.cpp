#include "preview/mjpghandover.h"

#include <QtGlobal>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

namespace {
const double mjpgFourcc = cv::VideoWriter::fourcc('M', 'J', 'P', 'G');

class MjpgHandover final : public FrameCapture {
public:
    explicit MjpgHandover(std::unique_ptr<FrameCapture> capture)
        : inner(std::move(capture)) {
        followFormat();
    }

    bool isOpened() const override { return inner->isOpened(); }
    double get(int property) const override { return inner->get(property); }

    bool set(int property, double value) override {
        const bool done = inner->set(property, value);
        // Any of these may renegotiate the stream and with it the format.
        if (property == cv::CAP_PROP_FOURCC || property == cv::CAP_PROP_FRAME_WIDTH ||
            property == cv::CAP_PROP_FRAME_HEIGHT || property == cv::CAP_PROP_FPS)
            followFormat();
        return done;
    }

    bool read(cv::Mat &frame) override {
        if (!readFrame(current)) {
            frame.release();
            return false;
        }
        if (current.encoding == CapturedFrame::Encoding::Pixels)
            frame = current.data;
        else
            cv::imdecode(current.data, cv::IMREAD_COLOR, &frame);
        return !frame.empty();
    }

    bool readFrame(CapturedFrame &frame) override {
        if (!inner->read(frame.data))
            return false;
        // A back end that decoded after all (a format change it made on its own) gives pixels.
        const bool compressed = handingOver && frame.data.rows == 1 && frame.data.type() == CV_8UC1;
        frame.encoding =
            compressed ? CapturedFrame::Encoding::Mjpg : CapturedFrame::Encoding::Pixels;
        return true;
    }

private:
    // Keeps the back end's RGB conversion off exactly while the stream is MJPG.
    void followFormat() {
        if (!inner->isOpened())
            return;
        const bool mjpg = inner->get(cv::CAP_PROP_FOURCC) == mjpgFourcc;
        if (mjpg == handingOver)
            return;
        if (!inner->set(cv::CAP_PROP_CONVERT_RGB, mjpg ? 0.0 : 1.0))
            return;
        handingOver = mjpg;
        qInfo(mjpg ? "Capture: MJPG frames reach the preview undecoded"
                   : "Capture: the back end decodes the frames");
    }

    std::unique_ptr<FrameCapture> inner;
    bool handingOver = false;
    CapturedFrame current;
};
} // namespace

std::unique_ptr<FrameCapture> handOverMjpg(std::unique_ptr<FrameCapture> capture) {
    if (!capture)
        return nullptr;
    return std::make_unique<MjpgHandover>(std::move(capture));
}
