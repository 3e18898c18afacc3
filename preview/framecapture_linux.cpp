#include "preview/framecapture.h"

#include <opencv2/videoio.hpp>

// /dev/videoN through V4L2. A device that goes away makes the pending read fail (the driver wakes
// the waiting poll and dequeuing answers ENODEV), so a read never outlives its camera.
std::unique_ptr<FrameCapture> openNativeFrameCapture(int index) {
    return openOpenCvFrameCapture(index, cv::CAP_V4L2);
}
