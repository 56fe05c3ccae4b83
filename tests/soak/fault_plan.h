// One update of the fault soak: a random fault plan for an emulated unit, drawn from a
// seed so that any update can be replayed alone, and what the upload oracle says the
// update must end with.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "unit_config.h"
#include "upload_oracle.h"

// The kinds of fault the soak injects, for its counts.
enum class FaultKind { None, AnswerByte, Silence, HangUp, ShortVersion, VersionLetter, CutMemoryRead, StrayByte, Count };
const char* FaultKindName(FaultKind kind);

struct PlannedUpdate {
    uint64_t seed = 0;
    uint32_t imageSize = 0;
    UnitConfig unit;
    std::vector<FaultKind> kinds;        // one entry per fault in unit.faults (None when there is none)
    bool unitIdentifies = true;          // the version query gets a full answer
    bool unitTakesFirmware = true;       // its letter is one of the two flashable models'
    UploadScenario upload;               // what the upload meets, step by step
    // The final status byte the unit sends when the upload gets that far.
    uint8_t finalStatus = 'O';
    // A stray byte around the last block's answer takes the final status's place, so the
    // real one is never read: only the version after the update can tell then.
    bool finalStatusMasked = false;

    std::string Describe() const;
};

// Draws the plan of one update. `silencePercent` is the chance (0..100) that an upload
// fault is a silence (each costs the 6 s answer time-out).
PlannedUpdate PlanUpdate(uint64_t seed, int silencePercent);

// True when the unit's contract calls this final status a success.
bool FinalStatusMeansSuccess(uint8_t status);
