#include "preview/yuyvconverter.h"

#include <algorithm>
#include <cstdint>

namespace {
inline std::uint8_t clampByte(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// One pixel from its luma and the chroma it shares with its neighbour, in 8.8 fixed point.
inline QRgb toRgb(int y, int u, int v) {
    const int c = 298 * (y - 16) + 128;
    const int d = u - 128;
    const int e = v - 128;
    return qRgb(clampByte((c + 409 * e) >> 8), clampByte((c - 100 * d - 208 * e) >> 8),
                clampByte((c + 516 * d) >> 8));
}
} // namespace

QImage yuyvToImage(const unsigned char *data, std::size_t size_bytes, int width, int height,
                   int stride, int step) {
    if (!data || width <= 0 || height <= 0 || width % 2 != 0 || stride < width * 2 || step < 1 ||
        size_bytes < static_cast<std::size_t>(stride) * static_cast<std::size_t>(height - 1) +
                         static_cast<std::size_t>(width) * 2)
        return QImage();
    QImage image((width + step - 1) / step, (height + step - 1) / step, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    for (int row = 0; row < image.height(); ++row) {
        const unsigned char *in = data + static_cast<std::size_t>(stride) * row * step;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(row));
        if (step == 1) {
            for (int x = 0; x < width; x += 2, in += 4) {
                out[x] = toRgb(in[0], in[1], in[3]);
                out[x + 1] = toRgb(in[2], in[1], in[3]);
            }
            continue;
        }
        // Every sampled pixel is the first of its pair.
        for (int x = 0; x < image.width(); ++x, in += 2 * step)
            out[x] = toRgb(in[0], in[1], in[3]);
    }
    return image;
}
