// The camera's moving test picture: colour bars, a bar sweeping across them, a reticle that
// follows pan, tilt and zoom, and a caption with the camera's name and the frame number.
#include "sim/simcamera.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <string>
#include <vector>

namespace {
// 75 % bars, in BGR order.
const cv::Scalar barColours[] = {
    {191, 191, 191}, {0, 191, 191}, {191, 191, 0}, {0, 191, 0},
    {191, 0, 191},   {0, 0, 191},   {191, 0, 0},
};
constexpr int barCount = static_cast<int>(sizeof(barColours) / sizeof(barColours[0]));

// Pan and tilt ranges of the family, in degrees; zoom 100 is wide.
constexpr double panRange = 170.0;
constexpr double tiltRange = 90.0;

void paintPicture(cv::Mat &canvas, const std::string &name, const SimPosition &position,
                  long long frameNumber) {
    const int width = canvas.cols;
    const int height = canvas.rows;
    const int barsHeight = height * 3 / 4;

    for (int i = 0; i < barCount; ++i) {
        const int left = width * i / barCount;
        const int right = width * (i + 1) / barCount;
        cv::rectangle(canvas, cv::Rect(left, 0, right - left, barsHeight), barColours[i],
                      cv::FILLED);
    }
    canvas(cv::Rect(0, barsHeight, width, height - barsHeight)).setTo(cv::Scalar(40, 30, 20));

    // One sweep across the picture every four seconds at 30 frames per second.
    const int sweepWidth = std::max(2, width / 40);
    const long long period = 120;
    const int sweepX =
        static_cast<int>((frameNumber % period) * (width + sweepWidth) / period) - sweepWidth;
    cv::rectangle(canvas, cv::Rect(sweepX, 0, sweepWidth, barsHeight), cv::Scalar(255, 255, 255),
                  cv::FILLED);

    const double scale = std::max(1, height) / 1080.0;
    const cv::Point centre(
        static_cast<int>(width / 2.0 + position.pan_deg / panRange * width / 2.0),
        static_cast<int>(barsHeight / 2.0 - position.tilt_deg / tiltRange * barsHeight / 2.0));
    const int radius =
        std::max(2, static_cast<int>(barsHeight / 3.0 * 100.0 / std::max(100, position.zoom)));
    const int thickness = std::max(1, static_cast<int>(4 * scale));
    cv::circle(canvas, centre, radius, cv::Scalar(0, 0, 0), thickness, cv::LINE_8);
    cv::line(canvas, centre - cv::Point(radius, 0), centre + cv::Point(radius, 0),
             cv::Scalar(0, 0, 0), thickness, cv::LINE_8);
    cv::line(canvas, centre - cv::Point(0, radius), centre + cv::Point(0, radius),
             cv::Scalar(0, 0, 0), thickness, cv::LINE_8);

    const double fontScale = 1.6 * scale;
    const int textThickness = std::max(1, static_cast<int>(3 * scale));
    const int baseline = barsHeight + static_cast<int>((height - barsHeight) * 0.45);
    const int margin = static_cast<int>(40 * scale);
    cv::putText(canvas, name, cv::Point(margin, baseline), cv::FONT_HERSHEY_SIMPLEX, fontScale,
                cv::Scalar(255, 255, 255), textThickness, cv::LINE_AA);
    const std::string caption =
        "frame " + std::to_string(frameNumber) + "  pan " + std::to_string(position.pan_deg) +
        "  tilt " + std::to_string(position.tilt_deg) + "  zoom " + std::to_string(position.zoom);
    cv::putText(canvas, caption,
                cv::Point(margin, baseline + static_cast<int>((height - barsHeight) * 0.35)),
                cv::FONT_HERSHEY_SIMPLEX, fontScale * 0.75, cv::Scalar(200, 200, 200),
                textThickness, cv::LINE_AA);
}

// Brings an 8-bit BGR picture to any channel count and depth.
void convertPicture(const cv::Mat &bgr, cv::Mat &frame, int type) {
    const int channels = CV_MAT_CN(type);
    const int depth = CV_MAT_DEPTH(type);
    cv::Mat eightBit;
    if (channels == 3) {
        eightBit = bgr;
    } else if (channels == 4) {
        cv::cvtColor(bgr, eightBit, cv::COLOR_BGR2BGRA);
    } else {
        cv::Mat gray;
        cv::cvtColor(bgr, gray, cv::COLOR_BGR2GRAY);
        if (channels == 1)
            eightBit = gray;
        else
            cv::merge(std::vector<cv::Mat>(static_cast<std::size_t>(channels), gray), eightBit);
    }
    double scale = 1.0;
    switch (depth) {
    case CV_8S:
        scale = 0.5;
        break;
    case CV_16U:
        scale = 257.0;
        break;
    case CV_16S:
        scale = 128.0;
        break;
    case CV_32S:
        scale = 65793.0;
        break;
    case CV_16F:
    case CV_32F:
    case CV_64F:
        scale = 1.0 / 255.0;
        break;
    default:
        break;
    }
    eightBit.convertTo(frame, depth, scale);
}
} // namespace

void SimCamera::renderFrame(cv::Mat &frame, int width, int height, long long frameNumber) const {
    if (width <= 0 || height <= 0) {
        frame.release();
        return;
    }
    ++paintedFrames;
    const int type = CV_MAT_TYPE(camFaults.frameType);
    if (type == CV_8UC3) {
        // The common case paints straight into the caller's buffer, which a reader reuses.
        frame.create(height, width, CV_8UC3);
        paintPicture(frame, cfg.productName, currentPosition, frameNumber);
        return;
    }
    thread_local cv::Mat canvas;
    canvas.create(height, width, CV_8UC3);
    paintPicture(canvas, cfg.productName, currentPosition, frameNumber);
    convertPicture(canvas, frame, type);
}

bool SimCamera::offersMjpg() const {
    return !camFaults.noMjpg && CV_MAT_TYPE(camFaults.frameType) == CV_8UC3;
}

void SimCamera::compressFrame(const cv::Mat &picture, cv::Mat &jpeg, const SimCameraFaults &faults,
                              long long frameNumber) {
    // The quality of a typical camera's stream.
    constexpr int quality = 85;
    std::vector<uchar> bytes;
    if (picture.empty() ||
        !cv::imencode(".jpg", picture, bytes, {cv::IMWRITE_JPEG_QUALITY, quality})) {
        jpeg.release();
        return;
    }
    const auto isNth = [frameNumber](int every) {
        return every > 0 && (frameNumber + 1) % every == 0;
    };
    if (isNth(faults.truncateEveryNthFrame)) {
        bytes.resize(bytes.size() / 2);
    } else if (isNth(faults.loseChunkEveryNthFrame)) {
        // A lost bulk transfer: a few kilobytes of the entropy-coded data are missing.
        const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 3);
        bytes.erase(from, from + static_cast<std::ptrdiff_t>(bytes.size() / 8));
    }
    cv::Mat(1, static_cast<int>(bytes.size()), CV_8UC1, bytes.data()).copyTo(jpeg);
}
