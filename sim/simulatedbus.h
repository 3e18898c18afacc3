// The simulated USB bus: the cameras plugged into it and the other devices beside them. It stands
// behind every device seam (video inputs and their camera controls, the extension unit, frame
// capture, the SCSI devices, hot-plug events, picture controls), so the program above the seams
// cannot tell it from the real system.
//
// Time-driven changes (a camera restarting, a disk appearing after the switch into the updater)
// are scheduled on the active clock and applied by poll(), which every seam call runs first. With a
// VirtualClock a test advances the clock and calls poll(); the demo polls from a timer.
#pragma once

#include "device/hotplugsource.h"
#include "device/videoinputs.h"
#include "preview/framecapture.h"
#include "sim/simcamera.h"
#include "upgrade/scsichannel.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class SimHotplugSource;

class SimulatedBus final : public VideoInputBackend,
                           public ExtensionUnitBackend,
                           public ScsiBackend {
public:
    SimulatedBus();
    ~SimulatedBus() override;
    SimulatedBus(const SimulatedBus &) = delete;
    SimulatedBus &operator=(const SimulatedBus &) = delete;

    // Installs the bus behind every seam; uninstall() (also run by the destructor) restores the
    // empty back ends.
    void install();
    void uninstall();

    // Creates a camera and plugs it in.
    std::shared_ptr<SimCamera> addCamera(const SimCameraConfig &config);
    void plug(const std::shared_ptr<SimCamera> &camera);
    void unplug(const std::shared_ptr<SimCamera> &camera);
    bool isPlugged(const std::shared_ptr<SimCamera> &camera) const;
    // Another video-input device (an audio function named "... Microphone", a device whose
    // properties cannot be read, a webcam of another vendor).
    void addOtherVideoInput(const VideoInputInfo &info);
    void clearOtherVideoInputs();
    std::vector<std::shared_ptr<SimCamera>> cameras() const;

    // Runs `action` (with simMutex() held) once the active clock has advanced by `delay`.
    void schedule(Milliseconds delay, std::function<void()> action);
    // Applies every scheduled change that is due.
    void poll();
    // Number of open handles the seams have handed out and not yet destroyed.
    int openHandles() const;
    // A system without any way to extension units (Windows without Media Foundation): every
    // enumeration of the capture sources fails with kStatusNotImplemented.
    void setExtensionUnitsUnreachable(bool unreachable);

    // Called by a camera when it leaves or rejoins the bus as a video capture device.
    void announceCapture(SimCamera &camera, bool arrival);

    // VideoInputBackend
    bool available() override;
    std::vector<VideoInputInfo> list() override;
    std::unique_ptr<CameraControls> bind(std::size_t position) override;

    // ExtensionUnitBackend
    bool enumerate(std::vector<CaptureSourceInfo> &sources, PlatformFailure &failure) override;
    std::unique_ptr<ExtensionUnitDevice> activate(std::size_t position,
                                                  PlatformFailure &failure) override;

    // ScsiBackend
    std::vector<std::string> candidates() override;
    std::unique_ptr<ScsiDevice> open(const std::string &candidate) override;
    std::vector<ScsiDiskIdentity> listedDisks() override;
    // Refuses every SCSI open, as for a process without the rights to open disks; the disks are
    // still listed.
    void setDiskOpeningRefused(bool refused);

    // Frame capture by capture index, as the V4L2 capture gives it: MJPG or YUYV frames.
    std::unique_ptr<FrameCapture> openCapture(int index);
    std::unique_ptr<HotplugSource> createHotplugSource();

private:
    struct Node;
    struct Impl;
    class PictureBackend;
    std::unique_ptr<Impl> d;
    std::unique_ptr<PictureBackend> pictures;
};
