#include "device/v4l2node_linux.h"

#include "common/deviceaccess.h"
#include "device/interfacename.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace fs = std::filesystem;

namespace {
const char kVideoPrefix[] = "video";

// A sysfs attribute without its trailing line break; nullopt when it cannot be read.
std::optional<std::string> readAttribute(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    std::string value = text.str();
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r' || value.back() == ' '))
        value.pop_back();
    return value;
}

bool readHexAttribute(const fs::path &path, unsigned long limit, unsigned long &value) {
    const std::optional<std::string> text = readAttribute(path);
    if (!text || text->empty())
        return false;
    char *end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text->c_str(), &end, 16);
    if (errno != 0 || end == text->c_str() || *end != '\0' || parsed > limit)
        return false;
    value = parsed;
    return true;
}

fs::path canonicalOrEmpty(const fs::path &path) {
    std::error_code error;
    fs::path resolved = fs::canonical(path, error);
    return error ? fs::path() : resolved;
}

// The node's interface directory (its "device" link resolved).
fs::path interfaceDirectory(const fs::path &nodeDirectory) {
    return canonicalOrEmpty(nodeDirectory / "device");
}

fs::path classDirectory(const LinuxDeviceRoots &roots) {
    return fs::path(roots.sysfs) / "class" / "video4linux";
}
} // namespace

int videoNodeNumber(const std::string &sysName) {
    const std::size_t prefix = sizeof kVideoPrefix - 1;
    if (sysName.size() <= prefix || sysName.compare(0, prefix, kVideoPrefix) != 0)
        return -1;
    int number = 0;
    for (std::size_t i = prefix; i < sysName.size(); ++i) {
        const char c = sysName[i];
        if (c < '0' || c > '9' || number > 99999)
            return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

bool queryV4l2Capabilities(const std::string &devNode, std::uint32_t &deviceCaps,
                           std::string &card) {
    const int fd = ::open(devNode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    v4l2_capability capability{};
    int result = -1;
    do {
        result = ::ioctl(fd, VIDIOC_QUERYCAP, &capability);
    } while (result < 0 && errno == EINTR);
    ::close(fd);
    if (result < 0)
        return false;
    deviceCaps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) ? capability.device_caps
                                                                  : capability.capabilities;
    const char *text = reinterpret_cast<const char *>(capability.card);
    card.assign(text, strnlen(text, sizeof capability.card));
    return true;
}

VideoNodeScanner::VideoNodeScanner(LinuxDeviceRoots roots, CapabilityQuery query)
    : paths(std::move(roots))
    , capabilities(std::move(query)) {}

std::vector<int> VideoNodeScanner::presentNumbers() const {
    std::vector<int> numbers;
    std::error_code error;
    fs::directory_iterator it(classDirectory(paths), error);
    if (error)
        return numbers;
    for (const fs::directory_entry &entry : it) {
        const int number = videoNodeNumber(entry.path().filename().string());
        if (number >= 0)
            numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

bool VideoNodeScanner::isCaptureNode(int number, std::string *card, bool *answered) const {
    std::uint32_t caps = 0;
    std::string name;
    const std::string devNode = paths.dev + "/" + kVideoPrefix + std::to_string(number);
    errno = 0;
    const bool answer = capabilities && capabilities(devNode, caps, name);
    if (answered)
        *answered = answer;
    if (!answer) {
        const int error = errno;
        if (isAccessDenied(error) && isFirstNodeOfUsbInterface(number))
            reportDeviceAccessDenied(DeviceNodeKind::Camera, devNode, std::strerror(error));
        return false;
    }
    if (card)
        *card = name;
    return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

bool VideoNodeScanner::isFirstNodeOfUsbInterface(int number) const {
    // A camera's capture node is the first of its interface's nodes (index 0), the metadata node
    // the second; a node that cannot be opened cannot say which it is.
    const fs::path nodeDirectory = classDirectory(paths) / (kVideoPrefix + std::to_string(number));
    const fs::path interfaceDir = interfaceDirectory(nodeDirectory);
    unsigned long index = 0;
    return !interfaceDir.empty() && fs::exists(interfaceDir.parent_path() / "idVendor") &&
           (!readHexAttribute(nodeDirectory / "index", 0xFF, index) || index == 0);
}

VideoNodeInfo VideoNodeScanner::describe(int number) const {
    VideoNodeInfo info;
    info.number = number;
    info.devNode = paths.dev + "/" + kVideoPrefix + std::to_string(number);
    const fs::path nodeDirectory = classDirectory(paths) / (kVideoPrefix + std::to_string(number));
    std::error_code error;
    info.present = fs::exists(nodeDirectory, error);
    if (!info.present)
        return info;

    const fs::path sysfsRoot = canonicalOrEmpty(paths.sysfs);
    const fs::path resolvedNode = canonicalOrEmpty(nodeDirectory);
    if (!sysfsRoot.empty() && !resolvedNode.empty()) {
        const std::string root = sysfsRoot.string();
        const std::string node = resolvedNode.string();
        if (node.compare(0, root.size(), root) == 0)
            info.devPath = node.substr(root.size());
    }

    std::string card;
    info.capture = isCaptureNode(number, &card, &info.answered);
    if (!info.capture)
        return info;

    const fs::path interfaceDir = interfaceDirectory(nodeDirectory);
    const fs::path usbDevice = interfaceDir.empty() ? fs::path() : interfaceDir.parent_path();
    unsigned long vendor = 0;
    unsigned long product = 0;
    unsigned long interfaceNumber = 0;
    const bool onUsb = !usbDevice.empty() &&
                       readHexAttribute(usbDevice / "idVendor", 0xFFFF, vendor) &&
                       readHexAttribute(usbDevice / "idProduct", 0xFFFF, product) &&
                       readHexAttribute(interfaceDir / "bInterfaceNumber", 0xFF, interfaceNumber);

    if (!usbDevice.empty()) {
        const std::optional<std::string> productName = readAttribute(usbDevice / "product");
        if (productName && !productName->empty()) {
            info.hasFriendlyName = true;
            info.friendlyName = *productName;
        }
    }
    if (!info.hasFriendlyName && !card.empty()) {
        info.hasFriendlyName = true;
        info.friendlyName = card;
    }

    if (onUsb) {
        info.usbDevicePath = usbDevice.string();
        info.interfaceNumber = static_cast<int>(interfaceNumber);

        // The ordinal counts the capture nodes of the same interface registered before this one.
        unsigned ordinal = 0;
        for (int other : presentNumbers()) {
            if (other >= number)
                break;
            const fs::path otherDirectory =
                classDirectory(paths) / (kVideoPrefix + std::to_string(other));
            if (interfaceDirectory(otherDirectory) == interfaceDir && isCaptureNode(other, nullptr))
                ++ordinal;
        }

        InterfaceNameParts parts;
        parts.vendorId = static_cast<std::uint16_t>(vendor);
        parts.productId = static_cast<std::uint16_t>(product);
        parts.interfaceNumber = static_cast<std::uint8_t>(interfaceNumber);
        // The USB device's directory name ("1-1.4") is its port path: stable across replugs.
        parts.portKey = usbDevice.filename().string();
        parts.nodeOrdinal = ordinal;
        info.hasInterfaceName = true;
        info.interfaceName = makeCaptureInterfaceName(parts);
    }
    return info;
}

std::vector<VideoNodeInfo> VideoNodeScanner::scan() const {
    std::vector<VideoNodeInfo> nodes;
    const std::vector<int> numbers = presentNumbers();
    if (numbers.empty())
        return nodes;
    const int highest = numbers.back();
    nodes.reserve(static_cast<std::size_t>(highest) + 1);
    for (int number = 0; number <= highest; ++number) {
        if (std::binary_search(numbers.begin(), numbers.end(), number)) {
            nodes.push_back(describe(number));
        } else {
            VideoNodeInfo missing;
            missing.number = number;
            missing.devNode = paths.dev + "/" + kVideoPrefix + std::to_string(number);
            nodes.push_back(missing);
        }
    }
    return nodes;
}

std::int32_t arcSecondsToDegrees(std::int64_t arcSeconds) {
    const double degrees = std::round(static_cast<double>(arcSeconds) / 3600.0);
    return static_cast<std::int32_t>(degrees);
}

std::int32_t degreesToArcSeconds(std::int64_t degrees) {
    const std::int64_t arcSeconds = degrees * 3600;
    constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(arcSeconds, low, high));
}

CaptureNodeTracker::CaptureNodeTracker(VideoNodeScanner scanner)
    : nodes(std::move(scanner)) {}

void CaptureNodeTracker::rememberPresentNodes() {
    for (int number : nodes.presentNumbers()) {
        const VideoNodeInfo info = nodes.describe(number);
        if (info.capture && info.hasInterfaceName && !info.devPath.empty())
            names[info.devPath] = info.interfaceName;
    }
}

bool CaptureNodeTracker::awaitingAnswer(const std::string &sysName) const {
    const int number = videoNodeNumber(sysName);
    if (number < 0)
        return false;
    const VideoNodeInfo info = nodes.describe(number);
    return info.present && !info.answered;
}

std::optional<CaptureNodeTracker::Change> CaptureNodeTracker::handle(const std::string &action,
                                                                     const std::string &devPath,
                                                                     const std::string &sysName) {
    if (action == "add") {
        const int number = videoNodeNumber(sysName);
        if (number < 0)
            return std::nullopt;
        const VideoNodeInfo info = nodes.describe(number);
        if (!info.capture || !info.hasInterfaceName)
            return std::nullopt;
        const std::string key = devPath.empty() ? info.devPath : devPath;
        if (!key.empty())
            names[key] = info.interfaceName;
        return Change{true, info.interfaceName};
    }
    if (action == "remove") {
        auto it = names.find(devPath);
        if (it == names.end())
            return std::nullopt;
        Change change{false, it->second};
        names.erase(it);
        return change;
    }
    return std::nullopt;
}
