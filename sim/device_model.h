// The emulated unit as a pure state machine: bytes the host wrote go in (in any chunking),
// the unit's answers and line events come out. No I/O and no clocks, so tests can drive it
// in-process and the pty host can pace it as it likes.
//
// What the unit understands (everything else is ignored while it waits for a command):
//   'V' 'V'                     -> major, minor, letter (no checksum)
//   'H' 'R' L hi lo cs          -> L bytes of memory from hi:lo (L 0 = 256), then their sum
//   'E' L hi lo <L bytes> cs    -> the same reply
//   'S' code cs                 -> 'O' at the old speed, then talks at the new one; '?' refuses
//   'f' hi lo cs, then blocks   -> 'O', one answer per 256-byte block (the last carries T),
//                                  then one final status: 'O', 'E' (T wrong), 'I' (check byte wrong)
// A request whose checksum is wrong is refused: '?' for the speed and upload commands, and
// '?' followed by its own sum (0x3F) for a memory read. After any fault the unit is back in
// its idle state, so the next command is understood.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "unit_config.h"

// One thing the unit does on the line, in order.
struct ModelAction {
    enum class Kind {
        Send,      // write `bytes` at the current speed
        SetSpeed,  // from now on talk at `speed` bit/s (after the bytes sent before it)
        HangUp,    // drop the line
    };
    Kind kind = Kind::Send;
    std::vector<uint8_t> bytes;
    int32_t speed = 0;
    // Send: the bytes arrive together, even when paced (a fault's extra byte rides with
    // its answer, so where it lands among the host's reads does not depend on timing).
    bool together = false;
};

struct ModelStats {
    int speedCommands = 0;      // complete 'S' requests taken, valid or not
    int uploadsCompleted = 0;   // uploads whose every block arrived
    int uploadsProgrammed = 0;  // uploads that ended with a good image
    uint64_t bytesIn = 0;       // host bytes fed to the model
    uint64_t bytesOut = 0;      // answer bytes produced
};

class DeviceModel {
public:
    static constexpr int32_t kDefaultSpeed = 115200;

    explicit DeviceModel(const UnitConfig& config);

    // Feeds host bytes; appends what the unit does in answer to *actions.
    void Feed(const uint8_t* data, size_t n, std::vector<ModelAction>* actions);
    void Feed(uint8_t byte, std::vector<ModelAction>* actions);
    // Convenience for tests: feeds the bytes and returns every byte the unit sent.
    std::vector<uint8_t> Exchange(const std::vector<uint8_t>& request);

    // The line went quiet in the middle of a request: a real unit's receive time-out
    // drops the partial request and waits for a new command.
    void AbandonPartialRequest();
    // True while the unit holds part of a request (or an upload) and waits for more.
    bool InRequest() const;

    int32_t Speed() const { return speed_; }
    VersionTriple Version() const { return version_; }
    const ModelStats& Stats() const { return stats_; }
    const std::vector<uint8_t>& ReceivedImage() const { return receivedImage_; }
    const UnitConfig& Config() const { return config_; }

private:
    enum class State { Idle, Frame, UploadData };

    void StartCommand(uint8_t byte);
    void FinishFrame(std::vector<ModelAction>* actions);
    void TakeUploadByte(uint8_t byte, std::vector<ModelAction>* actions);
    void AnswerVersion(std::vector<ModelAction>* actions);
    void AnswerMemoryRead(uint8_t lengthByte, uint16_t address, bool checksumOk,
                          std::vector<ModelAction>* actions);
    void AnswerSpeed(uint8_t code, bool checksumOk, std::vector<ModelAction>* actions);
    void AnswerUploadHeader(uint16_t length, bool checksumOk, std::vector<ModelAction>* actions);
    void FinishBlock(std::vector<ModelAction>* actions);
    void FinishUpload(std::vector<ModelAction>* actions);

    // The fault planned for this step (and index), or null.
    const Fault* FindFault(FaultStep step, int index) const;
    // Sends `reply` changed by `fault` (if any). Returns false when the fault ended the
    // exchange (silence, hang-up, short reply), so the unit goes back to idle.
    bool SendReply(std::vector<uint8_t> reply, const Fault* fault, std::vector<ModelAction>* actions);
    void Send(const std::vector<uint8_t>& bytes, std::vector<ModelAction>* actions, bool together = false);
    void SetSpeed(int32_t speed, std::vector<ModelAction>* actions);
    uint8_t MemoryAt(uint32_t address) const;

    UnitConfig config_;
    VersionTriple version_;
    int32_t speed_ = kDefaultSpeed;
    ModelStats stats_;

    State state_ = State::Idle;
    std::vector<uint8_t> frame_;  // the request collected so far
    size_t frameLength_ = 0;      // its full length once known, 0 while still unknown

    std::vector<uint8_t> image_;  // upload in progress: image bytes, then T
    size_t imageLength_ = 0;
    size_t blockFill_ = 0;        // bytes of the current block received
    int blockIndex_ = 0;
    std::vector<uint8_t> receivedImage_;
};

// The line rate in bit/s of a speed code the unit accepts, 0 for any other code.
int32_t UnitSpeedOfCode(uint8_t code);
