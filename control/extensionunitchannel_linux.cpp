#include "control/extensionunitchannel.h"

// Placeholder until the UVC extension-unit channel lands.
namespace {
class LinuxExtensionUnits final : public ExtensionUnitBackend {
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
} // namespace

ExtensionUnitBackend &nativeExtensionUnitBackend() {
    static LinuxExtensionUnits backend;
    return backend;
}
