// The Windows side of the SCSI seam: the volumes D: to Z:, reached with IOCTL_SCSI_PASS_THROUGH on
// the volume handle. The request buffer is built by passthrough::encode() for this program's word
// size. Opening a volume for reading and writing needs an elevated process: the program's
// manifest asks for it.
#include "upgrade/scsichannel.h"
#include "upgrade/scsipassthrough.h"

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
    explicit VolumeDevice(HANDLE volume)
        : handle(volume) {}
    ~VolumeDevice() override { CloseHandle(handle); }
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
        const BOOL ok = DeviceIoControl(handle, passthrough::kIoctlScsiPassThrough, buffer.data(),
                                        inputSize, buffer.data(), outputSize, &returned, nullptr);
        if (direction == ScsiDirection::FromDevice && length > 0)
            std::memcpy(data, buffer.data() + kNativeLayout.dataOffset, length);
        return ok != FALSE;
    }

private:
    HANDLE handle;
};

class WindowsScsi final : public ScsiBackend {
public:
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
            CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (quiet)
            SetThreadErrorMode(previousMode, nullptr);
        if (volume == INVALID_HANDLE_VALUE)
            return nullptr;
        return std::make_unique<VolumeDevice>(volume);
    }
};
} // namespace

ScsiBackend &nativeScsiBackend() {
    static WindowsScsi backend;
    return backend;
}
