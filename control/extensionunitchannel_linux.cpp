// The vendor extension unit under Linux: the capture nodes of uvcvideo, the unit found by its GUID
// in the camera's USB descriptors, and one UVCIOC_CTRL_QUERY per request.
#include "control/extensionunitchannel_linux.h"

#include "common/deviceaccess.h"
#include "control/uvcdescriptors.h"
#include "control/uvcextensionunit.h"

#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

namespace {
std::vector<std::uint8_t> readDescriptors(const std::string &usbDevicePath) {
    std::ifstream file(usbDevicePath + "/descriptors", std::ios::binary);
    if (!file)
        return {};
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>());
}

class LinuxUnitDevice final : public ExtensionUnitDevice {
public:
    LinuxUnitDevice(int descriptor, std::string usbDevice, int interface)
        : fd(descriptor)
        , usbDevicePath(std::move(usbDevice))
        , interfaceNumber(interface) {}
    ~LinuxUnitDevice() override { ::close(fd); }
    LinuxUnitDevice(const LinuxUnitDevice &) = delete;
    LinuxUnitDevice &operator=(const LinuxUnitDevice &) = delete;

    PlatformStatus request(std::uint32_t selector, UnitDirection direction, std::uint8_t *data,
                           std::uint32_t length, PlatformFailure &failure) override {
        // The unit is looked up for every request: the camera may have been replaced by another
        // one on the same node since the last request.
        const std::optional<std::uint8_t> unit = findExtensionUnit(
            readDescriptors(usbDevicePath), encodeGuid(kExtensionUnitSet), interfaceNumber);
        if (!unit) {
            failure = {"FindExtensionNode", kStatusFail};
            return failure.status;
        }
        if (selector > 0xFF || length > 0xFFFF || (!data && length > 0)) {
            failure = failureFromErrno("UVCIOC_CTRL_QUERY", EINVAL);
            return failure.status;
        }
        uvc_xu_control_query query{};
        query.unit = *unit;
        query.selector = static_cast<__u8>(selector);
        query.query = direction == UnitDirection::Write ? UVC_SET_CUR : UVC_GET_CUR;
        query.size = static_cast<__u16>(length);
        query.data = data;
        int result = -1;
        do {
            result = ::ioctl(fd, UVCIOC_CTRL_QUERY, &query);
        } while (result < 0 && errno == EINTR);
        if (result < 0) {
            failure = failureFromErrno("UVCIOC_CTRL_QUERY", errno);
            return failure.status;
        }
        return kStatusOk;
    }

private:
    int fd;
    std::string usbDevicePath;
    int interfaceNumber;
};

class LinuxExtensionUnits final : public ExtensionUnitBackend {
public:
    LinuxExtensionUnits(LinuxDeviceRoots roots, CapabilityQuery query)
        : scanner(std::move(roots), std::move(query)) {}

    bool enumerate(std::vector<CaptureSourceInfo> &sources, PlatformFailure &) override {
        sources.clear();
        std::vector<VideoNodeInfo> found;
        for (const VideoNodeInfo &node : scanner.scan()) {
            if (!node.present || !node.capture)
                continue;
            CaptureSourceInfo info;
            info.hasFriendlyName = node.hasFriendlyName;
            info.friendlyName = node.friendlyName;
            info.hasSymbolicLink = node.hasInterfaceName;
            info.symbolicLink = node.interfaceName;
            sources.push_back(std::move(info));
            found.push_back(node);
        }
        std::lock_guard<std::mutex> guard(listMutex);
        listed = std::move(found);
        return true;
    }

    std::unique_ptr<ExtensionUnitDevice> activate(std::size_t position,
                                                  PlatformFailure &failure) override {
        VideoNodeInfo listedNode;
        {
            std::lock_guard<std::mutex> guard(listMutex);
            if (position >= listed.size()) {
                failure = failureFromErrno("Activating video device", ENODEV);
                return nullptr;
            }
            listedNode = listed[position];
        }
        // The node number may have passed to another device since the list was made.
        const VideoNodeInfo node = scanner.describe(listedNode.number);
        if (!node.present || !node.capture || node.interfaceName != listedNode.interfaceName ||
            node.friendlyName != listedNode.friendlyName) {
            failure = failureFromErrno("Activating video device", ENODEV);
            return nullptr;
        }
        const int fd = ::open(node.devNode.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            if (isAccessDenied(error))
                reportDeviceAccessDenied(DeviceNodeKind::Camera, node.devNode,
                                         std::strerror(error));
            failure = failureFromErrno("Activating video device", error);
            return nullptr;
        }
        return std::make_unique<LinuxUnitDevice>(fd, node.usbDevicePath, node.interfaceNumber);
    }

private:
    VideoNodeScanner scanner;
    std::mutex listMutex;
    std::vector<VideoNodeInfo> listed;
};
} // namespace

std::unique_ptr<ExtensionUnitBackend> makeLinuxExtensionUnitBackend(LinuxDeviceRoots roots,
                                                                    CapabilityQuery query) {
    return std::make_unique<LinuxExtensionUnits>(std::move(roots), std::move(query));
}

ExtensionUnitBackend &nativeExtensionUnitBackend() {
    static LinuxExtensionUnits backend{LinuxDeviceRoots{}, queryV4l2Capabilities};
    return backend;
}
