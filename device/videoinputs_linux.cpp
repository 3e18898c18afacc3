// Video inputs under Linux: the V4L2 nodes /dev/videoN, listed by number so that entry i is the
// node that the frame capture opens with index i; the standard camera controls are the V4L2
// pan, tilt and zoom controls of the bound node.
#include "device/videoinputs.h"

#include "common/deviceaccess.h"
#include "device/v4l2node_linux.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
int retryIoctl(int fd, unsigned long request, void *argument) {
    int result = -1;
    do {
        result = ::ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result;
}

std::uint32_t controlId(CameraControlId property) {
    switch (property) {
    case CameraControlId::Pan:
        return V4L2_CID_PAN_ABSOLUTE;
    case CameraControlId::Tilt:
        return V4L2_CID_TILT_ABSOLUTE;
    case CameraControlId::Zoom:
        return V4L2_CID_ZOOM_ABSOLUTE;
    case CameraControlId::Roll:
        break;
    }
    return 0;
}

bool inArcSeconds(CameraControlId property) {
    return property == CameraControlId::Pan || property == CameraControlId::Tilt;
}

class LinuxCameraControls final : public CameraControls {
public:
    explicit LinuxCameraControls(int descriptor)
        : fd(descriptor) {}
    ~LinuxCameraControls() override { ::close(fd); }
    LinuxCameraControls(const LinuxCameraControls &) = delete;
    LinuxCameraControls &operator=(const LinuxCameraControls &) = delete;

    bool get(CameraControlId property, std::int32_t &value) override {
        const std::uint32_t id = controlId(property);
        if (id == 0)
            return false;
        v4l2_control control{};
        control.id = id;
        if (retryIoctl(fd, VIDIOC_G_CTRL, &control) < 0)
            return false;
        value = inArcSeconds(property) ? arcSecondsToDegrees(control.value) : control.value;
        return true;
    }

    bool set(CameraControlId property, std::int32_t value, std::string &reason) override {
        const std::uint32_t id = controlId(property);
        if (id == 0) {
            reason = "no such control";
            return false;
        }
        v4l2_control control{};
        control.id = id;
        control.value = inArcSeconds(property) ? degreesToArcSeconds(value) : value;
        if (retryIoctl(fd, VIDIOC_S_CTRL, &control) == 0)
            return true;
        reason = std::string("VIDIOC_S_CTRL: ") + std::strerror(errno);
        return false;
    }

private:
    int fd;
};

class LinuxVideoInputs final : public VideoInputBackend {
public:
    LinuxVideoInputs(LinuxDeviceRoots roots, CapabilityQuery query)
        : scanner(std::move(roots), std::move(query)) {}

    bool available() override { return true; }

    std::vector<VideoInputInfo> list() override {
        std::vector<VideoInputInfo> result;
        for (const VideoNodeInfo &node : scanner.scan()) {
            VideoInputInfo info;
            // A number without a node, or a node that does not capture video (a metadata node),
            // still counts, so that positions stay node numbers; it just yields no name.
            if (node.present && node.capture) {
                info.hasDisplayName = true;
                info.displayName = node.devNode;
                info.hasFriendlyName = node.hasFriendlyName;
                info.friendlyName = node.friendlyName;
                info.hasDevicePath = node.hasInterfaceName;
                info.devicePath = node.interfaceName;
            }
            result.push_back(std::move(info));
        }
        return result;
    }

    std::unique_ptr<CameraControls> bind(std::size_t position) override {
        if (position > 99999)
            return nullptr;
        const VideoNodeInfo node = scanner.describe(static_cast<int>(position));
        if (!node.present || !node.capture)
            return nullptr;
        const int fd = ::open(node.devNode.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (isAccessDenied(errno))
                reportDeviceAccessDenied(DeviceNodeKind::Camera, node.devNode,
                                         std::strerror(errno));
            return nullptr;
        }
        return std::make_unique<LinuxCameraControls>(fd);
    }

private:
    VideoNodeScanner scanner;
};
} // namespace

std::unique_ptr<VideoInputBackend> makeLinuxVideoInputBackend(LinuxDeviceRoots roots,
                                                              CapabilityQuery query) {
    return std::make_unique<LinuxVideoInputs>(std::move(roots), std::move(query));
}

VideoInputBackend &nativeVideoInputBackend() {
    static LinuxVideoInputs backend{LinuxDeviceRoots{}, queryV4l2Capabilities};
    return backend;
}
