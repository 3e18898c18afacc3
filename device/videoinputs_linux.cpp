#include "device/videoinputs.h"

// Placeholder until the V4L2 enumeration lands.
namespace {
class LinuxVideoInputs final : public VideoInputBackend {
public:
    bool available() override { return true; }
    std::vector<VideoInputInfo> list() override { return {}; }
    std::unique_ptr<CameraControls> bind(std::size_t) override { return nullptr; }
};
} // namespace

VideoInputBackend &nativeVideoInputBackend() {
    static LinuxVideoInputs backend;
    return backend;
}
