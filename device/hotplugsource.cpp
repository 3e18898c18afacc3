#include "device/hotplugsource.h"

namespace {
class SilentHotplugSource final : public HotplugSource {
public:
    bool start(quintptr) override { return true; }
};

HotplugSourceFactory &installedFactory() {
    static HotplugSourceFactory factory;
    return factory;
}
} // namespace

std::unique_ptr<HotplugSource> createHotplugSource() {
    const HotplugSourceFactory &factory = installedFactory();
    return factory ? factory() : std::make_unique<SilentHotplugSource>();
}

void installHotplugSourceFactory(HotplugSourceFactory factory) {
    installedFactory() = std::move(factory);
}

HotplugSourceFactory installedHotplugSourceFactory() {
    return installedFactory();
}
