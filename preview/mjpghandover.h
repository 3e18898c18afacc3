// A capture whose MJPG frames reach the preview undecoded, so that it can decode them at the size
// it shows (MjpgDecoder) instead of the capture back end decoding every frame at full size.
#pragma once

#include "preview/framecapture.h"

#include <memory>

// Wraps a capture that behaves like OpenCV's V4L2 back end: with cv::CAP_PROP_CONVERT_RGB off, an
// MJPG stream's read() gives each frame's compressed bytes as one row of 8-bit values. While the
// negotiated format is MJPG, the wrapper keeps that conversion off and readFrame() hands the
// bytes over as CapturedFrame::Encoding::Mjpg; read() still gives pixels. Any other format keeps
// the back end's conversion. Null for null.
std::unique_ptr<FrameCapture> handOverMjpg(std::unique_ptr<FrameCapture> capture);
