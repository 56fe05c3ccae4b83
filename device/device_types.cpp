// The speed table: the four codes the unit's speed command takes and their line speeds.
#include "device_types.h"

#include <initializer_list>

namespace {

bool IsSpeedCode(SpeedCode code) {
    return code == SPEED_921600 || code == SPEED_460800 || code == SPEED_230400 || code == SPEED_115200;
}

}  // namespace

int32_t SpeedOfCode(SpeedCode code) { return IsSpeedCode(code) ? FASTEST_SPEED_BPS / (code + 1) : 0; }

SpeedCode CodeOfSpeed(int32_t bitsPerSecond) {
    for (SpeedCode code : {SPEED_921600, SPEED_460800, SPEED_230400, SPEED_115200}) {
        if (SpeedOfCode(code) == bitsPerSecond) return code;
    }
    return -1;
}
