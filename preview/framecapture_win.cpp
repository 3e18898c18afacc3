#include "preview/framecapture.h"

#include <opencv2/videoio.hpp>

// The DirectShow filter with this enumeration index.
std::unique_ptr<FrameCapture> openNativeFrameCapture(int index) {
    return openOpenCvFrameCapture(index, cv::CAP_DSHOW);
}
