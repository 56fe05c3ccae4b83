// The flash of one unit that was found and can take firmware: switch to the asked speed,
// upload with progress, come back to 115200 on every path (re-identifying the unit on the
// way after a success), and the words of the end. A single flash and each unit of flash --all run this same sequence; they
// differ only in where its words and progress go (FlashVoice).
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "device_link.h"
#include "exit_codes.h"
#include "image_summary.h"
#include "interrupt_control.h"
#include "json_line.h"
#include "port_probe.h"

// Where one unit's flash tells what it does: the lines and bar of a single flash, or one
// row of the table of several units.
class FlashVoice {
public:
    virtual ~FlashVoice() = default;
    // A step in words ("Uploading 20001 bytes at 921600 bit/s.").
    virtual void Say(const std::string& text) = 0;
    // The upload's progress target for an image of that many bytes; valid until the next call.
    virtual ProgressTarget StartProgress(uint32_t imageBytes) = 0;
    // Blocks the unit took so far in the current upload.
    virtual uint32_t StepsTaken() const = 0;
    // What Ctrl-C means for this unit from now on.
    virtual void SetPhase(InterruptPhase phase) = 0;
};

// How a run on a unit ends: the exit code and the two lines of the final report.
struct FlashEnd {
    FlashEnd() = default;
    FlashEnd(ExitCode exit_, std::string headline_, std::string detail_, bool yieldsToStop_ = false,
             std::string newVersion_ = std::string())
        : exit(exit_), headline(std::move(headline_)), detail(std::move(detail_)), yieldsToStop(yieldsToStop_),
          newVersion(std::move(newVersion_)) {}

    ExitCode exit = ExitCode::Success;
    std::string headline;
    std::string detail;
    bool yieldsToStop = false;  // a stop asked for until the very end makes it exit 7
    std::string newVersion;     // as the unit said after a success; empty when not asked
};

// Lets the unit's port go once, on every way out of its flash: closed (back at 115200
// where possible), or abandoned without a byte more when the unit is mid-upload.
class UnitRelease {
public:
    explicit UnitRelease(DeviceLink& link) : link_(link) {}
    ~UnitRelease() { Now(); }
    UnitRelease(const UnitRelease&) = delete;
    UnitRelease& operator=(const UnitRelease&) = delete;

    void Abandon() { abandon_ = true; }
    void Now();

private:
    DeviceLink& link_;
    bool done_ = false;
    bool abandon_ = false;
};

struct UnitFlash {
    DeviceLink& link;
    UnitRelease& release;
    const InterruptControl& interrupts;  // asked whether a stop was requested
    FlashVoice& voice;
    const ImageSummary& image;           // checked; its bytes are what is sent
    const PortReport& unit;
    int32_t speed;
    JsonLine& extra;                     // the fields of the final report
};

// Switch, upload, way back, re-identification; the unit found and able to take firmware.
FlashEnd FlashOneUnit(const UnitFlash& run);
