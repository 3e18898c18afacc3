// A simulated camera of the family. It has the camera's identity, settings, position, firmware
// version and picture, answers on its extension unit like the real camera, and, once told to
// enter its updater, leaves as a camera and shows itself as a USB disk that speaks the vendor's
// mass-storage protocol. Failure switches make it misbehave the way real hardware does.
//
// All simulation state is guarded by one process-wide recursive mutex (simMutex()); the public
// accessors take it, and the bus holds it while it calls the handlers below.
#pragma once

#include "common/clock.h"
#include "control/extensionunitchannel.h"
#include "control/picturecontrols.h"
#include "device/videoinputs.h"
#include "upgrade/scsichannel.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class SimulatedBus;

std::recursive_mutex &simMutex();

enum class SimStage {
    Camera,  // normal operation: a video capture device with the extension unit
    Rom,     // boot ROM: mass-storage device, INQUIRY product ""
    Updater, // updater program: mass-storage device, INQUIRY product "UPD"
    UBoot,   // boot loader: mass-storage device, INQUIRY product "UBO"
    Off,     // restarting: neither a camera nor a disk on the bus
};

// Whether the stage shows the camera as a mass-storage disk.
inline bool isDiskStage(SimStage stage) {
    return stage == SimStage::Rom || stage == SimStage::Updater || stage == SimStage::UBoot;
}

// The INQUIRY product identification of a disk stage; the boot ROM leaves it empty (zeros).
inline const char *inquiryProductOf(SimStage stage) {
    return stage == SimStage::Updater ? "UPD" : stage == SimStage::UBoot ? "UBO" : "";
}

struct SimCameraConfig {
    std::uint16_t vendorId = 0x1D6B;
    std::uint16_t productId = 0x0104;
    std::string productName = "QX-M30-000"; // USB product string, the friendly name
    std::string portKey = "usb1/1-1";       // the USB port it is plugged into
    std::uint8_t interfaceNumber = 0;
    std::string inquiryVendor = "QXM30"; // INQUIRY vendor identification in the updater stages
};

// In the order of CameraSetting.
struct SimSettings {
    std::uint8_t trackingMode = 0; // 0 Off, 1 Auto Framing, 3 Presenter Tracking
    std::uint8_t trackingEffect = 1;
    std::uint8_t trackingSpeed = 1;
    std::uint8_t antiFlicker = 1;
    std::uint8_t mic = 1;
    std::uint8_t hdr = 0;
};

struct SimVersion {
    std::uint16_t major = 1;
    std::uint16_t minor = 0;
    std::uint16_t patch = 0;
};

struct SimPosition {
    std::int32_t pan_deg = 0;
    std::int32_t tilt_deg = 0;
    std::int32_t zoom = 100;
};

// Camera-side failures.
struct SimCameraFaults {
    bool openFails = false;       // the capture source cannot be activated
    bool noExtensionUnit = false; // the camera has no vendor extension unit
    bool requestsTimeOut = false; // every extension-unit request fails as a stalled transfer
    bool garbageAnswers = false;  // queries answer random bytes
    bool versionAllZero = false;  // version queries answer 0.0.0
    bool noVersionQuery = false;  // the 0x80 version query is not acknowledged (legacy firmware)
    bool positionRefused = false; // pan/tilt/zoom requests are refused
    // The user may not open the camera's video node: like the Linux layer, the bus leaves the
    // camera out of its lists and reports the refusal.
    bool nodeRefused = false;
    int failRequestAfter = -1; // when >= 0: requests after this many succeed fail
    // The frames come in a pixel layout the preview cannot show (and never as MJPG).
    bool unusableFrames = false;
    bool noMjpg = false; // the camera streams YUYV only
    // As on a busy bus: when > 0, every n-th MJPG frame is cut short / loses a piece in the middle.
    int truncateEveryNthFrame = 0;
    int loseChunkEveryNthFrame = 0;
};

// Updater-side failures.
struct SimUpdaterFaults {
    bool neverAcknowledge = false;          // status reads never say 0x0D 0x00
    int failEveryNthVendorCommand = 0;      // when > 0: every n-th 0xE8 command fails
    bool refuseImageHeaders = false;        // image headers are refused (CHECK CONDITION)
    bool neverReturnsAsCamera = false;      // "reset" in u-Boot leaves it in u-Boot
    bool neverShowsVolume = false;          // after enter-upgrade it never appears as a disk
    long long vanishAfterBytes = -1;        // when >= 0: the disk disappears after this payload
    bool wrongStageAfterBootLoader = false; // after the boot-loader image it comes back in Updater
};

struct SimXuRecord {
    std::uint32_t selector = 0;
    UnitDirection direction = UnitDirection::Write;
    std::array<std::uint8_t, 8> bytes{}; // written bytes, or the bytes the caller sent for a read
};

// A write of a picture control that reached the camera, and what the camera made of it:
// "stored", "out-of-range" or "wrong-state" (a manual value while its automatic master is on).
struct SimPictureRecord {
    std::string name;
    std::int32_t value = 0;
    std::string result;
};

struct SimScsiRecord {
    std::vector<std::uint8_t> cdb;
    ScsiDirection direction = ScsiDirection::ToDevice;
    std::vector<std::uint8_t> data; // payload sent, or answer given
    std::uint32_t timeout_s = 0;
    bool succeeded = false;
    SimStage stage = SimStage::Off; // the stage that answered
};

// A JPEG picture of `picture` at `quality` (1..100), 4:2:2 as cameras send it; false when it
// cannot be encoded.
bool encodeJpeg(const QImage &picture, int quality, std::vector<unsigned char> &jpeg);

class SimCamera {
public:
    explicit SimCamera(SimCameraConfig config);
    SimCamera(const SimCamera &) = delete;
    SimCamera &operator=(const SimCamera &) = delete;

    const SimCameraConfig &config() const { return cfg; }
    // The interface name that enumeration and hot-plug give this camera's capture node.
    std::string interfaceName() const;

    SimStage stage() const;
    // Leaves the camera in a stage at once (for a camera stuck half-way through an upgrade).
    void setStage(SimStage stage);
    SimSettings settings() const;
    void setSettings(const SimSettings &settings);
    SimVersion version() const;
    void setVersion(const SimVersion &version);
    SimPosition position() const;
    void setPosition(const SimPosition &position);
    SimCameraFaults cameraFaults() const;
    void setCameraFaults(const SimCameraFaults &faults);
    SimUpdaterFaults updaterFaults() const;
    void setUpdaterFaults(const SimUpdaterFaults &faults);
    // The frames its captures have delivered so far.
    long long framesDelivered() const;
    // The pan, tilt and zoom requests it has taken, each with the number of extension-unit
    // requests recorded before it (its place among them).
    struct PositionRecord {
        CameraControlId axis;
        std::int32_t value;
        std::size_t afterUnitRecords;
    };
    std::vector<PositionRecord> positionLog() const;

    // Times the camera takes to restart (restore defaults, microphone change, reset from the
    // boot loader) and to show its disk after being told to enter the updater. Measured on the
    // active clock.
    Milliseconds restartDelay{3000};
    Milliseconds updaterAppearDelay{2000};
    // The boot ROM runs the updater program on the same disk instead of leaving the bus and
    // coming back as the program's own disk after restartDelay, as the camera does.
    bool updaterOnSameDisk = false;
    // Times the camera has left the bus as a disk: a handle opened before is a handle of a disk
    // that is gone.
    long long diskDepartures = 0;

    // The picture controls of its Processing Unit and Camera Terminal with their current values.
    // They go back to their defaults whenever the camera comes back on the bus, unless
    // keepPicture is set.
    std::vector<std::pair<PictureControlInfo, std::int32_t>> pictureControls() const;
    void setPictureValue(const std::string &name, std::int32_t value);
    bool keepPicture = false;
    // Picture controls left out of the camera's description (as a camera without them).
    std::set<std::string> missingPictureControls;

    std::vector<SimXuRecord> xuLog() const;
    std::vector<SimPictureRecord> pictureLog() const;
    std::vector<SimScsiRecord> scsiLog() const;
    // Boot-loader command lines received in u-Boot, in order.
    std::vector<std::string> shellLog() const;
    // Images written into memory in u-Boot: load address and bytes.
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> loadedImages() const;
    void clearLogs();

    // --- used by SimulatedBus; every call below runs with simMutex() held ---
    PlatformStatus handleUnitRequest(std::uint32_t selector, UnitDirection direction,
                                     std::uint8_t *data, std::uint32_t length,
                                     PlatformFailure &failure);
    bool getControl(int property, std::int32_t &value);
    bool setControl(int property, std::int32_t value);
    // The picture controls as the device describes them now (flags included), read and written
    // like the camera: a value off the range, or a manual value while its master is on, is refused.
    std::vector<PictureControlInfo> queryPicture() const;
    bool readPicture(std::uint32_t id, std::int32_t &value, std::string &reason) const;
    bool writePicture(std::uint32_t id, std::int32_t value, std::string &reason);
    void resetPicture();
    // Paints frame number `frameNumber` of the moving test picture (RGB32).
    void renderFrame(QImage &frame, int width, int height, long long frameNumber) const;
    // Whether the camera can stream MJPG (see SimCameraFaults::unusableFrames and noMjpg).
    bool offersMjpg() const;
    // Compresses a painted picture as the MJPG stream carries it, damaged as `faults` asks for
    // frame number `frameNumber`. Needs no lock: runs outside simMutex().
    static void compressFrame(const QImage &picture, std::vector<unsigned char> &jpeg,
                              const SimCameraFaults &faults, long long frameNumber);
    // A painted picture as an uncompressed stream carries it: YUYV, two bytes a pixel.
    static void toYuyv(const QImage &picture, std::vector<unsigned char> &yuyv);
    bool handleScsi(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                    std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s);

private:
    friend class SimulatedBus;

    SimCameraConfig cfg;
    SimulatedBus *bus = nullptr; // set while attached
    SimStage currentStage = SimStage::Camera;
    SimSettings currentSettings;
    SimVersion currentVersion;
    SimPosition currentPosition;
    SimCameraFaults camFaults;
    SimUpdaterFaults updFaults;
    mutable long long paintedFrames = 0; // by renderFrame(), one per frame delivered
    long long unitRequests = 0;
    std::vector<PositionRecord> positionRecords;
    long long scsiRequests = 0;
    long long vendorCommands = 0;
    std::vector<SimXuRecord> xuRecords;
    std::vector<std::pair<PictureControlInfo, std::int32_t>> picture;
    std::vector<SimPictureRecord> pictureRecords;
    // The answer that the next read of the response control returns (extension-unit model).
    std::array<std::uint8_t, 8> unitAnswer{};
    std::vector<SimScsiRecord> scsiRecords;
    std::vector<std::string> shellLines;
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> images;

public:
    // Protocol state of the updater side, kept between requests (owned by the updater model).
    struct UpdaterProtocolState {
        std::vector<std::uint8_t> pendingData; // data chunks received since the last header
        bool headerSeen = false;
        std::uint32_t headerAddress = 0;
        std::uint32_t headerSize = 0;
        std::array<std::uint8_t, 16> headerMd5{};
        std::array<std::uint8_t, 4> status{{0xFF, 0xFF, 0xFF, 0xFF}};
        long long payloadBytes = 0; // payload received since entering the stage
        SimVersion pendingVersion;  // version the firmware being written carries
        bool pendingVersionKnown = false;
        // A good boot-loader image was taken in Updater: the camera restarts into its boot loader
        // once the host has read the acknowledgement.
        bool restartAfterAcknowledge = false;
    } updater;
};
