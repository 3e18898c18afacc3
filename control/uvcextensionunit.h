// The camera's vendor extension unit: 8-byte packets with a sequence byte, written on control
// selector 1 (commands) or 4 (enter upgrade mode) and read back from selector 2 (responses), and
// the camera command set spoken through it.
//
// One object serves the window for the whole run and is lent to the upgrade worker for one
// command; requests from the two threads never overlap and releaseDevice() never runs during one.
#pragma once

#include "control/extensionunitchannel.h"
#include "control/ksrequests.h"

#include <QMutex>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

// Property set of the vendor extension unit.
extern const Guid kExtensionUnitSet; // {23E49ED0-1178-4F31-AE52-D2FB8A8D3B48}

constexpr std::uint32_t kSelectorCommand = 1;
constexpr std::uint32_t kSelectorResponse = 2;
constexpr std::uint32_t kSelectorUpgrade = 4;
constexpr std::uint32_t kWriteFlags = 0x10000002; // topology | set
constexpr std::uint32_t kReadFlags = 0x10000001;  // topology | get

using XuPacket = std::array<std::uint8_t, 8>;

// Command and query codes; a query code is its setting's code with kQueryBit added.
constexpr std::uint8_t kQueryBit = 0x80;
constexpr std::uint8_t kCmdHdr = 0x01;
constexpr std::uint8_t kCmdAntiFlicker = 0x02;
constexpr std::uint8_t kCmdMicEnable = 0x04;
constexpr std::uint8_t kCmdTrackingMode = 0x10;
constexpr std::uint8_t kCmdTrackingEffect = 0x11;
constexpr std::uint8_t kCmdTrackingSpeed = 0x12;
constexpr std::uint8_t kCmdRestoreDefaults = 0x7F;
constexpr std::uint8_t kCmdEnterUpgrade = 0x00;
constexpr std::uint8_t kQueryVersion = 0x80;
constexpr std::uint8_t kQueryVersionLegacy = 0x0B;

class UVCExtensionUnit {
public:
    UVCExtensionUnit();
    ~UVCExtensionUnit();
    UVCExtensionUnit(const UVCExtensionUnit &) = delete;
    UVCExtensionUnit &operator=(const UVCExtensionUnit &) = delete;

    // Opens the capture source whose interface name contains deviceId and whose friendly name
    // equals friendlyName (both exact). Call on a released object.
    bool InitVideoDevice(const QString &deviceId, const QString &friendlyName);
    // One node request; returns the platform status (0 is success).
    PlatformStatus SetGetExtensionUnit(const Guid &propertySet, std::uint32_t selector,
                                       std::uint32_t flags, std::uint8_t *data,
                                       std::uint32_t dataLength, std::uint32_t &bytesReturned);
    bool sendCommand(std::uint32_t selector, std::uint8_t code, std::uint8_t argument);
    bool queryCommand(std::uint8_t code, XuPacket &response);
    void releaseDevice();

    bool setTrackingMode(int mode);
    bool getTrackingMode(int &mode);
    bool setTrackingEffect(int effect);
    bool getTrackingEffect(int &effect);
    bool setTrackingSpeed(int speed);
    bool getTrackingSpeed(int &speed);
    bool setAntiFlicker(int frequency);
    bool getAntiFlicker(int &frequency);
    bool setHdr(int on);
    bool getHdr(int &on);
    bool setMicEnabled(int enabled);
    bool getMicEnabled(int &enabled);
    bool getFirmwareVersion(std::uint8_t code, QString &text);
    bool restoreDefaults();
    bool enterUpgradeMode();

    // The sequence counter's current value (for tests and diagnostics).
    int sequenceCounterValue() const;
    // Why the last open or request failed: its step and status (and errno); empty (status 0)
    // after one that succeeded, or one that failed without a platform error (no matching camera,
    // a version of all zeros).
    PlatformFailure lastFailure() const;

private:
    // The parts below run with requestMutex held.
    std::uint8_t nextSequence();
    PlatformStatus requestLocked(const Guid &propertySet, std::uint32_t selector,
                                 std::uint32_t flags, std::uint8_t *data, std::uint32_t dataLength,
                                 std::uint32_t &bytesReturned);
    bool sendLocked(std::uint32_t selector, std::uint8_t code, std::uint8_t argument);
    bool queryLocked(std::uint8_t code, XuPacket &response);

    bool querySetting(std::uint8_t code, int &value);

    void noteFailure(const PlatformFailure &failure);

    mutable QMutex requestMutex;
    std::unique_ptr<ExtensionUnitDevice> device;
    int sequenceCounter = 0;
    PlatformFailure failed;
};
