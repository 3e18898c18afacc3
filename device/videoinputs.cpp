#include "device/videoinputs.h"

#include <atomic>

namespace {
class NoVideoInputs final : public VideoInputBackend {
public:
    bool available() override { return false; }
    std::vector<VideoInputInfo> list() override { return {}; }
    std::unique_ptr<CameraControls> bind(std::size_t) override { return nullptr; }
};

NoVideoInputs noVideoInputs;
std::atomic<VideoInputBackend *> installed{nullptr};
} // namespace

VideoInputBackend &videoInputBackend() {
    VideoInputBackend *backend = installed.load();
    if (backend)
        return *backend;
    return noVideoInputs;
}

void installVideoInputBackend(VideoInputBackend *backend) {
    installed.store(backend);
}
