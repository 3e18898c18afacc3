// The camera's moving test picture: colour bars, a bar sweeping across them, a reticle that
// follows pan, tilt and zoom, and a caption with the camera's name and the frame number; and the
// two forms a camera streams it in, MJPG and YUYV.
#include "sim/simcamera.h"

#include <QGuiApplication>
#include <QPainter>

#include <turbojpeg.h>

#include <algorithm>
#include <string>

namespace {
// 75 % bars.
const QColor barColours[] = {
    {191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
    {191, 0, 191},   {191, 0, 0},   {0, 0, 191},
};
constexpr int barCount = static_cast<int>(sizeof(barColours) / sizeof(barColours[0]));

// Pan and tilt ranges of the family, in degrees; zoom 100 is wide.
constexpr double panRange = 170.0;
constexpr double tiltRange = 90.0;

void paintPicture(QImage &canvas, const std::string &name, const SimPosition &position,
                  long long frameNumber) {
    const int width = canvas.width();
    const int height = canvas.height();
    const int barsHeight = height * 3 / 4;
    QPainter painter(&canvas);

    for (int i = 0; i < barCount; ++i) {
        const int left = width * i / barCount;
        const int right = width * (i + 1) / barCount;
        painter.fillRect(left, 0, right - left, barsHeight, barColours[i]);
    }
    painter.fillRect(0, barsHeight, width, height - barsHeight, QColor(20, 30, 40));

    // One sweep across the picture every four seconds at 30 frames per second.
    const int sweepWidth = std::max(2, width / 40);
    const long long period = 120;
    const int sweepX =
        static_cast<int>((frameNumber % period) * (width + sweepWidth) / period) - sweepWidth;
    painter.fillRect(sweepX, 0, sweepWidth, barsHeight, Qt::white);

    const double scale = std::max(1, height) / 1080.0;
    const QPoint centre(
        static_cast<int>(width / 2.0 + position.pan_deg / panRange * width / 2.0),
        static_cast<int>(barsHeight / 2.0 - position.tilt_deg / tiltRange * barsHeight / 2.0));
    const int radius =
        std::max(2, static_cast<int>(barsHeight / 3.0 * 100.0 / std::max(100, position.zoom)));
    painter.setPen(QPen(Qt::black, std::max(1, static_cast<int>(4 * scale))));
    painter.drawEllipse(centre, radius, radius);
    painter.drawLine(centre - QPoint(radius, 0), centre + QPoint(radius, 0));
    painter.drawLine(centre - QPoint(0, radius), centre + QPoint(0, radius));

    // Text needs the fonts of a GUI application; a console process's camera shows none.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    const int margin = static_cast<int>(40 * scale);
    const int baseline = barsHeight + static_cast<int>((height - barsHeight) * 0.45);
    QFont font = painter.font();
    font.setPixelSize(std::max(6, static_cast<int>(48 * scale)));
    painter.setFont(font);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::white);
    painter.drawText(margin, baseline, QString::fromStdString(name));
    const std::string caption =
        "frame " + std::to_string(frameNumber) + "  pan " + std::to_string(position.pan_deg) +
        "  tilt " + std::to_string(position.tilt_deg) + "  zoom " + std::to_string(position.zoom);
    font.setPixelSize(std::max(6, static_cast<int>(36 * scale)));
    painter.setFont(font);
    painter.setPen(QColor(200, 200, 200));
    painter.drawText(margin, baseline + static_cast<int>((height - barsHeight) * 0.35),
                     QString::fromStdString(caption));
}

// ITU-R BT.601 video range, as a camera encodes its YUYV frames.
unsigned char lumaOf(QRgb p) {
    return static_cast<unsigned char>((66 * qRed(p) + 129 * qGreen(p) + 25 * qBlue(p) + 128) / 256 +
                                      16);
}
unsigned char blueDifferenceOf(int r, int g, int b) {
    return static_cast<unsigned char>((-38 * r - 74 * g + 112 * b + 128) / 256 + 128);
}
unsigned char redDifferenceOf(int r, int g, int b) {
    return static_cast<unsigned char>((112 * r - 94 * g - 18 * b + 128) / 256 + 128);
}
} // namespace

void SimCamera::renderFrame(QImage &frame, int width, int height, long long frameNumber) const {
    if (width <= 0 || height <= 0) {
        frame = QImage();
        return;
    }
    ++paintedFrames;
    // The caller's frame is painted over when its size fits, as a camera reuses its buffers.
    if (frame.size() != QSize(width, height) || frame.format() != QImage::Format_RGB32)
        frame = QImage(width, height, QImage::Format_RGB32);
    paintPicture(frame, cfg.productName, currentPosition, frameNumber);
}

bool SimCamera::offersMjpg() const {
    return !camFaults.noMjpg && !camFaults.unusableFrames;
}

void SimCamera::toYuyv(const QImage &picture, std::vector<unsigned char> &yuyv) {
    const int width = picture.width() & ~1;
    yuyv.resize(static_cast<std::size_t>(width) * 2 * picture.height());
    unsigned char *out = yuyv.data();
    for (int row = 0; row < picture.height(); ++row) {
        const auto *in = reinterpret_cast<const QRgb *>(picture.constScanLine(row));
        for (int x = 0; x < width; x += 2, out += 4) {
            // The two pixels share the chroma of their mean.
            const int r = (qRed(in[x]) + qRed(in[x + 1])) / 2;
            const int g = (qGreen(in[x]) + qGreen(in[x + 1])) / 2;
            const int b = (qBlue(in[x]) + qBlue(in[x + 1])) / 2;
            out[0] = lumaOf(in[x]);
            out[1] = blueDifferenceOf(r, g, b);
            out[2] = lumaOf(in[x + 1]);
            out[3] = redDifferenceOf(r, g, b);
        }
    }
}

void SimCamera::compressFrame(const QImage &picture, std::vector<unsigned char> &jpeg,
                              const SimCameraFaults &faults, long long frameNumber) {
    // The quality of a typical camera's stream.
    constexpr int quality = 85;
    if (!encodeJpeg(picture, quality, jpeg))
        return;
    const auto isNth = [frameNumber](int every) {
        return every > 0 && (frameNumber + 1) % every == 0;
    };
    if (isNth(faults.truncateEveryNthFrame)) {
        jpeg.resize(jpeg.size() / 2);
    } else if (isNth(faults.loseChunkEveryNthFrame)) {
        // A lost bulk transfer: a few kilobytes of the entropy-coded data are missing.
        const auto from = jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() / 3);
        jpeg.erase(from, from + static_cast<std::ptrdiff_t>(jpeg.size() / 8));
    }
}

bool encodeJpeg(const QImage &picture, int quality, std::vector<unsigned char> &jpeg) {
    jpeg.clear();
    if (picture.isNull())
        return false;
    const QImage rgb32 = picture.convertToFormat(QImage::Format_RGB32);
    tjhandle handle = tjInitCompress();
    if (!handle)
        return false;
    unsigned char *out = nullptr;
    unsigned long size = 0;
    // RGB32 is 0xffRRGGBB in native order: blue first in memory on little-endian machines.
    const int pixelFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TJPF_BGRX : TJPF_XRGB;
    const bool done =
        tjCompress2(handle, rgb32.constBits(), rgb32.width(),
                    static_cast<int>(rgb32.bytesPerLine()), rgb32.height(), pixelFormat, &out,
                    &size, TJSAMP_422, quality, TJFLAG_FASTDCT) == 0;
    if (done)
        jpeg.assign(out, out + size);
    tjFree(out);
    tjDestroy(handle);
    return done;
}
