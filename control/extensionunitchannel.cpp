#include "control/extensionunitchannel.h"

#include <atomic>

PlatformStatus statusFromErrno(int error) {
    // The layout of a Win32-derived HRESULT: failure bit, facility 7, the error in the low word.
    return static_cast<PlatformStatus>(0x80070000u | (static_cast<std::uint32_t>(error) & 0xFFFFu));
}

PlatformFailure failureFromErrno(const char *step, int error) {
    return {step, statusFromErrno(error), error};
}

namespace {
class NoExtensionUnits final : public ExtensionUnitBackend {
public:
    bool enumerate(std::vector<CaptureSourceInfo> &sources, PlatformFailure &) override {
        sources.clear();
        return true;
    }
    std::unique_ptr<ExtensionUnitDevice> activate(std::size_t, PlatformFailure &failure) override {
        failure = {"Activating video device", kStatusFail};
        return nullptr;
    }
};

NoExtensionUnits noExtensionUnits;
std::atomic<ExtensionUnitBackend *> installed{nullptr};
} // namespace

ExtensionUnitBackend &extensionUnitBackend() {
    ExtensionUnitBackend *backend = installed.load();
    if (backend)
        return *backend;
    return noExtensionUnits;
}

void installExtensionUnitBackend(ExtensionUnitBackend *backend) {
    installed.store(backend);
}
