// The Windows side of the SCSI seam: the volumes D: to Z:, reached with IOCTL_SCSI_PASS_THROUGH on
// the volume handle. The request buffer is built by passthrough::encode() for this program's word
// size. Opening a volume for reading and writing needs an elevated process: the programs run as
// invoker and hand an upgrade or a recovery over to an elevated instance.
#include "upgrade/scsichannel.h"
#include "upgrade/scsipassthrough.h"
#include "upgrade/volumeapi_win.h"

#include <windows.h>

#include <ntddscsi.h>

#include <cstddef>
#include <cstring>

namespace {
// The buffer built by passthrough::encode() must be the structure this program's driver call reads.
using passthrough::kNativeLayout;
static_assert(sizeof(SCSI_PASS_THROUGH) == kNativeLayout.headerLength, "Length");
static_assert(offsetof(SCSI_PASS_THROUGH, DataBufferOffset) == kNativeLayout.dataBufferOffsetField,
              "DataBufferOffset");
static_assert(sizeof(SCSI_PASS_THROUGH::DataBufferOffset) == kNativeLayout.pointerSize,
              "DataBufferOffset width");
static_assert(offsetof(SCSI_PASS_THROUGH, SenseInfoOffset) == kNativeLayout.senseInfoOffsetField,
              "SenseInfoOffset");
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == kNativeLayout.cdbField, "Cdb");
static_assert(offsetof(SCSI_PASS_THROUGH, DataTransferLength) == 12 &&
                  offsetof(SCSI_PASS_THROUGH, TimeOutValue) == 16 &&
                  offsetof(SCSI_PASS_THROUGH, DataIn) == 8,
              "the fixed fields");
static_assert(IOCTL_SCSI_PASS_THROUGH == passthrough::kIoctlScsiPassThrough,
              "IOCTL_SCSI_PASS_THROUGH");

class VolumeDevice final : public ScsiDevice {
public:
    VolumeDevice(const VolumeApi &functions, HANDLE volume)
        : api(functions)
        , handle(volume) {}
    ~VolumeDevice() override { api.closeHandle(handle); }
    VolumeDevice(const VolumeDevice &) = delete;
    VolumeDevice &operator=(const VolumeDevice &) = delete;

    bool execute(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                 std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s) override {
        if (!cdb || cdbLength == 0 || length > passthrough::kMaxDataLength || (length > 0 && !data))
            return false;
        const bool inquiry = cdb[0] == 0x12;
        const passthrough::Request request =
            inquiry
                ? passthrough::inquiryRequest(cdb, cdbLength, length, timeout_s)
                : passthrough::vendorRequest(cdb, cdbLength, direction, data, length, timeout_s);
        std::vector<std::uint8_t> buffer = passthrough::encode(request);
        // INQUIRY goes in as the bare header and comes back with its answer; a vendor command
        // goes in and out as the whole buffer.
        const DWORD inputSize = inquiry ? static_cast<DWORD>(kNativeLayout.headerLength)
                                        : static_cast<DWORD>(buffer.size());
        const DWORD outputSize = static_cast<DWORD>(buffer.size());
        DWORD returned = 0;
        const BOOL ok =
            api.deviceIoControl(handle, passthrough::kIoctlScsiPassThrough, buffer.data(),
                                inputSize, buffer.data(), outputSize, &returned, nullptr);
        if (!ok)
            return false;
        // What the device sent is in the data area; a failed request leaves the caller's buffer
        // as it was rather than filling it with what went out.
        if (direction == ScsiDirection::FromDevice && length > 0)
            std::memcpy(data, buffer.data() + kNativeLayout.dataOffset, length);
        return true;
    }

private:
    const VolumeApi &api;
    HANDLE handle;
};

class WindowsScsi final : public ScsiBackend {
public:
    WindowsScsi(const VolumeApi &functions, const DiskListApi &diskList)
        : api(functions)
        , disks(diskList) {}

    std::vector<std::string> candidates() override {
        std::vector<std::string> result;
        for (char letter = 'D'; letter <= 'Z'; ++letter)
            result.push_back(std::string("\\\\.\\") + letter + ":");
        return result;
    }

    std::unique_ptr<ScsiDevice> open(const std::string &candidate) override {
        if (candidate.size() != 6 || candidate.compare(0, 4, "\\\\.\\") != 0 ||
            candidate[4] < 'D' || candidate[4] > 'Z' || candidate[5] != ':')
            return nullptr;
        const std::wstring path(candidate.begin(), candidate.end());
        // The search opens every letter about once a second: an empty card reader or optical
        // drive must fail quietly instead of putting up the system's "no disk" box each time.
        // Only this thread's mode is changed, and only for the open.
        DWORD previousMode = 0;
        const bool quiet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX,
                                              &previousMode) != FALSE;
        HANDLE volume =
            api.createFile(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (quiet)
            SetThreadErrorMode(previousMode, nullptr);
        if (volume == INVALID_HANDLE_VALUE)
            return nullptr;
        return std::make_unique<VolumeDevice>(api, volume);
    }

    // Listing needs no rights: a standard user sees a camera stuck in a stage this way.
    std::vector<ScsiDiskIdentity> listedDisks() override { return listUsbDisks(disks); }

private:
    const VolumeApi &api;
    const DiskListApi &disks;
};
} // namespace

const VolumeApi kSystemVolumeApi = {&CreateFileW, &DeviceIoControl, &CloseHandle};

std::unique_ptr<ScsiBackend> createVolumeScsiBackend(const VolumeApi &api,
                                                     const DiskListApi &disks) {
    return std::make_unique<WindowsScsi>(api, disks);
}

ScsiBackend &nativeScsiBackend() {
    static WindowsScsi backend(kSystemVolumeApi, kSystemDiskListApi);
    return backend;
}
