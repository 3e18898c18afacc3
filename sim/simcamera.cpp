#include "sim/simcamera.h"

#include "device/interfacename.h"
#include "sim/simulatedbus.h"

std::recursive_mutex &simMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;
}

SimCamera::SimCamera(SimCameraConfig config)
    : cfg(std::move(config)) {
    resetPicture();
}

std::string SimCamera::interfaceName() const {
    InterfaceNameParts parts;
    parts.vendorId = cfg.vendorId;
    parts.productId = cfg.productId;
    parts.interfaceNumber = cfg.interfaceNumber;
    parts.portKey = cfg.portKey;
    parts.nodeOrdinal = 0;
    return makeCaptureInterfaceName(parts);
}

SimStage SimCamera::stage() const {
    Guard guard(simMutex());
    return currentStage;
}

void SimCamera::setStage(SimStage stage) {
    Guard guard(simMutex());
    const SimStage previous = currentStage;
    currentStage = stage;
    updater = UpdaterProtocolState();
    // Like the real camera, it keeps its settings through a restart but comes back at its home
    // position.
    if (previous == SimStage::Camera && stage != SimStage::Camera)
        currentPosition = SimPosition();
    if (stage == SimStage::Camera && previous != SimStage::Camera && !keepPicture)
        resetPicture();
    if (isDiskStage(previous) && !isDiskStage(stage))
        ++diskDepartures;
    if (bus && previous != stage && (previous == SimStage::Camera || stage == SimStage::Camera))
        bus->announceCapture(*this, stage == SimStage::Camera);
}

SimSettings SimCamera::settings() const {
    Guard guard(simMutex());
    return currentSettings;
}

void SimCamera::setSettings(const SimSettings &settings) {
    Guard guard(simMutex());
    currentSettings = settings;
}

SimVersion SimCamera::version() const {
    Guard guard(simMutex());
    return currentVersion;
}

void SimCamera::setVersion(const SimVersion &version) {
    Guard guard(simMutex());
    currentVersion = version;
}

SimPosition SimCamera::position() const {
    Guard guard(simMutex());
    return currentPosition;
}

void SimCamera::setPosition(const SimPosition &position) {
    Guard guard(simMutex());
    currentPosition = position;
}

SimCameraFaults SimCamera::cameraFaults() const {
    Guard guard(simMutex());
    return camFaults;
}

long long SimCamera::framesDelivered() const {
    Guard guard(simMutex());
    return paintedFrames;
}

std::vector<SimCamera::PositionRecord> SimCamera::positionLog() const {
    Guard guard(simMutex());
    return positionRecords;
}

void SimCamera::setCameraFaults(const SimCameraFaults &faults) {
    Guard guard(simMutex());
    camFaults = faults;
}

SimUpdaterFaults SimCamera::updaterFaults() const {
    Guard guard(simMutex());
    return updFaults;
}

void SimCamera::setUpdaterFaults(const SimUpdaterFaults &faults) {
    Guard guard(simMutex());
    updFaults = faults;
}

std::vector<SimXuRecord> SimCamera::xuLog() const {
    Guard guard(simMutex());
    return xuRecords;
}

std::vector<SimScsiRecord> SimCamera::scsiLog() const {
    Guard guard(simMutex());
    return scsiRecords;
}

std::vector<std::string> SimCamera::shellLog() const {
    Guard guard(simMutex());
    return shellLines;
}

std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> SimCamera::loadedImages() const {
    Guard guard(simMutex());
    return images;
}

void SimCamera::clearLogs() {
    Guard guard(simMutex());
    xuRecords.clear();
    positionRecords.clear();
    pictureRecords.clear();
    scsiRecords.clear();
    shellLines.clear();
    images.clear();
}
