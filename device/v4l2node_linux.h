// What sysfs and V4L2 say about the /dev/videoN nodes: whether a node captures video, the
// camera's friendly name, and the interface name under which the rest of the program knows it.
// Shared by the video-input list, the extension-unit channel and the hot-plug source, so that all
// three give a node the same name.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VideoInputBackend;

// Where sysfs and the device nodes live; tests point these at a tree of their own.
struct LinuxDeviceRoots {
    std::string sysfs = "/sys";
    std::string dev = "/dev";
};

// Asks a device node for its V4L2 capabilities (VIDIOC_QUERYCAP): the capabilities of this node
// and the driver's card name. False when the node cannot be opened (errno then says why) or does
// not answer.
using CapabilityQuery =
    std::function<bool(const std::string &devNode, std::uint32_t &deviceCaps, std::string &card)>;
bool queryV4l2Capabilities(const std::string &devNode, std::uint32_t &deviceCaps,
                           std::string &card);

struct VideoNodeInfo {
    int number = -1;
    std::string devNode;   // <dev>/videoN
    bool present = false;  // sysfs lists the node
    bool answered = false; // the node could be opened and answered VIDIOC_QUERYCAP
    bool capture = false;  // the node captures video (not a metadata node)
    bool hasFriendlyName = false;
    std::string friendlyName; // the USB product string, else the V4L2 card name
    bool hasInterfaceName = false;
    std::string interfaceName; // see device/interfacename.h
    std::string devPath;       // the node's sysfs path below the sysfs root ("/devices/...")
    std::string usbDevicePath; // sysfs directory of the USB device; empty when not on USB
    int interfaceNumber = -1;  // bInterfaceNumber of the node's interface
};

class VideoNodeScanner {
public:
    explicit VideoNodeScanner(LinuxDeviceRoots roots = {},
                              CapabilityQuery query = queryV4l2Capabilities);

    const LinuxDeviceRoots &roots() const { return paths; }
    // Numbers of the videoN nodes that sysfs lists, ascending.
    std::vector<int> presentNumbers() const;
    VideoNodeInfo describe(int number) const;
    // One entry for every number from 0 to the highest present one; entry i is node i.
    std::vector<VideoNodeInfo> scan() const;

private:
    // Reports a node that may not be opened when it is a camera's capture node.
    bool isCaptureNode(int number, std::string *card, bool *answered = nullptr) const;
    bool isFirstNodeOfUsbInterface(int number) const;

    LinuxDeviceRoots paths;
    CapabilityQuery capabilities;
};

// Pan and tilt travel in arc-seconds under V4L2; the program speaks whole degrees.
std::int32_t arcSecondsToDegrees(std::int64_t arcSeconds);
std::int32_t degreesToArcSeconds(std::int64_t degrees);

// The video-input back end over the given roots.
std::unique_ptr<VideoInputBackend> makeLinuxVideoInputBackend(LinuxDeviceRoots roots,
                                                              CapabilityQuery query);

// Turns video4linux uevents into arrivals and removals of capture interfaces. A removal arrives
// after sysfs has dropped the node, so the name is remembered by DEVPATH when the node is seen.
class CaptureNodeTracker {
public:
    struct Change {
        bool arrival = false;
        std::string interfaceName;
    };

    explicit CaptureNodeTracker(VideoNodeScanner scanner);
    // Remembers the names of the capture nodes present now.
    void rememberPresentNodes();
    // One uevent: its ACTION, DEVPATH and sysname ("videoN"). Returns the change to announce.
    std::optional<Change> handle(const std::string &action, const std::string &devPath,
                                 const std::string &sysName);
    std::size_t rememberedCount() const { return names.size(); }
    // Whether the node is listed but does not answer yet: the kernel announces a video node
    // before it lets it be opened, so an arrival may need asking again a moment later.
    bool awaitingAnswer(const std::string &sysName) const;

private:
    VideoNodeScanner nodes;
    std::map<std::string, std::string> names; // DEVPATH -> interface name
};

// "videoN" -> N; -1 for any other name.
int videoNodeNumber(const std::string &sysName);
