#include "speed_return_text.h"

std::string SpeedReturnText(const SpeedReturn& back) {
    const std::string fast = std::to_string(back.fastSpeed) + " bit/s";
    switch (back.way) {
    case SpeedReturnWay::NotNeeded: return "";
    case SpeedReturnWay::SwitchedBackAfterProgramming:
        return "The unit went on at " + fast + " after programming and was switched back to 115200 bit/s.";
    case SpeedReturnWay::AcceptedSwitchBack: return "The unit was asked back to 115200 bit/s and accepted.";
    case SpeedReturnWay::RestartedAtBase: return "The unit restarted at 115200 bit/s after programming.";
    case SpeedReturnWay::AnswersAtBaseDespiteSwitch:
        return "The unit did not accept the switch back at " + fast + " but answers at 115200 bit/s.";
    case SpeedReturnWay::NoAnswerAfterSwitch:
        return "The unit was asked back to 115200 bit/s but answered neither at " + fast + " nor at 115200 bit/s.";
    case SpeedReturnWay::NoAnswerAfterProgramming:
        return "The unit answered neither at " + fast + " nor at 115200 bit/s after programming.";
    case SpeedReturnWay::StaysAtFastSpeed:
        return "The unit answers at " + fast + " after programming but did not take the switch back to 115200 bit/s: "
               "it stays at " + fast + " until it is power-cycled, and drusel-update --port finds it there.";
    }
    return "";
}
