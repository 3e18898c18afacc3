// The firmware-version and settings decoders on hostile extension-unit answers: the camera answers
// each read with the next 8 bytes of the input (zeros past its end).
#include "control/uvcextensionunit.h"
#include "device/catalogue.h"
#include "fuzzsupport.h"

#include <cstring>

namespace {
QByteArray answers;

struct AnsweringCamera final : ExtensionUnitBackend, ExtensionUnitDevice {
    bool enumerate(std::vector<CaptureSourceInfo> &sources, PlatformFailure &) override {
        sources = {{true, "camera", true, "link"}};
        return true;
    }
    std::unique_ptr<ExtensionUnitDevice> activate(std::size_t, PlatformFailure &) override {
        return std::make_unique<AnsweringCamera>();
    }
    PlatformStatus request(std::uint32_t, UnitDirection direction, std::uint8_t *data,
                           std::uint32_t length, PlatformFailure &) override {
        if (direction == UnitDirection::Read) {
            std::memcpy(data, answers.leftJustified(int(length), '\0', true).constData(), length);
            answers.remove(0, int(length));
        }
        return kStatusOk;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static QuietHarness quiet;
    static AnsweringCamera camera;
    installExtensionUnitBackend(&camera);
    answers = bytesOf(data, size);
    UVCExtensionUnit unit;
    unit.InitVideoDevice("link", "camera");
    QString version;
    unit.getFirmwareVersion(kQueryVersion, version);
    unit.getFirmwareVersion(kQueryVersionLegacy, version);
    // Each setting as the Control page takes it: the item of the value read, or none.
    int value = 0;
    for (auto get : {&UVCExtensionUnit::getTrackingMode, &UVCExtensionUnit::getTrackingEffect,
                     &UVCExtensionUnit::getTrackingSpeed, &UVCExtensionUnit::getAntiFlicker,
                     &UVCExtensionUnit::getMicEnabled, &UVCExtensionUnit::getHdr})
        if ((unit.*get)(value))
            optionIndexOfValue(TrackingModeOptions, value);
    return 0;
}
