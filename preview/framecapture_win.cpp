#include "preview/framecapture.h"

#include <opencv2/videoio.hpp>

// The DirectShow filter with this enumeration index. OpenCV's DirectShow back end always has the
// graph decode MJPG into 24-bit BGR before the frame reaches it (its RGB conversion switch only
// concerns 16-bit gray formats), so there is no compressed frame to hand over: the preview takes
// the decoded frames.
std::unique_ptr<FrameCapture> openNativeFrameCapture(int index) {
    return openOpenCvFrameCapture(index, cv::CAP_DSHOW);
}
