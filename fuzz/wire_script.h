// What every harness shares: the unit and the driver played from the fuzzer's input, and
// the invariants that must hold after any operation, checked with abort() so the fuzzer
// keeps the input that broke one.
//
// The fake serial layer answers each write of the link with bytes taken from the input
// (any length, any value); a few driver steps fail where the input says.
#pragma once
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "device_link.h"
#include "serial_fake.h"

// Stops the run with the broken invariant named; libFuzzer saves the input as a crash.
#define FUZZ_REQUIRE(condition)                                                              \
    do {                                                                                     \
        if (!(condition)) {                                                                  \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                    \
        }                                                                                    \
    } while (0)

// Every driver step the fake serial layer can fail.
inline const std::vector<FakeSerial::Step> kEveryDriverStep = {
    FakeSerial::Step::Open,  FakeSerial::Step::SetupQueues, FakeSerial::Step::GetLineSettings,
    FakeSerial::Step::SetLineSettings, FakeSerial::Step::GetTimeouts, FakeSerial::Step::SetTimeouts,
    FakeSerial::Step::Purge, FakeSerial::Step::Write, FakeSerial::Step::Read,
};

class WireScript {
public:
    // Resets the fake serial layer (ports COM1..COM5, nothing scripted).
    explicit WireScript(FuzzedDataProvider& data);

    // Up to `most` scripted failures of the given driver steps, at call numbers from the input.
    void ScriptDriverFailures(const std::vector<FakeSerial::Step>& steps, int most);
    // From now on every write is answered with bytes from the input (what is left of it).
    void AnswerFromInput();
    // The answer given to each write so far, in order.
    const std::vector<std::vector<uint8_t>>& Answers() const { return answers_; }

    // Opens COM1 at 115200 with no failure scripted; false when the fake refused it.
    static bool OpenFirstPort(DeviceLink& link);

private:
    std::vector<uint8_t> NextAnswer();

    FuzzedDataProvider& data_;
    std::vector<std::vector<uint8_t>> answers_;
};

// Invariants after any operation of the link: a known code, idle 1, at most one handle,
// consistent port state, and a read time-out of 300 ms wherever it was last written.
void RequireSettled(const DeviceLink& link, ResultCode result);
// True when a purge failed since the calls were cleared: stale input may then stand in
// for an answer, as it would on a real driver that could not discard it.
bool PurgeFailed();
// The number of speed commands ('S', code, sum) the link wrote since the calls were cleared.
size_t SpeedCommandsWritten();
