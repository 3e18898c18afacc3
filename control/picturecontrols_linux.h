// The picture controls under Linux, over sysfs and device roots of the caller's choosing.
#pragma once

#include "control/picturecontrols.h"
#include "device/v4l2node_linux.h"

#include <memory>

std::unique_ptr<PictureControlBackend> makeLinuxPictureControlBackend(LinuxDeviceRoots roots,
                                                                      CapabilityQuery query);
