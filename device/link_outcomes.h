// The records the link's probe and speed operations return, so that callers learn why a
// port or a speed change failed from the answer, never from the link's fields.
#pragma once
#include <cstdint>

#include "device_types.h"
#include "result_code.h"

constexpr int32_t DESCRIPTION_TEXT_CAPACITY = 64;

// What a probe of one port found, at 115200 bit/s.
enum class ProbeState {
    Found,            // a unit answered and was identified; the port stays open
    UnknownUnit,      // a unit answered with a revision letter the link does not know; port open
    NoAnswer,         // open, but nothing answered the version query; port open
    CannotConfigure,  // opened, but the line settings or time-outs were refused; port held
    NoSuchPort,       // the system says the port does not exist
    Busy,             // held by another program
    CannotOpen,       // any other refusal of the system (permissions, a name too long, ...)
};

struct ProbeOutcome {
    ProbeState state = ProbeState::NoAnswer;
    uint32_t osError = 0;  // the system's error of a failed open; 0 otherwise
    DeviceKind kind = 0;
    VersionTriple version{};
    char description[DESCRIPTION_TEXT_CAPACITY] = {};  // "Kestrale USB v1.5.A"

    bool Answered() const { return state == ProbeState::Found || state == ProbeState::UnknownUnit; }
};

// How the unit took a request to change speed.
enum class SpeedSwitchState {
    Accepted,      // it answered 'A' and the port was reopened at the new speed
    Refused,       // it answered, but not 'A': both sides stay at the old speed
    NoAnswer,      // nothing came back (or the read failed): the unit's speed is unknown
    NotSent,       // the request could not be written (or the speed has no code)
    ReopenFailed,  // it accepted, but the port could not be reopened at the new speed
    HostCannot,    // the host port would not run the speed: nothing was sent
};

struct SpeedSwitchOutcome {
    SpeedSwitchState state = SpeedSwitchState::NotSent;
    // The failure to report: the change's own result, or RESULT_NOT_OPEN when the
    // reopen failed. RESULT_OK only for Accepted.
    ResultCode result = RESULT_OK;

    bool Moved() const { return state == SpeedSwitchState::Accepted; }
};

// How the unit came back to 115200 bit/s after talking at a fast speed.
enum class SpeedReturnWay {
    NotNeeded,                     // it was at 115200 all along
    SwitchedBackAfterProgramming,  // it went on at the fast speed and took the switch back
    AcceptedSwitchBack,            // after a failure it was asked back and accepted
    RestartedAtBase,               // after programming it answered at 115200 by itself
    AnswersAtBaseDespiteSwitch,    // the switch back failed, but it answers at 115200
    NoAnswerAfterSwitch,           // asked back, it answered at neither speed
    NoAnswerAfterProgramming,      // after programming it answered at neither speed
    StaysAtFastSpeed,              // it answers at the fast speed only: the switch back did not take
};

struct SpeedReturn {
    SpeedReturnWay way = SpeedReturnWay::NotNeeded;
    int32_t fastSpeed = 0;  // bit/s the link was at; 0 when NotNeeded

    bool WasFast() const { return way != SpeedReturnWay::NotNeeded; }
    bool BackAtBase() const {
        return way != SpeedReturnWay::NoAnswerAfterSwitch && way != SpeedReturnWay::NoAnswerAfterProgramming &&
               way != SpeedReturnWay::StaysAtFastSpeed;
    }
};

// What a successful upload left: how the unit came back to 115200 bit/s, and what it
// answered afterwards (kind 0 when it answered nowhere or with a letter not known).
struct AfterUpload {
    SpeedReturn back;
    DeviceKind kind = 0;
    VersionTriple version{};
};

// What a search of the fast speeds on a silent port found.
struct SpeedSearch {
    int32_t foundAt = 0;       // bit/s where the unit answered; 0 when nowhere
    bool backAtBase = false;   // it took the switch back and talks at 115200 again
};
