// Frame capture on a V4L2 device node, without a capture library: the format is negotiated when
// the stream starts (MJPG where the camera offers it, else YUYV), frames arrive in driver buffers
// mapped into the process and are copied out as they come.
#pragma once

#include "preview/framecapture.h"

#include <memory>
#include <string>

// A capture on `devNode` (such as /dev/video0); never null, not opened when the node cannot be
// opened or does not capture video.
std::unique_ptr<FrameCapture> openV4l2Capture(const std::string &devNode);
