#include "preview/framecapture.h"
#include "preview/v4l2capture_linux.h"

// /dev/videoN, the node that the enumeration gave this index. A camera that goes away wakes the
// waiting poll and dequeuing answers ENODEV, so a read never outlives its camera; MJPG frames
// reach the preview undecoded, so it decodes them at the size it shows.
std::unique_ptr<FrameCapture> openNativeFrameCapture(int index) {
    return openV4l2Capture("/dev/video" + std::to_string(index));
}
