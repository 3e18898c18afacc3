// The picture controls of a bound DirectShow capture filter. The filter is reached only through
// QueryInterface (IAMVideoProcAmp, IAMCameraControl), so a test can hand in an object of its own.
#pragma once

#include "control/picturecontrols.h"

#include <unknwn.h>

#include <memory>

// Null when the filter offers neither interface.
std::unique_ptr<PictureControlDevice> createDirectShowPictureControls(IUnknown *filter);
