#include "preview/framecapture.h"

// Placeholder until the V4L2 capture lands.
std::unique_ptr<FrameCapture> openNativeFrameCapture(int) {
    return nullptr;
}
