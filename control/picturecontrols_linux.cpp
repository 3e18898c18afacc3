// Picture controls under Linux: the V4L2 extended controls of the camera's capture node
// (VIDIOC_QUERY_EXT_CTRL, VIDIOC_QUERYMENU, VIDIOC_G_EXT_CTRLS, VIDIOC_S_EXT_CTRLS). Pan, tilt and
// zoom stay with the camera controls of the Control page.
#include "control/picturecontrols_linux.h"

#include "common/deviceaccess.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>

namespace {
int retryIoctl(int fd, unsigned long request, void *argument) {
    int result = -1;
    do {
        result = ::ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result;
}

struct KnownControl {
    std::uint32_t id;
    const char *name;
};

// The names both systems share for the standard controls; a control not named here is known by
// its driver's label.
constexpr KnownControl kKnownControls[] = {
    {V4L2_CID_BRIGHTNESS, "brightness"},
    {V4L2_CID_CONTRAST, "contrast"},
    {V4L2_CID_SATURATION, "saturation"},
    {V4L2_CID_HUE, "hue"},
    {V4L2_CID_HUE_AUTO, "hue-automatic"},
    {V4L2_CID_SHARPNESS, "sharpness"},
    {V4L2_CID_GAMMA, "gamma"},
    {V4L2_CID_GAIN, "gain"},
    {V4L2_CID_AUTOGAIN, "gain-automatic"},
    {V4L2_CID_BACKLIGHT_COMPENSATION, "backlight-compensation"},
    {V4L2_CID_POWER_LINE_FREQUENCY, "power-line-frequency"},
    {V4L2_CID_AUTO_WHITE_BALANCE, "white-balance-automatic"},
    {V4L2_CID_WHITE_BALANCE_TEMPERATURE, "white-balance-temperature"},
    {V4L2_CID_EXPOSURE_AUTO, "auto-exposure"},
    {V4L2_CID_EXPOSURE_ABSOLUTE, "exposure-time"},
    {V4L2_CID_EXPOSURE_AUTO_PRIORITY, "exposure-dynamic-framerate"},
    {V4L2_CID_FOCUS_ABSOLUTE, "focus"},
    {V4L2_CID_FOCUS_AUTO, "focus-automatic"},
    {V4L2_CID_IRIS_ABSOLUTE, "iris"},
};

// Moving the camera belongs to the Control page.
constexpr std::uint32_t kMovementControls[] = {
    V4L2_CID_PAN_RELATIVE,  V4L2_CID_TILT_RELATIVE, V4L2_CID_PAN_RESET,
    V4L2_CID_TILT_RESET,    V4L2_CID_PAN_ABSOLUTE,  V4L2_CID_TILT_ABSOLUTE,
    V4L2_CID_ZOOM_ABSOLUTE, V4L2_CID_ZOOM_RELATIVE, V4L2_CID_ZOOM_CONTINUOUS,
    V4L2_CID_PAN_SPEED,     V4L2_CID_TILT_SPEED};

std::string kebabName(const char *label) {
    std::string name;
    for (const char *c = label; *c; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c)))
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
        else if (!name.empty() && name.back() != '-')
            name += '-';
    }
    while (!name.empty() && name.back() == '-')
        name.pop_back();
    return name;
}

std::string controlName(std::uint32_t id, const char *label) {
    for (const KnownControl &known : kKnownControls)
        if (known.id == id)
            return known.name;
    return kebabName(label);
}

std::int32_t toInt32(std::int64_t value) {
    return static_cast<std::int32_t>(value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value);
}

std::string errorText(const char *request, int error) {
    return std::string(request) + ": " + std::strerror(error);
}

class LinuxPictureControls final : public PictureControlDevice {
public:
    explicit LinuxPictureControls(int descriptor)
        : fd(descriptor) {}
    ~LinuxPictureControls() override { ::close(fd); }
    LinuxPictureControls(const LinuxPictureControls &) = delete;
    LinuxPictureControls &operator=(const LinuxPictureControls &) = delete;

    std::vector<PictureControlInfo> query() override {
        std::vector<PictureControlInfo> result;
        v4l2_query_ext_ctrl query{};
        query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
        while (retryIoctl(fd, VIDIOC_QUERY_EXT_CTRL, &query) == 0) {
            const std::uint32_t id = query.id;
            if (offered(query))
                result.push_back(describe(query));
            query = v4l2_query_ext_ctrl{};
            query.id = id | V4L2_CTRL_FLAG_NEXT_CTRL;
        }
        return result;
    }

    bool read(std::uint32_t id, std::int32_t &value, std::string &reason) override {
        v4l2_ext_control control{};
        control.id = id;
        v4l2_ext_controls request{};
        request.which = V4L2_CTRL_WHICH_CUR_VAL;
        request.count = 1;
        request.controls = &control;
        if (retryIoctl(fd, VIDIOC_G_EXT_CTRLS, &request) < 0) {
            reason = errorText("VIDIOC_G_EXT_CTRLS", errno);
            return false;
        }
        value = control.value;
        return true;
    }

    bool write(std::uint32_t id, std::int32_t value, std::string &reason) override {
        v4l2_ext_control control{};
        control.id = id;
        control.value = value;
        v4l2_ext_controls request{};
        request.which = V4L2_CTRL_WHICH_CUR_VAL;
        request.count = 1;
        request.controls = &control;
        if (retryIoctl(fd, VIDIOC_S_EXT_CTRLS, &request) == 0)
            return true;
        // In the user's words where the error says something about the camera's state.
        const int error = errno;
        reason = error == EACCES   ? "VIDIOC_S_EXT_CTRLS: inactive, its automatic control is on"
                 : error == EILSEQ ? "VIDIOC_S_EXT_CTRLS: the camera refused it in its state"
                                   : errorText("VIDIOC_S_EXT_CTRLS", error);
        return false;
    }

private:
    static bool offered(const v4l2_query_ext_ctrl &query) {
        for (std::uint32_t movement : kMovementControls)
            if (query.id == movement)
                return false;
        if (query.flags & V4L2_CTRL_FLAG_HAS_PAYLOAD)
            return false;
        return query.type == V4L2_CTRL_TYPE_INTEGER || query.type == V4L2_CTRL_TYPE_BOOLEAN ||
               query.type == V4L2_CTRL_TYPE_MENU || query.type == V4L2_CTRL_TYPE_INTEGER_MENU;
    }

    PictureControlInfo describe(const v4l2_query_ext_ctrl &query) {
        char label[sizeof query.name + 1] = {};
        std::memcpy(label, query.name, sizeof query.name);
        PictureControlInfo info;
        info.id = query.id;
        info.name = controlName(query.id, label);
        info.label = label;
        info.kind = query.type == V4L2_CTRL_TYPE_BOOLEAN   ? PictureControlKind::Boolean
                    : query.type == V4L2_CTRL_TYPE_INTEGER ? PictureControlKind::Integer
                                                           : PictureControlKind::Menu;
        info.minimum = toInt32(query.minimum);
        info.maximum = toInt32(query.maximum);
        info.step = query.step > 0 ? toInt32(static_cast<std::int64_t>(query.step)) : 1;
        info.defaultValue = toInt32(query.default_value);
        info.inactive = query.flags & V4L2_CTRL_FLAG_INACTIVE;
        info.disabled = query.flags & V4L2_CTRL_FLAG_DISABLED;
        info.readOnly = query.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED);
        if (query.id == V4L2_CID_EXPOSURE_ABSOLUTE)
            info.unit = "100 µs";
        if (info.kind == PictureControlKind::Menu)
            readMenu(query, info);
        return info;
    }

    // Entries the driver skips answer EINVAL and are left out.
    void readMenu(const v4l2_query_ext_ctrl &query, PictureControlInfo &info) {
        for (std::int64_t index = query.minimum;
             index <= query.maximum && index - query.minimum < 256; ++index) {
            v4l2_querymenu entry{};
            entry.id = query.id;
            entry.index = static_cast<std::uint32_t>(index);
            if (retryIoctl(fd, VIDIOC_QUERYMENU, &entry) < 0)
                continue;
            PictureMenuEntry item;
            item.value = static_cast<std::int32_t>(index);
            if (query.type == V4L2_CTRL_TYPE_INTEGER_MENU) {
                item.label = std::to_string(static_cast<long long>(entry.value));
            } else {
                char text[sizeof entry.name + 1] = {};
                std::memcpy(text, entry.name, sizeof entry.name);
                item.label = text;
            }
            info.menu.push_back(item);
        }
    }

    int fd;
};

class LinuxPictureControlBackend final : public PictureControlBackend {
public:
    LinuxPictureControlBackend(LinuxDeviceRoots roots, CapabilityQuery query)
        : scanner(std::move(roots), std::move(query)) {}

    std::unique_ptr<PictureControlDevice> open(const std::string &deviceId) override {
        for (const VideoNodeInfo &node : scanner.scan()) {
            if (!node.present || !node.capture || !node.hasInterfaceName ||
                !interfaceHasDeviceId(node.interfaceName, deviceId))
                continue;
            const int fd = ::open(node.devNode.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) {
                if (isAccessDenied(errno))
                    reportDeviceAccessDenied(DeviceNodeKind::Camera, node.devNode,
                                             std::strerror(errno));
                return nullptr;
            }
            return std::make_unique<LinuxPictureControls>(fd);
        }
        return nullptr;
    }

private:
    VideoNodeScanner scanner;
};
} // namespace

std::unique_ptr<PictureControlBackend> makeLinuxPictureControlBackend(LinuxDeviceRoots roots,
                                                                      CapabilityQuery query) {
    return std::make_unique<LinuxPictureControlBackend>(std::move(roots), std::move(query));
}

PictureControlBackend &nativePictureControlBackend() {
    static LinuxPictureControlBackend backend{LinuxDeviceRoots{}, queryV4l2Capabilities};
    return backend;
}
