// The SetupAPI functions through which the SCSI channel lists the USB disks by identity without
// opening them (a standard user may list them but not open them), as a table: the program uses the
// system's, a test stands in for them.
#pragma once

#include "upgrade/scsichannel.h"

#include <windows.h>

#include <setupapi.h>

#include <vector>

struct DiskListApi {
    decltype(&SetupDiGetClassDevsW) getClassDevs;
    decltype(&SetupDiEnumDeviceInfo) enumDeviceInfo;
    decltype(&SetupDiGetDeviceRegistryPropertyW) getDeviceRegistryProperty;
    decltype(&SetupDiDestroyDeviceInfoList) destroyDeviceInfoList;
};

// The system's own functions.
extern const DiskListApi kSystemDiskListApi;

// The identity of each present disk drive attached by USB mass storage, read from its hardware
// ids: "USBSTOR\Disk" + vendor (8) + product (16) + revision (4), blanks written as '_'.
std::vector<ScsiDiskIdentity> listUsbDisks(const DiskListApi &api);
