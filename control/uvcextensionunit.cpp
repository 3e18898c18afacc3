#include "control/uvcextensionunit.h"

#include <QDebug>
#include <QMutexLocker>

#include <cstdio>

const Guid kExtensionUnitSet = {
    0x23E49ED0, 0x1178, 0x4F31, {{0xAE, 0x52, 0xD2, 0xFB, 0x8A, 0x8D, 0x3B, 0x48}}};

namespace {
// What the platform answers for a property set that the node does not carry
// (HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND)).
constexpr PlatformStatus kStatusSetNotFound = static_cast<PlatformStatus>(0x80070492u);

// Failures of the platform calls go to standard output, not through the message handler, so that
// they show up on a console even before the log is set up.
void reportFailure(const char *function, const std::string &step, PlatformStatus status) {
    std::printf("info: Function: %s, %s failed, Error code: 0x%.2x \n", function, step.c_str(),
                static_cast<unsigned>(status));
    std::fflush(stdout);
}

QString fromPlatformText(bool present, const std::string &text) {
    return present ? QString::fromStdString(text) : QString();
}
} // namespace

UVCExtensionUnit::UVCExtensionUnit() = default;

UVCExtensionUnit::~UVCExtensionUnit() {
    releaseDevice();
}

bool UVCExtensionUnit::InitVideoDevice(const QString &deviceId, const QString &friendlyName) {
    // An object that is still open is closed first rather than leaking its device.
    releaseDevice();
    noteFailure({});

    std::vector<CaptureSourceInfo> sources;
    PlatformFailure failure;
    if (!extensionUnitBackend().enumerate(sources, failure)) {
        reportFailure("UVCExtensionUnit::GetVideoDevices", failure.step, failure.status);
        noteFailure(failure);
        return false;
    }

    for (std::size_t i = 0; i < sources.size(); ++i) {
        const CaptureSourceInfo &source = sources[i];
        if (!source.hasFriendlyName)
            reportFailure("UVCExtensionUnit::GetVideoDeviceFriendlyNames",
                          "Get video device friendly name", kStatusFail);
        const QString name = fromPlatformText(source.hasFriendlyName, source.friendlyName);
        qDebug() << "uvc camera index:" << i << " name:" << name;

        if (!source.hasSymbolicLink)
            reportFailure("UVCExtensionUnit::GetVideoDevicePath", "Get video device path",
                          kStatusFail);
        const QString link = fromPlatformText(source.hasSymbolicLink, source.symbolicLink);
        qDebug() << "uvc path:" << link;

        // Windows does not promise the same letter case for an interface name from every API.
        if (!link.contains(deviceId, Qt::CaseInsensitive) || name != friendlyName)
            continue;

        // Only the first match is tried.
        std::unique_ptr<ExtensionUnitDevice> opened = extensionUnitBackend().activate(i, failure);
        if (!opened) {
            reportFailure("UVCExtensionUnit::InitVideoDevice", failure.step, failure.status);
            noteFailure(failure);
            return false;
        }
        QMutexLocker locker(&requestMutex);
        device = std::move(opened);
        return true;
    }
    return false;
}

PlatformStatus UVCExtensionUnit::SetGetExtensionUnit(const Guid &propertySet,
                                                     std::uint32_t selector, std::uint32_t flags,
                                                     std::uint8_t *data, std::uint32_t dataLength,
                                                     std::uint32_t &bytesReturned) {
    QMutexLocker locker(&requestMutex);
    return requestLocked(propertySet, selector, flags, data, dataLength, bytesReturned);
}

PlatformStatus UVCExtensionUnit::requestLocked(const Guid &propertySet, std::uint32_t selector,
                                               std::uint32_t flags, std::uint8_t *data,
                                               std::uint32_t dataLength,
                                               std::uint32_t &bytesReturned) {
    bytesReturned = 0;
    if (!device) {
        failed = {"no camera open", kStatusPointer};
        return kStatusPointer;
    }
    if (propertySet != kExtensionUnitSet) {
        reportFailure("UVCExtensionUnit::SetGetExtensionUnit", "ks_control->KsProperty(...)",
                      kStatusSetNotFound);
        failed = {"ks_control->KsProperty(...)", kStatusSetNotFound};
        return kStatusSetNotFound;
    }
    const UnitDirection direction =
        (flags & kPropertyTypeSet) ? UnitDirection::Write : UnitDirection::Read;
    PlatformFailure failure;
    const PlatformStatus status = device->request(selector, direction, data, dataLength, failure);
    if (status != kStatusOk) {
        reportFailure("UVCExtensionUnit::SetGetExtensionUnit", failure.step, status);
        failure.status = status;
        failed = failure;
        return status;
    }
    failed = {};
    bytesReturned = dataLength;
    return status;
}

std::uint8_t UVCExtensionUnit::nextSequence() {
    ++sequenceCounter;
    if (sequenceCounter > 255)
        sequenceCounter = 0;
    return static_cast<std::uint8_t>(sequenceCounter & 0xFF);
}

bool UVCExtensionUnit::sendLocked(std::uint32_t selector, std::uint8_t code,
                                  std::uint8_t argument) {
    XuPacket packet{{code, nextSequence(), argument, 0, 0, 0, 0, 0}};
    std::uint32_t returned = 0;
    return requestLocked(kExtensionUnitSet, selector, kWriteFlags, packet.data(),
                         static_cast<std::uint32_t>(packet.size()), returned) == kStatusOk;
}

bool UVCExtensionUnit::queryLocked(std::uint8_t code, XuPacket &response) {
    if (!sendLocked(kSelectorCommand, code, 0))
        return false;
    XuPacket buffer{{code, nextSequence(), 0, 0, 0, 0, 0, 0}};
    std::uint32_t returned = 0;
    if (requestLocked(kExtensionUnitSet, kSelectorResponse, kReadFlags, buffer.data(),
                      static_cast<std::uint32_t>(buffer.size()), returned) != kStatusOk)
        return false;
    response = buffer;
    return true;
}

bool UVCExtensionUnit::sendCommand(std::uint32_t selector, std::uint8_t code,
                                   std::uint8_t argument) {
    QMutexLocker locker(&requestMutex);
    return sendLocked(selector, code, argument);
}

bool UVCExtensionUnit::queryCommand(std::uint8_t code, XuPacket &response) {
    // The camera keeps one answer for the last query written; a request from another thread
    // between the write and the read would replace it, so the pair is one unit.
    QMutexLocker locker(&requestMutex);
    return queryLocked(code, response);
}

void UVCExtensionUnit::releaseDevice() {
    std::unique_ptr<ExtensionUnitDevice> closing;
    {
        QMutexLocker locker(&requestMutex);
        closing = std::move(device);
        sequenceCounter = 0;
    }
    // The handle is closed outside the lock; no request can reach it any more.
    closing.reset();
}

int UVCExtensionUnit::sequenceCounterValue() const {
    QMutexLocker locker(&requestMutex);
    return sequenceCounter;
}

PlatformFailure UVCExtensionUnit::lastFailure() const {
    QMutexLocker locker(&requestMutex);
    return failed;
}

void UVCExtensionUnit::noteFailure(const PlatformFailure &failure) {
    QMutexLocker locker(&requestMutex);
    failed = failure;
}

bool UVCExtensionUnit::querySetting(std::uint8_t code, int &value) {
    XuPacket response{};
    if (!queryCommand(static_cast<std::uint8_t>(code | kQueryBit), response))
        return false;
    value = response[2];
    return true;
}

namespace {
std::uint8_t lowByte(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}
} // namespace

bool UVCExtensionUnit::setTrackingMode(int mode) {
    return sendCommand(kSelectorCommand, kCmdTrackingMode, lowByte(mode));
}

bool UVCExtensionUnit::getTrackingMode(int &mode) {
    return querySetting(kCmdTrackingMode, mode);
}

bool UVCExtensionUnit::setTrackingEffect(int effect) {
    qDebug() << "Auto config Effect";
    return sendCommand(kSelectorCommand, kCmdTrackingEffect, lowByte(effect));
}

bool UVCExtensionUnit::getTrackingEffect(int &effect) {
    qDebug() << "Auto query Effect";
    return querySetting(kCmdTrackingEffect, effect);
}

bool UVCExtensionUnit::setTrackingSpeed(int speed) {
    qDebug() << "Auto config Speend";
    return sendCommand(kSelectorCommand, kCmdTrackingSpeed, lowByte(speed));
}

bool UVCExtensionUnit::getTrackingSpeed(int &speed) {
    qDebug() << "Auto query Speend";
    return querySetting(kCmdTrackingSpeed, speed);
}

bool UVCExtensionUnit::setAntiFlicker(int frequency) {
    return sendCommand(kSelectorCommand, kCmdAntiFlicker, lowByte(frequency));
}

bool UVCExtensionUnit::getAntiFlicker(int &frequency) {
    return querySetting(kCmdAntiFlicker, frequency);
}

bool UVCExtensionUnit::setHdr(int on) {
    return sendCommand(kSelectorCommand, kCmdHdr, lowByte(on));
}

bool UVCExtensionUnit::getHdr(int &on) {
    return querySetting(kCmdHdr, on);
}

bool UVCExtensionUnit::setMicEnabled(int enabled) {
    return sendCommand(kSelectorCommand, kCmdMicEnable, lowByte(enabled));
}

bool UVCExtensionUnit::getMicEnabled(int &enabled) {
    return querySetting(kCmdMicEnable, enabled);
}

bool UVCExtensionUnit::getFirmwareVersion(std::uint8_t code, QString &text) {
    XuPacket response{};
    if (!queryCommand(code, response))
        return false;
    const int major = response[2] * 256 + response[3];
    const int minor = response[4] * 256 + response[5];
    const int patch = response[6] * 256 + response[7];
    if (major == 0 && minor == 0 && patch == 0)
        return false;
    text = QString::asprintf("%d.%d.%d", major, minor, patch);
    return true;
}

bool UVCExtensionUnit::restoreDefaults() {
    qDebug() << "updateDev.";
    return sendCommand(kSelectorCommand, kCmdRestoreDefaults, 0);
}

bool UVCExtensionUnit::enterUpgradeMode() {
    qDebug() << "updateDev.";
    return sendCommand(kSelectorUpgrade, kCmdEnterUpgrade, 0);
}
