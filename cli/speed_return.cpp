#include "speed_return.h"

#include <cstring>

namespace {


// Host side back to 115200 without a speed command, then one version query there.
bool AnswersAtBaseSpeed(DeviceLink& link) {
    char name[PORT_NAME_CAPACITY];
    std::memcpy(name, link.portName, sizeof name);
    link.speedCode = SPEED_115200;  // the link must not send 'S' at the old speed on reopening
    if (link.OpenPort(name, BASE_SPEED_BPS) != RESULT_OK) return false;
    VersionTriple version{};
    return link.QueryVersion(&version) == RESULT_OK;
}

}  // namespace

SpeedReturn ReturnTo115200(DeviceLink& link, bool uploadSucceeded) {
    SpeedReturn outcome;
    if (link.speedCode == SPEED_115200) return outcome;
    outcome.wasFast = true;
    const std::string fast = std::to_string(SpeedOfCode(link.speedCode)) + " bit/s";

    bool switchAsked = false;
    if (uploadSucceeded) {
        VersionTriple version{};
        if (link.QueryVersion(&version) == RESULT_OK) {
            switchAsked = true;
            if (link.ChangeSpeed(SPEED_115200) == RESULT_OK && link.portOpen == 1) {
                outcome.backAt115200 = true;
                outcome.account =
                    "The unit went on at " + fast + " after programming and was switched back to 115200 bit/s.";
                return outcome;
            }
        }
    } else {
        switchAsked = true;
        if (link.ChangeSpeed(SPEED_115200) == RESULT_OK && link.portOpen == 1) {
            outcome.backAt115200 = true;
            outcome.account = "The unit was asked back to 115200 bit/s and accepted.";
            return outcome;
        }
    }

    outcome.backAt115200 = AnswersAtBaseSpeed(link);
    if (outcome.backAt115200 && !switchAsked)
        outcome.account = "The unit restarted at 115200 bit/s after programming.";
    else if (outcome.backAt115200)
        outcome.account = "The unit did not accept the switch back at " + fast + " but answers at 115200 bit/s.";
    else if (switchAsked)
        outcome.account = "The unit was asked back to 115200 bit/s but answered neither at " + fast +
                          " nor at 115200 bit/s.";
    else
        outcome.account = "The unit answered neither at " + fast + " nor at 115200 bit/s after programming.";
    return outcome;
}
