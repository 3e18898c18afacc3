// Seam: the camera's standard picture controls (brightness, contrast, white balance, exposure and
// whatever else the device offers), read from the device itself. Linux asks V4L2 for its extended
// controls, Windows asks DirectShow's IAMVideoProcAmp and IAMCameraControl, the simulated camera
// answers like the device. The rules above the seam (names, automatic masters, validation) live in
// PictureSettings (control/picturesettings.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class PictureControlKind { Integer, Boolean, Menu };

struct PictureMenuEntry {
    std::int32_t value = 0;
    std::string label;
};

// One control as the device describes it now.
struct PictureControlInfo {
    // The system's own number for the control (Linux: the V4L2 control id; Windows: the
    // property, with the interface in the high bits).
    std::uint32_t id = 0;
    // The name the program and its users know the control by, the same on every system:
    // "brightness", "white-balance-automatic", "exposure-time", ...
    std::string name;
    // The system's own label ("White Balance Temperature"), for controls the program has no
    // label of its own for.
    std::string label;
    PictureControlKind kind = PictureControlKind::Integer;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t step = 1;
    std::int32_t defaultValue = 0;
    // Menus only: the values the device accepts, with their labels.
    std::vector<PictureMenuEntry> menu;
    // Its automatic master is on: the device refuses a manual value.
    bool inactive = false;
    // The device offers the control but does not use it.
    bool disabled = false;
    bool readOnly = false;
    // The unit of the values, when they have one ("100 µs" for exposure times on every system).
    std::string unit;
};

// The picture controls of one opened camera.
class PictureControlDevice {
public:
    virtual ~PictureControlDevice() = default;
    // Every control the device offers, with its current flags.
    virtual std::vector<PictureControlInfo> query() = 0;
    // False when the device refused; `reason` then says why in the system's words.
    virtual bool read(std::uint32_t id, std::int32_t &value, std::string &reason) = 0;
    virtual bool write(std::uint32_t id, std::int32_t value, std::string &reason) = 0;
};

class PictureControlBackend {
public:
    virtual ~PictureControlBackend() = default;
    // Opens the picture controls of the camera with this device id (the text between the first
    // and the last "#" of its interface name, compared without regard to case); null when no such
    // camera is present or it cannot be opened.
    virtual std::unique_ptr<PictureControlDevice> open(const std::string &deviceId) = 0;
};

// The installed back end. Without one, a back end that opens nothing.
PictureControlBackend &pictureControlBackend();
// Installs a back end (not owned); nullptr restores the empty one.
void installPictureControlBackend(PictureControlBackend *backend);

// The operating system's back end (in the native library).
PictureControlBackend &nativePictureControlBackend();

// Whether the interface name carries this device id (without regard to case).
bool interfaceHasDeviceId(const std::string &interfaceName, const std::string &deviceId);
