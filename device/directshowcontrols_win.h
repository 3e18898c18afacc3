// The standard camera controls on a bound DirectShow capture filter. The filter is reached only
// through QueryInterface (IKsControl, IAMCameraControl, IAMVideoProcAmp), so a test can hand in an
// object of its own.
#pragma once

#include "device/videoinputs.h"

#include <unknwn.h>

#include <memory>

std::unique_ptr<CameraControls> createDirectShowControls(IUnknown *filter);
