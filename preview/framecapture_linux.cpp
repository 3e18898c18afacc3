#include "preview/framecapture.h"
#include "preview/mjpghandover.h"

#include <opencv2/videoio.hpp>

// /dev/videoN through V4L2. A device that goes away makes the pending read fail (the driver wakes
// the waiting poll and dequeuing answers ENODEV), so a read never outlives its camera. The back
// end hands MJPG frames over undecoded when its RGB conversion is off, so the preview decodes
// them itself at the size it shows.
std::unique_ptr<FrameCapture> openNativeFrameCapture(int index) {
    return handOverMjpg(openOpenCvFrameCapture(index, cv::CAP_V4L2));
}
