#include "control/picturecontrols.h"

#include <algorithm>
#include <atomic>
#include <cctype>

namespace {
class NoPictureControls final : public PictureControlBackend {
public:
    std::unique_ptr<PictureControlDevice> open(const std::string &) override { return nullptr; }
};

NoPictureControls noPictureControls;
std::atomic<PictureControlBackend *> installed{nullptr};

bool sameText(const std::string &a, const std::string &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}
} // namespace

PictureControlBackend &pictureControlBackend() {
    PictureControlBackend *backend = installed.load();
    return backend ? *backend : noPictureControls;
}

void installPictureControlBackend(PictureControlBackend *backend) {
    installed.store(backend);
}

bool interfaceHasDeviceId(const std::string &interfaceName, const std::string &deviceId) {
    const std::size_t first = interfaceName.find('#');
    const std::size_t last = interfaceName.rfind('#');
    if (deviceId.empty() || first == std::string::npos || last <= first)
        return false;
    return sameText(interfaceName.substr(first + 1, last - first - 1), deviceId);
}
