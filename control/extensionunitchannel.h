// Seam: the camera's vendor extension unit (property set {23E49ED0-1178-4F31-AE52-D2FB8A8D3B48}),
// reached through the system's video capture sources. The packet format, the sequence byte and
// the command set live above this seam in UVCExtensionUnit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// HRESULT-style status of a platform call: 0 is success, negative values are failures.
using PlatformStatus = std::int32_t;
constexpr PlatformStatus kStatusOk = 0;
constexpr PlatformStatus kStatusPointer = static_cast<PlatformStatus>(0x80004003u); // E_POINTER
constexpr PlatformStatus kStatusFail = static_cast<PlatformStatus>(0x80004005u);    // E_FAIL
// E_NOTIMPL: the system has no way to extension units at all (Windows without Media Foundation).
constexpr PlatformStatus kStatusNotImplemented = static_cast<PlatformStatus>(0x80004001u);
// A failure code built from an errno value (as HRESULT_FROM_WIN32 builds one from an error).
PlatformStatus statusFromErrno(int error);

// Where a platform call failed: the step label that the failure report names, and its status.
// A failure that an errno caused keeps the errno too, so that it can be told as the system's own
// error rather than as the status built from it.
struct PlatformFailure {
    std::string step;
    PlatformStatus status = kStatusOk;
    int errorNumber = 0;
};
// The failure of `step` with this errno.
PlatformFailure failureFromErrno(const char *step, int error);

// One video capture source as the system lists it.
struct CaptureSourceInfo {
    bool hasFriendlyName = false;
    std::string friendlyName; // UTF-8
    bool hasSymbolicLink = false;
    std::string symbolicLink; // the device interface name, same form as VideoInputInfo::devicePath
};

enum class UnitDirection { Write, Read };

// An opened capture source.
class ExtensionUnitDevice {
public:
    virtual ~ExtensionUnitDevice() = default;
    // One request on the vendor extension unit: writes or reads `length` bytes of the control
    // `selector`. On failure returns the status and names the failing step in `failure`.
    virtual PlatformStatus request(std::uint32_t selector, UnitDirection direction,
                                   std::uint8_t *data, std::uint32_t length,
                                   PlatformFailure &failure) = 0;
};

class ExtensionUnitBackend {
public:
    virtual ~ExtensionUnitBackend() = default;
    // Lists the capture sources. Returns false with the failing step when the list cannot be made.
    virtual bool enumerate(std::vector<CaptureSourceInfo> &sources, PlatformFailure &failure) = 0;
    // Opens the source at the given position of the last enumerate(); null with the failing step
    // ("Activating video device" or "Creating video source reader") when it cannot be opened.
    virtual std::unique_ptr<ExtensionUnitDevice> activate(std::size_t position,
                                                          PlatformFailure &failure) = 0;
};

ExtensionUnitBackend &extensionUnitBackend();
void installExtensionUnitBackend(ExtensionUnitBackend *backend);

// The operating system's back end (in the native library).
ExtensionUnitBackend &nativeExtensionUnitBackend();
