#include "preview/mjpgdecoder.h"

#include <QSysInfo>

#include <turbojpeg.h>

#include <cmath>

namespace {
// The factors libjpeg-turbo decodes faster than full size, smallest first.
const tjscalingfactor fastFactors[] = {{1, 8}, {1, 4}, {1, 2}, {1, 1}};

// QImage::Format_RGB32 holds 0xffRRGGBB words; the matching byte order, with the fourth byte
// guaranteed 0xff, depends on the machine's.
constexpr TJPF rgb32PixelFormat =
    QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRA : TJPF_ARGB;

QSize scaledBy(QSize size, const tjscalingfactor &factor) {
    return QSize(TJSCALED(size.width(), factor), TJSCALED(size.height(), factor));
}
} // namespace

MjpgDecoder::MjpgDecoder()
    : handle(tjInitDecompress()) {}

MjpgDecoder::~MjpgDecoder() {
    if (handle)
        tjDestroy(handle);
}

QSize MjpgDecoder::decodedSize(QSize frame, QSize surface_px) {
    if (surface_px.isEmpty() || frame.isEmpty())
        return frame;
    const QSize shown = frame.scaled(surface_px, Qt::KeepAspectRatio);
    for (const tjscalingfactor &factor : fastFactors) {
        const QSize decoded = scaledBy(frame, factor);
        if (decoded.width() >= shown.width() && decoded.height() >= shown.height())
            return decoded;
    }
    return frame;
}

QImage MjpgDecoder::decode(const unsigned char *jpeg, std::size_t size_bytes, QSize surface_px,
                           QString &error) {
    if (!handle) {
        error =
            QStringLiteral("no JPEG decoder: %1").arg(QString::fromUtf8(tjGetErrorStr2(nullptr)));
        return QImage();
    }
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    const auto size = static_cast<unsigned long>(size_bytes);
    if (tjDecompressHeader3(handle, jpeg, size, &width, &height, &subsampling, &colourspace) != 0) {
        error = QString::fromUtf8(tjGetErrorStr2(handle));
        // A header that breaks off leaves the decompressor inside it, and it would refuse every
        // later frame: start over with a fresh one.
        tjDestroy(handle);
        handle = tjInitDecompress();
        return QImage();
    }
    if (width > maxFrameSide_px || height > maxFrameSide_px) {
        error = QStringLiteral("frame of %1 x %2 pixels").arg(width).arg(height);
        return QImage();
    }
    const QSize target = decodedSize(QSize(width, height), surface_px);
    QImage image(target, QImage::Format_RGB32);
    if (image.isNull()) {
        error = QStringLiteral("no memory for a %1 x %2 picture")
                    .arg(target.width())
                    .arg(target.height());
        return QImage();
    }
    // A warning (data cut short, a damaged segment) ends the decode as well: the rest of such a
    // picture would be grey or garbled.
    if (tjDecompress2(handle, jpeg, size, image.bits(), target.width(),
                      static_cast<int>(image.bytesPerLine()), target.height(), rgb32PixelFormat,
                      TJFLAG_STOPONWARNING) != 0) {
        error = QString::fromUtf8(tjGetErrorStr2(handle));
        return QImage();
    }
    return image;
}

QSize surfaceInDevicePixels(QSize logical, qreal devicePixelRatio) {
    return QSize(static_cast<int>(std::ceil(logical.width() * devicePixelRatio)),
                 static_cast<int>(std::ceil(logical.height() * devicePixelRatio)));
}
