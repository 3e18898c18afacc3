#include "upgrade/scsichannel_linux.h"

#include "common/deviceaccess.h"
#include "upgrade/massstorage.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// "sgN" -> N, or -1 for any other name.
long sgNumber(const std::string &name) {
    if (name.size() < 3 || name.compare(0, 2, "sg") != 0)
        return -1;
    if (!std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    if (name.size() > 12)
        return -1;
    return std::strtol(name.c_str() + 2, nullptr, 10);
}

class SgDevice final : public ScsiDevice {
public:
    explicit SgDevice(int descriptor)
        : fd(descriptor) {}
    ~SgDevice() override { ::close(fd); }
    SgDevice(const SgDevice &) = delete;
    SgDevice &operator=(const SgDevice &) = delete;

    bool execute(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                 std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s) override {
        if (!cdb || cdbLength == 0 || cdbLength > 16 || (length > 0 && !data))
            return false;
        std::uint8_t sense[32] = {};
        sg_io_hdr_t request{};
        request.interface_id = 'S';
        if (length == 0)
            request.dxfer_direction = SG_DXFER_NONE;
        else if (direction == ScsiDirection::FromDevice)
            request.dxfer_direction = SG_DXFER_FROM_DEV;
        else
            request.dxfer_direction = SG_DXFER_TO_DEV;
        request.cmd_len = static_cast<unsigned char>(cdbLength);
        request.mx_sb_len = sizeof sense;
        request.dxfer_len = length;
        request.dxferp = data;
        request.cmdp = const_cast<unsigned char *>(cdb);
        request.sbp = sense;
        request.timeout = timeout_s * 1000u;
        int result;
        do {
            result = ::ioctl(fd, SG_IO, &request);
        } while (result < 0 && errno == EINTR);
        if (result < 0)
            return false;
        // The request itself failed when the host adapter (the USB link, a time-out) or the
        // driver reports an error; a device status with sense data is the device's own answer
        // and, as on the other platform, is not looked at here.
        const unsigned driverByte = request.driver_status & 0x0Fu;
        return request.host_status == 0 && (driverByte == 0 || driverByte == 0x08u);
    }

private:
    int fd;
};
} // namespace

LinuxScsiBackend::LinuxScsiBackend(std::string sysfsRoot, std::string deviceRoot)
    : sysfs(std::move(sysfsRoot))
    , devices(std::move(deviceRoot)) {}

bool LinuxScsiBackend::isUsbAttached(const std::string &name) const {
    if (sgNumber(name) < 0)
        return false;
    std::error_code error;
    const fs::path root = fs::canonical(fs::path(sysfs), error);
    if (error)
        return false;
    fs::path node =
        fs::canonical(fs::path(sysfs) / "class" / "scsi_generic" / name / "device", error);
    if (error)
        return false;
    // Up from the SCSI device: .../usbN/N-P/N-P:C.I/hostH/targetH:C:T/H:C:T:L. The first
    // directory with idVendor is the USB device it hangs off.
    while (!node.empty() && node != root && node != node.root_path()) {
        if (fs::is_regular_file(node / "idVendor", error))
            return true;
        const auto relative = node.lexically_relative(root);
        if (relative.empty() || *relative.begin() == "..")
            return false;
        node = node.parent_path();
    }
    return false;
}

std::string LinuxScsiBackend::deviceAttribute(const std::string &name,
                                              const char *attribute) const {
    std::ifstream file(fs::path(sysfs) / "class" / "scsi_generic" / name / "device" / attribute);
    std::string value;
    std::getline(file, value);
    return value;
}

std::vector<std::string> LinuxScsiBackend::candidates() {
    std::vector<std::pair<long, std::string>> found;
    std::error_code error;
    for (fs::directory_iterator it(fs::path(sysfs) / "class" / "scsi_generic", error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const long number = sgNumber(name);
        if (number >= 0 && isUsbAttached(name))
            found.emplace_back(number, name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> result;
    for (const auto &entry : found)
        result.push_back((fs::path(devices) / entry.second).string());
    return result;
}

std::unique_ptr<ScsiDevice> LinuxScsiBackend::open(const std::string &candidate) {
    const fs::path path(candidate);
    if (path.parent_path() != fs::path(devices) || !isUsbAttached(path.filename().string()))
        return nullptr;
    const int fd = ::open(candidate.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // Every USB disk is a candidate; only a refused camera is worth telling the user about,
        // and sysfs names the device's vendor without opening it.
        const int error = errno;
        if (isAccessDenied(error) &&
            isFamilyScsiVendor(deviceAttribute(path.filename().string(), "vendor")))
            reportDeviceAccessDenied(DeviceNodeKind::Updater, candidate, std::strerror(error));
        return nullptr;
    }
    // Only a SCSI generic driver answers this; anything else at that path is left alone.
    int version = 0;
    if (::ioctl(fd, SG_GET_VERSION_NUM, &version) < 0 || version < 30000) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<SgDevice>(fd);
}

std::vector<ScsiDiskIdentity> LinuxScsiBackend::listedDisks() {
    std::vector<ScsiDiskIdentity> result;
    for (const std::string &candidate : candidates()) {
        const std::string name = fs::path(candidate).filename().string();
        result.push_back({deviceAttribute(name, "vendor"), deviceAttribute(name, "model")});
    }
    return result;
}

ScsiBackend &nativeScsiBackend() {
    static LinuxScsiBackend backend;
    return backend;
}
