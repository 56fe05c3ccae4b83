// A scripted serial layer for tests: every function of serial.h, with no real I/O.
//
// It stands in for the driver where a real port cannot produce what a test needs (a
// driver that refuses its settings, a read that fails) and for fast in-process tests.
// Each port name has an input buffer; whatever the host writes is handed to a "peer"
// (a function playing the unit) or answered from a queue of scripted replies, and the
// answer waits in the input buffer for the next reads. A read returns at once with
// what is buffered (possibly nothing): a silent unit costs no time.
//
// Every call is recorded as a short text ("open COM1", "setup 1024 1024",
// "setstate 115200", "settimeouts 25 0 300 0 110", "purge", "discard 2", "write 56 56",
// "read 3 -> 3", "pause 40", "close"), failures with " -> fail".
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "serial.h"

class FakeSerial {
public:
    // Error codes the fake reports through SerialLastError().
    static constexpr uint32_t kNoSuchPortError = 2;   // the name is not in the existing list
    static constexpr uint32_t kBusyError = 16;        // the port is already open
    static constexpr uint32_t kDriverError = 31;      // a scripted driver failure

    // The driver's state before the link touches it: deliberately unlike what the link
    // sets, so that a test sees which members were changed and which were kept.
    static SerialLineSettings DriverDefaultLineSettings();
    static SerialTimeouts DriverDefaultTimeouts();

    enum class Step { Open, SetupQueues, GetLineSettings, SetLineSettings, GetTimeouts, SetTimeouts, Purge, DiscardInput, Write, Read };

    // Receives the bytes of one write, returns what the unit answers (queued for reads).
    using Peer = std::function<std::vector<uint8_t>(const uint8_t* data, size_t n)>;

    static FakeSerial& Get();

    // Forgets everything: ports, peers, scripts, the call log. Open handles become invalid.
    // Afterwards the ports "COM1" to "COM5" exist.
    void Reset();

    // Only these names can be opened; others fail with kNoSuchPortError.
    void SetExistingPorts(const std::vector<std::string>& names);

    // Scripted failures. Counting starts at the next call of that step: n = 1 is the next.
    void FailNext(Step step, uint32_t osError = kDriverError) { FailNth(step, 1, osError); }
    void FailNth(Step step, int n, uint32_t osError = kDriverError);
    void FailAlways(Step step, uint32_t osError = kDriverError);
    // The nth write from now reports success having sent only `count` bytes.
    void ShortWriteNth(int n, uint32_t count);

    // The unit: a peer for every port, or for one named port (which wins).
    void SetPeer(Peer peer);
    void SetPortPeer(const std::string& name, Peer peer);
    // Scripted answers: each write, in order, takes the next reply (before any peer).
    void QueueReply(std::vector<uint8_t> bytes);
    // Bytes already waiting in a port's input buffer (stale data a purge must discard).
    void DeliverNow(const std::string& name, const std::vector<uint8_t>& bytes);

    // What happened.
    std::vector<std::string> Calls() const;
    std::vector<std::vector<uint8_t>> Writes() const;  // the bytes of each successful write
    std::vector<uint8_t> AllWrittenBytes() const;
    size_t CountCalls(const std::string& prefix) const;
    void ClearCalls();

    // The port's settings as the link last wrote them (driver defaults before that).
    SerialTimeouts Timeouts(const std::string& name) const;
    SerialLineSettings LineSettings(const std::string& name) const;
    bool IsOpen(const std::string& name) const;
    int OpenHandleCount() const;

    // The serial.h functions land here.
    PortHandle Open(const char* name);
    bool SetupQueues(PortHandle port, uint32_t inputBytes, uint32_t outputBytes);
    bool GetLineSettings(PortHandle port, SerialLineSettings* settings);
    bool SetLineSettings(PortHandle port, const SerialLineSettings* settings);
    bool GetTimeouts(PortHandle port, SerialTimeouts* timeouts);
    bool SetTimeouts(PortHandle port, const SerialTimeouts* timeouts);
    bool Purge(PortHandle port);
    bool DiscardInput(PortHandle port, uint8_t* data, uint32_t capacity, uint32_t* taken);
    bool Write(PortHandle port, const void* data, uint32_t count, uint32_t* written);
    bool Read(PortHandle port, void* data, uint32_t count, uint32_t* received);
    void Close(PortHandle port);
    void Pause(uint32_t milliseconds);

private:
    struct PortState {
        bool exists = false;
        bool open = false;
        SerialLineSettings line = DriverDefaultLineSettings();
        SerialTimeouts timeouts = DriverDefaultTimeouts();
        std::deque<uint8_t> input;
        Peer peer;
    };
    struct StepScript {
        int calls = 0;                          // calls of this step so far
        std::map<int, uint32_t> failAt;         // call number -> OS error
        bool failAlways = false;
        uint32_t alwaysError = kDriverError;
    };

    FakeSerial();
    // False (with the error recorded) when a scripted failure hits this call.
    bool TakeScriptedFailure(Step step);
    PortState* PortOf(PortHandle port);
    void Log(std::string line);

    mutable std::recursive_mutex mutex_;
    std::map<std::string, PortState> ports_;
    std::map<Step, StepScript> scripts_;
    std::map<int, uint32_t> shortWrites_;  // write call number -> bytes sent
    std::deque<std::vector<uint8_t>> replies_;
    Peer defaultPeer_;
    std::map<PortHandle, std::string> handles_;  // handle -> port name
    uintptr_t nextHandle_ = 0;  // kept across Reset so a stale handle never aliases a new one
    std::vector<std::string> calls_;
    std::vector<std::vector<uint8_t>> writes_;
};

// "56 56": the bytes as upper-case hex pairs separated by blanks.
std::string HexBytes(const uint8_t* data, size_t n);
std::string HexBytes(const std::vector<uint8_t>& bytes);
