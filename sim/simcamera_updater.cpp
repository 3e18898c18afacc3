// The camera's mass-storage side in its updater stages.
#include "sim/simcamera.h"

bool SimCamera::handleScsi(const std::uint8_t *, std::size_t, ScsiDirection, std::uint8_t *,
                           std::uint32_t, std::uint32_t) {
    return false;
}
