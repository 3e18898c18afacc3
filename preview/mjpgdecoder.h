// Decodes the camera's MJPG frames for the preview with libjpeg-turbo, straight into an RGB QImage
// and scaled down inside the decoder (DCT scaling) to the smallest size that still covers the
// preview surface: a 1920 x 1080 frame for a 460 x 258 surface costs a quarter-size decode
// instead of a full one, a channel swap and a downscale.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <cstddef>

class MjpgDecoder {
public:
    MjpgDecoder();
    ~MjpgDecoder();
    MjpgDecoder(const MjpgDecoder &) = delete;
    MjpgDecoder &operator=(const MjpgDecoder &) = delete;

    // The size a frame of `frame` pixels is decoded to for a surface of `surface_px` device
    // pixels: the smallest of 1/8, 1/4, 1/2 and full size that still covers the frame as the
    // surface shows it (fitted, aspect kept), so the window only ever scales down. libjpeg-turbo
    // has further factors (3/8, 5/8, ...), but it decodes those more slowly than a full frame. An
    // empty surface (size not known yet) gets full size.
    static QSize decodedSize(QSize frame, QSize surface_px);

    // Decodes one frame into an image of decodedSize(). A frame that is not a whole, readable
    // JPEG picture (cut short, damaged, or larger than maxFrameSide_px) gives a null image and
    // the reason; no partly decoded picture ever comes out.
    QImage decode(const unsigned char *jpeg, std::size_t size_bytes, QSize surface_px,
                  QString &error);

    static constexpr int maxFrameSide_px = 8192;

private:
    void *handle; // the TurboJPEG decompressor
};

// The preview surface in device pixels: its size in logical pixels times the device pixel ratio,
// rounded up.
QSize surfaceInDevicePixels(QSize logical, qreal devicePixelRatio);
