// The extension-unit channel under Linux, over sysfs and device roots of the caller's choosing.
#pragma once

#include "control/extensionunitchannel.h"
#include "device/v4l2node_linux.h"

#include <memory>

std::unique_ptr<ExtensionUnitBackend> makeLinuxExtensionUnitBackend(LinuxDeviceRoots roots,
                                                                    CapabilityQuery query);
