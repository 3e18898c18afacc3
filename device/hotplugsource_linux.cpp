#include "device/hotplugsource.h"

// Placeholder until the udev monitor lands.
namespace {
class LinuxHotplug final : public HotplugSource {
public:
    bool start(quintptr) override { return true; }
};
} // namespace

std::unique_ptr<HotplugSource> createNativeHotplugSource() {
    return std::make_unique<LinuxHotplug>();
}
