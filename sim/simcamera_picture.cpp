// The camera's standard picture controls: a Processing Unit (brightness ... white balance) and the
// Camera Terminal's exposure, with the ranges, steps and defaults of the family, and the rules of
// the device: a manual control is inactive while its automatic master is on and then refuses a
// value ("wrong state"); a value off the range is refused; every restart brings the defaults back.
#include "sim/simcamera.h"

#include <algorithm>

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;

PictureControlInfo control(std::uint32_t id, const char *name, const char *label,
                           PictureControlKind kind, std::int32_t minimum, std::int32_t maximum,
                           std::int32_t step, std::int32_t defaultValue) {
    PictureControlInfo info;
    info.id = id;
    info.name = name;
    info.label = label;
    info.kind = kind;
    info.minimum = minimum;
    info.maximum = maximum;
    info.step = step;
    info.defaultValue = defaultValue;
    return info;
}

constexpr std::int32_t kExposureManual = 1;

std::vector<PictureControlInfo> familyControls() {
    using K = PictureControlKind;
    std::vector<PictureControlInfo> controls = {
        control(1, "brightness", "Brightness", K::Integer, -64, 64, 1, 0),
        control(2, "contrast", "Contrast", K::Integer, 0, 100, 1, 50),
        control(3, "saturation", "Saturation", K::Integer, 0, 128, 1, 64),
        control(4, "sharpness", "Sharpness", K::Integer, 0, 7, 1, 3),
        control(5, "gamma", "Gamma", K::Integer, 100, 500, 1, 300),
        control(6, "gain", "Gain", K::Integer, 0, 100, 1, 0),
        control(7, "backlight-compensation", "Backlight Compensation", K::Integer, 0, 2, 1, 1),
        control(8, "white-balance-automatic", "White Balance, Automatic", K::Boolean, 0, 1, 1, 1),
        control(9, "white-balance-temperature", "White Balance Temperature", K::Integer, 2800, 6500,
                10, 4600),
        control(10, "auto-exposure", "Auto Exposure", K::Menu, 0, 3, 1, 3),
        control(11, "exposure-time", "Exposure Time, Absolute", K::Integer, 3, 2047, 1, 156),
    };
    controls[9].menu = {{kExposureManual, "Manual Mode"}, {3, "Aperture Priority Mode"}};
    controls[10].unit = "100 µs";
    return controls;
}

// The master whose automatic setting makes a control inactive: its id, and the value at which the
// manual control is used.
std::pair<std::uint32_t, std::int32_t> masterOf(std::uint32_t id) {
    if (id == 9)
        return {8, 0};
    if (id == 11)
        return {10, kExposureManual};
    return {0, 0};
}
} // namespace

void SimCamera::resetPicture() {
    Guard guard(simMutex());
    picture.clear();
    for (const PictureControlInfo &info : familyControls())
        picture.emplace_back(info, info.defaultValue);
}

std::vector<std::pair<PictureControlInfo, std::int32_t>> SimCamera::pictureControls() const {
    Guard guard(simMutex());
    return picture;
}

void SimCamera::setPictureValue(const std::string &name, std::int32_t value) {
    Guard guard(simMutex());
    for (auto &[info, current] : picture)
        if (info.name == name)
            current = value;
}

std::vector<SimPictureRecord> SimCamera::pictureLog() const {
    Guard guard(simMutex());
    return pictureRecords;
}

std::vector<PictureControlInfo> SimCamera::queryPicture() const {
    std::vector<PictureControlInfo> result;
    for (const auto &[info, value] : picture) {
        if (missingPictureControls.count(info.name))
            continue;
        PictureControlInfo described = info;
        const auto [master, manualValue] = masterOf(info.id);
        if (master != 0)
            for (const auto &[other, otherValue] : picture)
                if (other.id == master)
                    described.inactive = otherValue != manualValue;
        result.push_back(described);
    }
    return result;
}

bool SimCamera::readPicture(std::uint32_t id, std::int32_t &value, std::string &reason) const {
    for (const auto &[info, current] : picture) {
        if (info.id == id && !missingPictureControls.count(info.name)) {
            value = current;
            return true;
        }
    }
    reason = "no such control";
    return false;
}

bool SimCamera::writePicture(std::uint32_t id, std::int32_t value, std::string &reason) {
    const std::vector<PictureControlInfo> described = queryPicture();
    auto info = std::find_if(described.begin(), described.end(),
                             [&](const PictureControlInfo &c) { return c.id == id; });
    if (info == described.end()) {
        reason = "no such control";
        return false;
    }
    const bool inMenu = info->kind != PictureControlKind::Menu ||
                        std::any_of(info->menu.begin(), info->menu.end(),
                                    [&](const PictureMenuEntry &e) { return e.value == value; });
    const bool inRange = value >= info->minimum && value <= info->maximum && inMenu &&
                         (value - info->minimum) % std::max(info->step, 1) == 0;
    std::string result = "stored";
    if (!inRange)
        result = "out-of-range";
    else if (info->inactive)
        result = "wrong-state";
    pictureRecords.push_back({info->name, value, result});
    if (result != "stored") {
        reason = result == "wrong-state" ? "wrong state" : "out of range";
        return false;
    }
    setPictureValue(info->name, value);
    return true;
}
