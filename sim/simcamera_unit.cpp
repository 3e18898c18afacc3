// The camera's side of the extension unit and of the standard camera controls.
//
// Commands arrive as 8-byte packets [code, sequence, argument, 0...] written to control 1; a query
// code (a setting's code with 0x80 added, or a version query) written there prepares the answer
// that the next read of control 2 returns. Control 4 takes the switch into the updater. A packet
// the firmware does not know is not acknowledged: the transfer stalls.
#include "sim/simcamera.h"

#include "control/uvcextensionunit.h"
#include "sim/simulatedbus.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace {
constexpr std::uint32_t kPacketLength = 8;

// The camera fails as the Linux UVC driver reports it, with the same error numbers on every
// platform (the C library's E* values differ between systems, and some exist only on Linux).
constexpr int kNoSuchControl = 2;   // ENOENT
constexpr int kIoError = 5;         // EIO
constexpr int kBadRequestCode = 56; // EBADRQC
constexpr int kNoBufferSpace = 105; // ENOBUFS
constexpr int kTimedOut = 110;      // ETIMEDOUT

constexpr std::int32_t kPanMin = -170;
constexpr std::int32_t kPanMax = 170;
constexpr std::int32_t kTiltMin = -30;
constexpr std::int32_t kTiltMax = 90;
constexpr std::int32_t kZoomMin = 100;
constexpr std::int32_t kZoomMax = 800;

PlatformStatus fail(PlatformFailure &failure, int error) {
    failure = failureFromErrno("UVCIOC_CTRL_QUERY", error);
    return failure.status;
}

std::uint8_t *settingField(SimSettings &settings, std::uint8_t code) {
    switch (code) {
    case kCmdTrackingMode:
        return &settings.trackingMode;
    case kCmdTrackingEffect:
        return &settings.trackingEffect;
    case kCmdTrackingSpeed:
        return &settings.trackingSpeed;
    case kCmdAntiFlicker:
        return &settings.antiFlicker;
    case kCmdHdr:
        return &settings.hdr;
    case kCmdMicEnable:
        return &settings.mic;
    default:
        return nullptr;
    }
}

void putVersion(std::array<std::uint8_t, 8> &answer, const SimVersion &version) {
    const std::uint16_t parts[3] = {version.major, version.minor, version.patch};
    for (int i = 0; i < 3; ++i) {
        answer[2 + 2 * i] = static_cast<std::uint8_t>(parts[i] >> 8);
        answer[3 + 2 * i] = static_cast<std::uint8_t>(parts[i] & 0xFF);
    }
}
} // namespace

PlatformStatus SimCamera::handleUnitRequest(std::uint32_t selector, UnitDirection direction,
                                            std::uint8_t *data, std::uint32_t length,
                                            PlatformFailure &failure) {
    SimXuRecord record;
    record.selector = selector;
    record.direction = direction;
    if (data)
        std::memcpy(record.bytes.data(), data, std::min<std::uint32_t>(length, kPacketLength));
    xuRecords.push_back(record);

    if (camFaults.noExtensionUnit) {
        failure = {"FindExtensionNode", kStatusFail};
        return failure.status;
    }
    if (camFaults.requestsTimeOut)
        return fail(failure, kTimedOut);
    if (camFaults.failRequestAfter >= 0 && unitRequests >= camFaults.failRequestAfter)
        return fail(failure, kTimedOut);
    if (selector != kSelectorCommand && selector != kSelectorResponse &&
        selector != kSelectorUpgrade)
        return fail(failure, kNoSuchControl); // no such control on the unit
    if (!data || length != kPacketLength)
        return fail(failure,
                    kNoBufferSpace); // the driver checks the size against the control's length

    const bool readable = selector == kSelectorResponse;
    if (readable != (direction == UnitDirection::Read))
        return fail(failure, kBadRequestCode); // the control does not support that request

    if (direction == UnitDirection::Read) {
        if (camFaults.garbageAnswers) {
            std::mt19937 noise(static_cast<std::uint32_t>(unitRequests * 7919 + 17));
            for (std::uint8_t &byte : unitAnswer)
                byte = static_cast<std::uint8_t>(noise() & 0xFF);
        }
        std::memcpy(data, unitAnswer.data(), kPacketLength);
        ++unitRequests;
        return kStatusOk;
    }

    const std::uint8_t code = data[0];
    const std::uint8_t sequence = data[1];
    const std::uint8_t argument = data[2];

    if (selector == kSelectorUpgrade) {
        if (code != kCmdEnterUpgrade)
            return fail(failure, kIoError);
        ++unitRequests;
        // The camera acknowledges, leaves as a camera and shows up as its updater's disk later.
        const bool showsVolume = !updFaults.neverShowsVolume;
        setStage(SimStage::Off);
        if (bus) {
            if (showsVolume) {
                bus->schedule(updaterAppearDelay, [this] {
                    if (currentStage == SimStage::Off)
                        setStage(SimStage::UBoot);
                });
            }
        } else if (showsVolume) {
            setStage(SimStage::UBoot);
        }
        return kStatusOk;
    }

    // The setting a query code asks for, if the code is one.
    const std::uint8_t *const queried =
        (code & kQueryBit) && code != kQueryVersion
            ? settingField(currentSettings, static_cast<std::uint8_t>(code & ~kQueryBit))
            : nullptr;
    bool restart = false;
    if (std::uint8_t *field = settingField(currentSettings, code)) {
        restart = code == kCmdMicEnable && *field != argument;
        *field = argument;
    } else if (code == kCmdRestoreDefaults) {
        currentSettings = SimSettings();
        restart = true;
    } else if (queried) {
        unitAnswer = {{code, sequence, *queried, 0, 0, 0, 0, 0}};
    } else if ((code == kQueryVersion && !camFaults.noVersionQuery) ||
               code == kQueryVersionLegacy) {
        unitAnswer = {{code, sequence, 0, 0, 0, 0, 0, 0}};
        if (!camFaults.versionAllZero)
            putVersion(unitAnswer, currentVersion);
    } else {
        return fail(failure, kIoError); // not acknowledged: a stalled transfer
    }
    ++unitRequests;

    if (restart) {
        setStage(SimStage::Off);
        if (bus) {
            bus->schedule(restartDelay, [this] {
                if (currentStage == SimStage::Off)
                    setStage(SimStage::Camera);
            });
        } else {
            setStage(SimStage::Camera);
        }
    }
    return kStatusOk;
}

bool SimCamera::getControl(int property, std::int32_t &value) {
    if (camFaults.positionRefused)
        return false;
    switch (static_cast<CameraControlId>(property)) {
    case CameraControlId::Pan:
        value = currentPosition.pan_deg;
        return true;
    case CameraControlId::Tilt:
        value = currentPosition.tilt_deg;
        return true;
    case CameraControlId::Zoom:
        value = currentPosition.zoom;
        return true;
    default:
        return false;
    }
}

bool SimCamera::setControl(int property, std::int32_t value) {
    if (camFaults.positionRefused)
        return false;
    positionRecords.push_back({static_cast<CameraControlId>(property), value, xuRecords.size()});
    switch (static_cast<CameraControlId>(property)) {
    case CameraControlId::Pan:
        currentPosition.pan_deg = std::clamp(value, kPanMin, kPanMax);
        return true;
    case CameraControlId::Tilt:
        currentPosition.tilt_deg = std::clamp(value, kTiltMin, kTiltMax);
        return true;
    case CameraControlId::Zoom:
        currentPosition.zoom = std::clamp(value, kZoomMin, kZoomMax);
        return true;
    default:
        return false;
    }
}
