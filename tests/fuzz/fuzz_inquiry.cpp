// Stage detection from hostile INQUIRY answers: the only disk answers with the input (as much of it
// as fits, however short), and the search runs for each product line and for none.
#include "fuzzsupport.h"
#include "upgrade/massstorage.h"

#include <cstdlib>
#include <cstring>

namespace {
QByteArray answer;

struct AnsweringDisk final : ScsiBackend, ScsiDevice {
    std::vector<std::string> candidates() override { return {"disk"}; }
    std::unique_ptr<ScsiDevice> open(const std::string &) override {
        return std::make_unique<AnsweringDisk>();
    }
    bool execute(const std::uint8_t *, std::size_t, ScsiDirection, std::uint8_t *data,
                 std::uint32_t length, std::uint32_t) override {
        std::memcpy(data, answer.constData(), std::min<std::size_t>(answer.size(), length));
        return true;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static QuietHarness quiet;
    static AnsweringDisk disks;
    installScsiBackend(&disks);
    answer = bytesOf(data, size);
    for (int selector : {kProductLineQx, kProductLineZenta, 255}) {
        UpdaterDeviceState state = UpdaterStateRom;
        if (!findUpdaterDevice(selector, state) && state != UpdaterStateNone)
            std::abort(); // nothing found reads as no stage
    }
    releaseUpdaterDevice();
    return 0;
}
