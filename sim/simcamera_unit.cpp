// The camera's side of the extension unit and of the standard camera controls.
#include "sim/simcamera.h"

PlatformStatus SimCamera::handleUnitRequest(std::uint32_t, UnitDirection, std::uint8_t *,
                                            std::uint32_t, PlatformFailure &failure) {
    failure = {"UVCIOC_CTRL_QUERY", kStatusFail};
    return failure.status;
}

bool SimCamera::getControl(int, std::int32_t &) {
    return false;
}

bool SimCamera::setControl(int, std::int32_t) {
    return false;
}
