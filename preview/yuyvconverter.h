// Turns a camera's uncompressed YUYV frames into pictures: packed 4:2:2 with the video range of
// ITU-R BT.601 (luma 16..235, chroma 16..240), which is what UVC cameras send.
#pragma once

#include <QImage>

#include <cstddef>

// An RGB32 image of a frame of `width` x `height` pixels in rows of `stride` bytes, taking every
// `step`-th pixel of every `step`-th row (1, 2, 4 or 8: the preview converts only as much as its
// surface shows); null when the sizes do not fit (an odd width, a stride shorter than a row,
// fewer bytes than rows).
QImage yuyvToImage(const unsigned char *data, std::size_t size_bytes, int width, int height,
                   int stride, int step = 1);
