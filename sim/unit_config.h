// What one emulated unit is and does: its identity, memory, pacing and fault plan.
// Shared by the pure device model, the pty host, the emulator's command line and the
// tests that configure emulated units.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "device_types.h"

// The step of an exchange where a fault replaces the unit's normal answer.
enum class FaultStep {
    Version,       // the 3-byte version reply
    MemoryRead,    // a memory-read reply (index: the address, -1 any)
    SpeedChange,   // the 1-byte answer to 'S' (index: the request's number from power-up, 0-based; -1 any)
    UploadHeader,  // the answer to the 4-byte 'f' header
    UploadBlock,   // the answer to block `index` (0-based; -1 any)
    UploadFinal,   // the final status byte
};

enum class FaultAction {
    AnswerByte,   // answer `byte` instead (for a memory read: the first data byte, so '?' refuses)
    Silence,      // answer nothing at all
    HangUp,       // close the line (the pty master) at this step
    ShortReply,   // send only `count` bytes of the reply
    BadChecksum,  // memory read: send the checksum byte plus one
    ExtraAfter,   // the normal reply, then `byte` at once, in the same write (a stray byte after an answer)
    ExtraBefore,  // `byte` at once, then the normal reply, in the same write (a byte that came during a write)
};

struct Fault {
    FaultStep step = FaultStep::UploadFinal;
    int index = -1;
    FaultAction action = FaultAction::AnswerByte;
    uint8_t byte = 'O';
    int count = 0;
};

struct UnitConfig {
    bool present = true;   // false: the port does not exist at all
    bool answers = true;   // false: the port exists but no unit answers
    VersionTriple version{1, 5, 'A'};
    VersionTriple versionAfterUpload{1, 6, 'A'};
    std::vector<uint8_t> memory = std::vector<uint8_t>(256, 0);  // address 1: model letter, 4: attachment
    bool paced = false;                    // talk at the simulated line rate (10 bits a byte)
    bool staysAtFastSpeedAfterUpload = false;  // otherwise it restarts at 115200 after programming
    bool muteAfterUpload = false;          // answers nothing once programmed (its new firmware does not start)
    int32_t startSpeed = 115200;           // the speed it talks at from power-on (an earlier run left it there)
    std::vector<Fault> faults;

    static UnitConfig Kestrale(char attachment = 'U', VersionTriple version = {1, 5, 'A'});
    static UnitConfig GristPell(VersionTriple version = {12, 0, 'F'});
    static UnitConfig TamberlinI(VersionTriple version = {2, 3, '1'});
    static UnitConfig TamberlinII(VersionTriple version = {3, 1, '2'});
    static UnitConfig Absent();
    static UnitConfig Silent();
};

// Text form used on the emulator's command line and its control channel, for example
// "kestrale:U version=1.5.A after=1.6.A paced fault=block:3:byte:52 fault=final:silence".
std::string FormatUnitConfig(const UnitConfig& config);
// False (with a reason in *error) when the text does not parse.
bool ParseUnitConfig(const std::string& text, UnitConfig* config, std::string* error);
