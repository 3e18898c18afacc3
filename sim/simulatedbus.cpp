#include "sim/simulatedbus.h"

#include "common/deviceaccess.h"
#include "preview/framecapture.h"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <atomic>
#include <map>

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;

class SimHotplug final : public HotplugSource {
public:
    bool start(quintptr) override { return true; }
};
} // namespace

// One /dev/videoN-like node: a camera's capture node, its metadata node, or another device.
struct SimulatedBus::Node {
    std::weak_ptr<SimCamera> camera;
    bool captureNode = false;
    VideoInputInfo other;
    bool isOther = false;
};

struct SimulatedBus::Impl {
    std::vector<std::shared_ptr<SimCamera>> cameras; // every camera created, plugged or not
    std::vector<std::shared_ptr<SimCamera>> plugged;
    std::map<int, Node> nodes;
    std::vector<std::pair<Milliseconds, std::function<void()>>> scheduled;
    std::vector<QPointer<HotplugSource>> hotplugSources;
    std::atomic<int> openHandles{0};
    bool diskOpeningRefused = false;
    bool extensionUnitsUnreachable = false;
    // Positions handed out by the last list()/enumerate().
    std::vector<std::weak_ptr<SimCamera>> lastVideoList;
    std::vector<std::weak_ptr<SimCamera>> lastSourceList;

    int lowestFreeNode() const {
        int n = 0;
        while (nodes.count(n))
            ++n;
        return n;
    }

    void addCaptureNodes(const std::shared_ptr<SimCamera> &camera) {
        Node capture;
        capture.camera = camera;
        capture.captureNode = true;
        nodes[lowestFreeNode()] = capture;
        Node metadata;
        metadata.camera = camera;
        nodes[lowestFreeNode()] = metadata;
    }

    void removeCaptureNodes(const SimCamera &camera) {
        for (auto it = nodes.begin(); it != nodes.end();) {
            auto owner = it->second.camera.lock();
            if (!it->second.isOther && owner.get() == &camera)
                it = nodes.erase(it);
            else
                ++it;
        }
    }

    std::shared_ptr<SimCamera> shared(const SimCamera &camera) const {
        for (const auto &c : cameras) {
            if (c.get() == &camera)
                return c;
        }
        return nullptr;
    }

    bool isPlugged(const SimCamera &camera) const {
        return std::any_of(plugged.begin(), plugged.end(),
                           [&](const auto &c) { return c.get() == &camera; });
    }

    void emitHotplug(bool arrival, const std::string &name) {
        const QString interfaceName = QString::fromStdString(name);
        hotplugSources.erase(std::remove_if(hotplugSources.begin(), hotplugSources.end(),
                                            [](const auto &s) { return s.isNull(); }),
                             hotplugSources.end());
        for (const QPointer<HotplugSource> &source : hotplugSources) {
            HotplugSource *target = source.data();
            QMetaObject::invokeMethod(
                target,
                [target, arrival, interfaceName] {
                    emit target->captureInterfaceChanged(arrival, interfaceName);
                },
                Qt::QueuedConnection);
        }
    }
};

namespace {
// A handle that counts itself and checks that its camera is still a camera on the bus.
class CountedHandle {
public:
    CountedHandle(std::atomic<int> &counter, std::weak_ptr<SimCamera> camera)
        : count(counter)
        , target(std::move(camera)) {
        ++count;
    }
    ~CountedHandle() { --count; }
    CountedHandle(const CountedHandle &) = delete;
    CountedHandle &operator=(const CountedHandle &) = delete;

protected:
    std::atomic<int> &count;
    std::weak_ptr<SimCamera> target;
};

class SimControls final : public CameraControls, CountedHandle {
public:
    SimControls(SimulatedBus &bus, std::atomic<int> &counter, std::weak_ptr<SimCamera> camera)
        : CountedHandle(counter, std::move(camera))
        , owner(bus) {}
    bool get(CameraControlId property, std::int32_t &value) override {
        owner.poll();
        Guard guard(simMutex());
        auto camera = live();
        return camera && camera->getControl(static_cast<int>(property), value);
    }
    bool set(CameraControlId property, std::int32_t value, std::string &reason) override {
        owner.poll();
        Guard guard(simMutex());
        auto camera = live();
        if (!camera) {
            reason = "no such device";
            return false;
        }
        if (!camera->setControl(static_cast<int>(property), value)) {
            reason = "refused by the camera";
            return false;
        }
        return true;
    }

private:
    std::shared_ptr<SimCamera> live() const {
        auto camera = target.lock();
        if (!camera || !owner.isPlugged(camera) || camera->stage() != SimStage::Camera)
            return nullptr;
        return camera;
    }
    SimulatedBus &owner;
};

class SimUnitDevice final : public ExtensionUnitDevice, CountedHandle {
public:
    SimUnitDevice(SimulatedBus &bus, std::atomic<int> &counter, std::weak_ptr<SimCamera> camera)
        : CountedHandle(counter, std::move(camera))
        , owner(bus) {}
    PlatformStatus request(std::uint32_t selector, UnitDirection direction, std::uint8_t *data,
                           std::uint32_t length, PlatformFailure &failure) override {
        owner.poll();
        Guard guard(simMutex());
        auto camera = target.lock();
        if (!camera || !owner.isPlugged(camera) || camera->stage() != SimStage::Camera) {
            // The device node is gone: the driver answers "no such device".
            failure = failureFromErrno("UVCIOC_CTRL_QUERY", 19);
            return failure.status;
        }
        return camera->handleUnitRequest(selector, direction, data, length, failure);
    }

private:
    SimulatedBus &owner;
};

// A camera's picture controls; like the device node, gone while the camera is not a camera.
class SimPictureDevice final : public PictureControlDevice, CountedHandle {
public:
    SimPictureDevice(SimulatedBus &bus, std::atomic<int> &counter, std::weak_ptr<SimCamera> camera)
        : CountedHandle(counter, std::move(camera))
        , owner(bus) {}
    std::vector<PictureControlInfo> query() override {
        owner.poll();
        Guard guard(simMutex());
        auto camera = live();
        return camera ? camera->queryPicture() : std::vector<PictureControlInfo>{};
    }
    bool read(std::uint32_t id, std::int32_t &value, std::string &reason) override {
        owner.poll();
        Guard guard(simMutex());
        auto camera = live();
        if (!camera)
            return reason = "no such device", false;
        return camera->readPicture(id, value, reason);
    }
    bool write(std::uint32_t id, std::int32_t value, std::string &reason) override {
        owner.poll();
        Guard guard(simMutex());
        auto camera = live();
        if (!camera)
            return reason = "no such device", false;
        return camera->writePicture(id, value, reason);
    }

private:
    std::shared_ptr<SimCamera> live() const {
        auto camera = target.lock();
        if (!camera || !owner.isPlugged(camera) || camera->stage() != SimStage::Camera)
            return nullptr;
        return camera;
    }
    SimulatedBus &owner;
};

class SimScsi final : public ScsiDevice, CountedHandle {
public:
    SimScsi(SimulatedBus &bus, std::atomic<int> &counter, const std::shared_ptr<SimCamera> &camera)
        : CountedHandle(counter, camera)
        , owner(bus)
        , departuresAtOpen(camera->diskDepartures) {}
    bool execute(const std::uint8_t *cdb, std::size_t cdbLength, ScsiDirection direction,
                 std::uint8_t *data, std::uint32_t length, std::uint32_t timeout_s) override {
        owner.poll();
        Guard guard(simMutex());
        auto camera = target.lock();
        // A disk that has left the bus since it was opened is gone, whatever came back.
        if (!camera || !owner.isPlugged(camera) || !isDiskStage(camera->stage()) ||
            camera->diskDepartures != departuresAtOpen)
            return false;
        return camera->handleScsi(cdb, cdbLength, direction, data, length, timeout_s);
    }

private:
    SimulatedBus &owner;
    const long long departuresAtOpen;
};

class SimFrameCapture final : public FrameCapture, CountedHandle {
public:
    SimFrameCapture(SimulatedBus &bus, std::atomic<int> &counter, std::weak_ptr<SimCamera> camera)
        : CountedHandle(counter, std::move(camera))
        , owner(bus) {}
    bool isOpened() const override { return true; }
    double get(CaptureProperty property) const override;
    bool set(CaptureProperty property, double value) override;
    bool read(CapturedFrame &frame) override;

private:
    SimulatedBus &owner;
    double fps = 30.0;
    double width = 640.0;
    double height = 480.0;
    double fourcc = yuyvFourCc;
    QImage picture; // the painted frame before it is encoded
    long long frameNumber = 0;
    Milliseconds nextFrameAt{0};
};
} // namespace

// Apart from the bus itself, whose open() already opens SCSI devices.
class SimulatedBus::PictureBackend final : public PictureControlBackend {
public:
    explicit PictureBackend(SimulatedBus &bus)
        : owner(bus) {}
    std::unique_ptr<PictureControlDevice> open(const std::string &deviceId) override {
        owner.poll();
        Guard guard(simMutex());
        for (const auto &camera : owner.d->plugged)
            if (camera->currentStage == SimStage::Camera && !camera->camFaults.nodeRefused &&
                interfaceHasDeviceId(camera->interfaceName(), deviceId))
                return std::make_unique<SimPictureDevice>(owner, owner.d->openHandles, camera);
        return nullptr;
    }

private:
    SimulatedBus &owner;
};

SimulatedBus::SimulatedBus()
    : d(std::make_unique<Impl>())
    , pictures(std::make_unique<PictureBackend>(*this)) {}

SimulatedBus::~SimulatedBus() {
    uninstall();
    Guard guard(simMutex());
    for (auto &camera : d->cameras)
        camera->bus = nullptr;
}

void SimulatedBus::install() {
    installVideoInputBackend(this);
    installExtensionUnitBackend(this);
    installScsiBackend(this);
    installPictureControlBackend(pictures.get());
    // The capture behaves like a V4L2 camera's: MJPG or YUYV frames.
    installFrameCaptureFactory([this](int index) { return openCapture(index); });
    installHotplugSourceFactory([this] { return createHotplugSource(); });
}

void SimulatedBus::uninstall() {
    if (&videoInputBackend() == this)
        installVideoInputBackend(nullptr);
    if (&extensionUnitBackend() == this)
        installExtensionUnitBackend(nullptr);
    if (&scsiBackend() == this)
        installScsiBackend(nullptr);
    if (&pictureControlBackend() == pictures.get())
        installPictureControlBackend(nullptr);
    installFrameCaptureFactory(nullptr);
    installHotplugSourceFactory(nullptr);
}

std::shared_ptr<SimCamera> SimulatedBus::addCamera(const SimCameraConfig &config) {
    auto camera = std::make_shared<SimCamera>(config);
    {
        Guard guard(simMutex());
        d->cameras.push_back(camera);
    }
    plug(camera);
    return camera;
}

void SimulatedBus::plug(const std::shared_ptr<SimCamera> &camera) {
    Guard guard(simMutex());
    if (d->isPlugged(*camera))
        return;
    if (!d->shared(*camera))
        d->cameras.push_back(camera);
    camera->bus = this;
    d->plugged.push_back(camera);
    if (!camera->keepPicture)
        camera->resetPicture();
    if (camera->currentStage == SimStage::Camera)
        announceCapture(*camera, true);
}

void SimulatedBus::unplug(const std::shared_ptr<SimCamera> &camera) {
    Guard guard(simMutex());
    if (!d->isPlugged(*camera))
        return;
    if (camera->currentStage == SimStage::Camera)
        announceCapture(*camera, false);
    if (isDiskStage(camera->currentStage))
        ++camera->diskDepartures;
    d->plugged.erase(std::remove(d->plugged.begin(), d->plugged.end(), camera), d->plugged.end());
    // Changes the camera had scheduled for itself die with its power, and so does its position.
    camera->updater = SimCamera::UpdaterProtocolState();
    camera->currentPosition = SimPosition();
}

bool SimulatedBus::isPlugged(const std::shared_ptr<SimCamera> &camera) const {
    Guard guard(simMutex());
    return camera && d->isPlugged(*camera);
}

void SimulatedBus::addOtherVideoInput(const VideoInputInfo &info) {
    Guard guard(simMutex());
    Node node;
    node.isOther = true;
    node.other = info;
    d->nodes[d->lowestFreeNode()] = node;
}

void SimulatedBus::clearOtherVideoInputs() {
    Guard guard(simMutex());
    for (auto it = d->nodes.begin(); it != d->nodes.end();)
        it = it->second.isOther ? d->nodes.erase(it) : std::next(it);
}

std::vector<std::shared_ptr<SimCamera>> SimulatedBus::cameras() const {
    Guard guard(simMutex());
    return d->cameras;
}

void SimulatedBus::schedule(Milliseconds delay, std::function<void()> action) {
    Guard guard(simMutex());
    d->scheduled.emplace_back(activeClock().now() + delay, std::move(action));
}

void SimulatedBus::poll() {
    Guard guard(simMutex());
    const Milliseconds now = activeClock().now();
    // Actions may schedule further actions; run only those due now, in order of their time.
    std::stable_sort(d->scheduled.begin(), d->scheduled.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<std::function<void()>> due;
    auto it = d->scheduled.begin();
    for (; it != d->scheduled.end() && it->first <= now; ++it)
        due.push_back(std::move(it->second));
    d->scheduled.erase(d->scheduled.begin(), it);
    for (auto &action : due)
        action();
}

int SimulatedBus::openHandles() const {
    return d->openHandles.load();
}

void SimulatedBus::announceCapture(SimCamera &camera, bool arrival) {
    Guard guard(simMutex());
    auto shared = d->shared(camera);
    if (!shared)
        return;
    if (arrival) {
        if (!d->isPlugged(camera))
            return;
        d->removeCaptureNodes(camera);
        d->addCaptureNodes(shared);
    } else {
        d->removeCaptureNodes(camera);
    }
    d->emitHotplug(arrival, camera.interfaceName());
}

bool SimulatedBus::available() {
    return true;
}

std::vector<VideoInputInfo> SimulatedBus::list() {
    poll();
    std::vector<VideoInputInfo> result;
    std::vector<std::string> refused;
    {
        Guard guard(simMutex());
        d->lastVideoList.clear();
        const int last = d->nodes.empty() ? -1 : d->nodes.rbegin()->first;
        for (int n = 0; n <= last; ++n) {
            VideoInputInfo info;
            std::weak_ptr<SimCamera> owner;
            auto it = d->nodes.find(n);
            if (it != d->nodes.end()) {
                if (it->second.isOther) {
                    info = it->second.other;
                } else if (it->second.captureNode) {
                    auto camera = it->second.camera.lock();
                    if (camera && camera->camFaults.nodeRefused) {
                        refused.push_back("/dev/video" + std::to_string(n));
                    } else if (camera) {
                        info.hasDevicePath = true;
                        info.devicePath = camera->interfaceName();
                        info.hasFriendlyName = true;
                        info.friendlyName = camera->config().productName;
                        info.hasDisplayName = true;
                        info.displayName = "/dev/video" + std::to_string(n);
                        owner = camera;
                    }
                }
            }
            result.push_back(info);
            d->lastVideoList.push_back(owner);
        }
    }
    // Outside the bus's lock: whoever listens may ask the bus again.
    for (const std::string &node : refused)
        reportDeviceAccessDenied(DeviceNodeKind::Camera, node, "Permission denied");
    return result;
}

std::unique_ptr<CameraControls> SimulatedBus::bind(std::size_t position) {
    Guard guard(simMutex());
    if (position >= d->lastVideoList.size())
        return nullptr;
    auto camera = d->lastVideoList[position].lock();
    if (!camera || !d->isPlugged(*camera))
        return nullptr;
    return std::make_unique<SimControls>(*this, d->openHandles, camera);
}

void SimulatedBus::setExtensionUnitsUnreachable(bool unreachable) {
    Guard guard(simMutex());
    d->extensionUnitsUnreachable = unreachable;
}

bool SimulatedBus::enumerate(std::vector<CaptureSourceInfo> &sources, PlatformFailure &failure) {
    poll();
    Guard guard(simMutex());
    sources.clear();
    if (d->extensionUnitsUnreachable) {
        failure = {"Media Foundation", kStatusNotImplemented};
        return false;
    }
    d->lastSourceList.clear();
    for (const auto &[number, node] : d->nodes) {
        if (node.isOther) {
            if (node.other.hasFriendlyName || node.other.hasDevicePath) {
                CaptureSourceInfo info;
                info.hasFriendlyName = node.other.hasFriendlyName;
                info.friendlyName = node.other.friendlyName;
                info.hasSymbolicLink = node.other.hasDevicePath;
                info.symbolicLink = node.other.devicePath;
                sources.push_back(info);
                d->lastSourceList.emplace_back();
            }
            continue;
        }
        auto camera = node.camera.lock();
        if (!node.captureNode || !camera || camera->camFaults.nodeRefused)
            continue;
        CaptureSourceInfo info;
        info.hasFriendlyName = true;
        info.friendlyName = camera->config().productName;
        info.hasSymbolicLink = true;
        info.symbolicLink = camera->interfaceName();
        sources.push_back(info);
        d->lastSourceList.push_back(camera);
    }
    return true;
}

std::unique_ptr<ExtensionUnitDevice> SimulatedBus::activate(std::size_t position,
                                                            PlatformFailure &failure) {
    Guard guard(simMutex());
    std::shared_ptr<SimCamera> camera;
    if (position < d->lastSourceList.size())
        camera = d->lastSourceList[position].lock();
    if (!camera || !d->isPlugged(*camera) || camera->currentStage != SimStage::Camera ||
        camera->camFaults.openFails) {
        failure = failureFromErrno("Activating video device", camera ? 16 : 19);
        return nullptr;
    }
    return std::make_unique<SimUnitDevice>(*this, d->openHandles, camera);
}

std::vector<std::string> SimulatedBus::candidates() {
    poll();
    Guard guard(simMutex());
    std::vector<std::string> result;
    for (std::size_t i = 0; i < d->plugged.size(); ++i) {
        if (isDiskStage(d->plugged[i]->currentStage))
            result.push_back("sim-disk-" + std::to_string(i));
    }
    return result;
}

std::unique_ptr<ScsiDevice> SimulatedBus::open(const std::string &candidate) {
    Guard guard(simMutex());
    const std::string prefix = "sim-disk-";
    if (candidate.rfind(prefix, 0) != 0)
        return nullptr;
    const std::size_t index = std::stoul(candidate.substr(prefix.size()));
    if (d->diskOpeningRefused || index >= d->plugged.size() ||
        !isDiskStage(d->plugged[index]->currentStage))
        return nullptr;
    return std::make_unique<SimScsi>(*this, d->openHandles, d->plugged[index]);
}

std::vector<ScsiDiskIdentity> SimulatedBus::listedDisks() {
    poll();
    Guard guard(simMutex());
    std::vector<ScsiDiskIdentity> result;
    for (const auto &camera : d->plugged) {
        if (!isDiskStage(camera->currentStage))
            continue;
        // As the system lists them: blank-padded, an empty product identification as blanks.
        std::string vendor = camera->cfg.inquiryVendor,
                    product = inquiryProductOf(camera->currentStage);
        vendor.resize(8, ' ');
        product.resize(16, ' ');
        result.push_back({vendor, product});
    }
    return result;
}

void SimulatedBus::setDiskOpeningRefused(bool refused) {
    Guard guard(simMutex());
    d->diskOpeningRefused = refused;
}

std::unique_ptr<FrameCapture> SimulatedBus::openCapture(int index) {
    poll();
    Guard guard(simMutex());
    auto it = d->nodes.find(index);
    if (it == d->nodes.end() || it->second.isOther || !it->second.captureNode)
        return nullptr;
    auto camera = it->second.camera.lock();
    if (!camera)
        return nullptr;
    return std::make_unique<SimFrameCapture>(*this, d->openHandles, camera);
}

std::unique_ptr<HotplugSource> SimulatedBus::createHotplugSource() {
    auto source = std::make_unique<SimHotplug>();
    Guard guard(simMutex());
    d->hotplugSources.emplace_back(source.get());
    return source;
}

namespace {
double SimFrameCapture::get(CaptureProperty property) const {
    switch (property) {
    case CaptureProperty::FrameRate:
        return fps;
    case CaptureProperty::FrameWidth:
        return width;
    case CaptureProperty::FrameHeight:
        return height;
    case CaptureProperty::FourCc:
        return fourcc;
    }
    return 0.0;
}

bool SimFrameCapture::set(CaptureProperty property, double value) {
    switch (property) {
    case CaptureProperty::FrameRate:
        fps = value > 0 ? value : fps;
        return true;
    case CaptureProperty::FrameWidth:
        width = value;
        return true;
    case CaptureProperty::FrameHeight:
        height = value;
        return true;
    case CaptureProperty::FourCc: {
        // The camera's formats: YUYV always, MJPG where it offers it.
        Guard guard(simMutex());
        auto camera = target.lock();
        const bool offered =
            value == yuyvFourCc || (value == mjpgFourCc && camera && camera->offersMjpg());
        if (offered)
            fourcc = value;
        return offered;
    }
    }
    return false;
}

bool SimFrameCapture::read(CapturedFrame &frame) {
    frame.bytes.clear();
    frame.damaged = false;
    // Frames come at the negotiated rate, like a camera's.
    const Milliseconds now = activeClock().now();
    if (nextFrameAt > now)
        activeClock().sleepFor(nextFrameAt - now);
    nextFrameAt = std::max(now, nextFrameAt) + Milliseconds(static_cast<long long>(1000.0 / fps));

    owner.poll();
    SimCameraFaults faults;
    {
        Guard guard(simMutex());
        auto camera = target.lock();
        if (!camera || !owner.isPlugged(camera) || camera->stage() != SimStage::Camera)
            return false;
        camera->renderFrame(picture, static_cast<int>(width), static_cast<int>(height),
                            frameNumber);
        faults = camera->cameraFaults();
    }
    frame.width = picture.width();
    frame.height = picture.height();
    frame.sequence = static_cast<std::uint32_t>(frameNumber);
    frame.timestamp = std::chrono::duration_cast<std::chrono::microseconds>(now);
    // Encoding takes a while; nothing else on the bus waits for it.
    if (faults.unusableFrames) {
        frame.encoding = CapturedFrame::Encoding::Pixels;
        frame.pixelFormat = CapturedFrame::PixelFormat::Other;
        frame.stride = frame.width * 2;
        frame.bytes.assign(static_cast<std::size_t>(frame.stride) * frame.height, 0);
    } else if (fourcc == mjpgFourCc) {
        frame.encoding = CapturedFrame::Encoding::Mjpg;
        SimCamera::compressFrame(picture, frame.bytes, faults, frameNumber);
    } else {
        frame.encoding = CapturedFrame::Encoding::Yuyv;
        frame.stride = (frame.width & ~1) * 2;
        SimCamera::toYuyv(picture, frame.bytes);
    }
    ++frameNumber;
    return !frame.bytes.empty();
}
} // namespace
