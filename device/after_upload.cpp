// DeviceLink after a successful upload: find the unit where programming left it, bring it
// back to 115200 and take the version it answers as the re-identification.
//
// A unit either restarts at 115200 after programming or goes on at the upload's speed. The
// order below is the cheapest that is right for both: a short look at the upload's speed
// (a unit still there answers in microseconds of wire time), then 115200 on the same
// handle (no reopen: nothing about the line changes but its rate), then the upload's speed
// once more with the unit's full wait, for a slow answer. Every answer is read, never
// assumed.
#include "device_link.h"

namespace {

// The short look: above a USB adapter's latency timer (16 ms). A later answer is not lost
// for good: the full look at that speed comes after 115200's.
constexpr uint32_t FIRST_LOOK_READ_TIMEOUT_MS = 20;

bool IsUnanswered(SpeedReturnWay way) { return way == SpeedReturnWay::NoAnswerAfterProgramming; }

}  // namespace

bool DeviceLink::AnswersAtHostSpeed(int32_t bitsPerSecond, uint32_t readTimeoutMs, VersionTriple* version) {
    return portOpen == 1 && SetHostSpeed(bitsPerSecond) && QueryVersionWithin(version, readTimeoutMs) == RESULT_OK;
}

SpeedReturnWay DeviceLink::FindAfterProgramming(VersionTriple* version) {
    const SpeedCode fast = speedCode;
    const int32_t fastSpeed = SpeedOfCode(fast);
    if (QueryVersionWithin(version, FIRST_LOOK_READ_TIMEOUT_MS) == RESULT_OK)
        return SwitchBackAfterProgramming(fast, version);
    if (AnswersAtHostSpeed(BASE_SPEED_BPS, VERSION_READ_TIMEOUT_MS, version)) {
        speedCode = SPEED_115200;
        return SpeedReturnWay::RestartedAtBase;
    }
    if (AnswersAtHostSpeed(fastSpeed, VERSION_READ_TIMEOUT_MS, version)) return SwitchBackAfterProgramming(fast, version);
    // Nowhere: the host side goes back to 115200 and nothing more is sent, as the unit's
    // speed is unknown.
    SetHostSpeed(BASE_SPEED_BPS);
    speedCode = SPEED_115200;
    *version = VersionTriple{0, 0, 0};
    return SpeedReturnWay::NoAnswerAfterProgramming;
}

SpeedReturnWay DeviceLink::SwitchBackAfterProgramming(SpeedCode fast, VersionTriple* version) {
    speedCode = fast;
    const bool moved = SwitchSpeed(SPEED_115200).Moved();
    VersionTriple atBase{};
    const bool answersAtBase = moved ? QueryVersion(&atBase) == RESULT_OK : AnswersAtBaseSpeed(&atBase);
    if (answersAtBase) {
        *version = atBase;
        return moved ? SpeedReturnWay::SwitchedBackAfterProgramming : SpeedReturnWay::AnswersAtBaseDespiteSwitch;
    }
    // Silent at 115200: it may still talk at the fast speed. The link's speed is 115200
    // now, so letting the port go sends no further command; the report says where it is.
    speedCode = SPEED_115200;
    VersionTriple atFast{};
    if (AnswersAtHostSpeed(SpeedOfCode(fast), VERSION_READ_TIMEOUT_MS, &atFast)) {
        *version = atFast;
        return SpeedReturnWay::StaysAtFastSpeed;
    }
    // It answered at the fast speed after programming, then nowhere: that answer stands.
    return SpeedReturnWay::NoAnswerAfterSwitch;
}

AfterUpload DeviceLink::ReidentifyAfterUpload(DeviceKind kindBefore, const VersionTriple& versionBefore) {
    AfterUpload after;
    VersionTriple version{};
    bool answered = false;
    if (speedCode != SPEED_115200) {
        after.back.fastSpeed = SpeedOfCode(speedCode);
        after.back.way = FindAfterProgramming(&version);
        answered = !IsUnanswered(after.back.way);
    } else {
        // Either way of the unit ends at 115200 here; a second ask covers a slow restart.
        answered = QueryVersion(&version) == RESULT_OK || QueryVersion(&version) == RESULT_OK;
    }
    if (!answered) return after;
    after.version = version;
    after.kind = version.letter == versionBefore.letter ? kindBefore : IdentifyAnswered(version);
    return after;
}
