// The camera's moving test picture.
#include "sim/simcamera.h"

void SimCamera::renderFrame(cv::Mat &frame, int width, int height, long long) const {
    frame.create(height, width, camFaults.frameType);
    frame.setTo(0);
}
