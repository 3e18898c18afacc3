// Seam: the operating system's list of video-input devices and the binding of one of them for
// the standard camera controls (pan, tilt, zoom). The enumeration rules (counting, names, the
// device id) live above this seam in DShowCameraWrapper; the seam only reports what the system
// says about each device, in the system's stable order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the system says about one video-input device. Entry i of the list must be the device that
// the frame-capture seam opens with index i (on Linux: /dev/video<i>), so that counting entries
// gives capture indices.
struct VideoInputInfo {
    // False when the device's properties could not be read at all (it then takes no index).
    bool propertiesReadable = true;
    // The device interface name, in the form
    // "\\?\usb#vid_XXXX&pid_YYYY&mi_NN#<instance>#{class}\global".
    bool hasDevicePath = false;
    std::string devicePath;
    // UTF-8.
    bool hasFriendlyName = false;
    std::string friendlyName;
    // A name that identifies the device even when its properties cannot be read.
    bool hasDisplayName = false;
    std::string displayName;
};

// Standard camera-control properties, numbered as the camera-control property set numbers them.
enum class CameraControlId : std::int32_t { Pan = 0, Tilt = 1, Roll = 2, Zoom = 3 };

// A bound capture device on which the standard camera controls are requested.
// Pan and tilt are in degrees, zoom in the device's own units.
class CameraControls {
public:
    virtual ~CameraControls() = default;
    // Reads the control; on success writes the device's value, otherwise leaves value as it is.
    // Returns whether the device answered.
    virtual bool get(CameraControlId property, std::int32_t &value) = 0;
    // Returns whether the device accepted the value; when it did not, `reason` says why in the
    // system's words (the request and its error).
    virtual bool set(CameraControlId property, std::int32_t value, std::string &reason) = 0;
};

class VideoInputBackend {
public:
    virtual ~VideoInputBackend() = default;
    // False when the system's device enumerator cannot be created.
    virtual bool available() = 0;
    virtual std::vector<VideoInputInfo> list() = 0;
    // Binds the device at the given position of the last list(); null when it cannot be bound.
    virtual std::unique_ptr<CameraControls> bind(std::size_t position) = 0;
};

// The installed back end. Without one, a back end that lists nothing.
VideoInputBackend &videoInputBackend();
// Installs a back end (not owned); nullptr restores the empty one.
void installVideoInputBackend(VideoInputBackend *backend);

// The operating system's back end (in the native library).
VideoInputBackend &nativeVideoInputBackend();
