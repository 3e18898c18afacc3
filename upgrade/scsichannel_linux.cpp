#include "upgrade/scsichannel.h"

// Placeholder until the SCSI generic channel lands.
namespace {
class LinuxScsi final : public ScsiBackend {
public:
    std::vector<std::string> candidates() override { return {}; }
    std::unique_ptr<ScsiDevice> open(const std::string &) override { return nullptr; }
};
} // namespace

ScsiBackend &nativeScsiBackend() {
    static LinuxScsi backend;
    return backend;
}
