// The Win32 functions through which the SCSI channel reaches a volume, as a table: the program
// uses the system's, a test stands in for them and sees every call with its sizes and handles.
#pragma once

#include "upgrade/disklistapi_win.h"
#include "upgrade/scsichannel.h"

#include <windows.h>

#include <memory>

struct VolumeApi {
    decltype(&CreateFileW) createFile;
    decltype(&DeviceIoControl) deviceIoControl;
    decltype(&CloseHandle) closeHandle;
};

// The system's own functions.
extern const VolumeApi kSystemVolumeApi;

// The back end over the volumes D: to Z:, calling the system through `api` and listing the disks
// through `disks` (both must outlive it).
std::unique_ptr<ScsiBackend> createVolumeScsiBackend(const VolumeApi &api,
                                                     const DiskListApi &disks = kSystemDiskListApi);
