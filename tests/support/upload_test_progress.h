// Records the progress notifications of an upload, for comparison with what is expected.
#pragma once
#include <cstdint>
#include <ostream>
#include <vector>

#include "progress.h"

struct ProgressRecord {
    ProgressEvent event;
    int32_t value;
    bool operator==(const ProgressRecord&) const = default;
};

class ProgressRecorder {
public:
    ProgressRecorder() : target_{&ProgressRecorder::Record, this} {}
    ProgressRecorder(const ProgressRecorder&) = delete;
    ProgressRecorder& operator=(const ProgressRecorder&) = delete;

    const ProgressTarget* Target() const { return &target_; }
    const std::vector<ProgressRecord>& Events() const { return events_; }
    void Clear() { events_.clear(); }

    // What a run that got through the image check and took `steps` blocks must report;
    // a run refused earlier reports only the closing reset.
    static std::vector<ProgressRecord> Expected(bool transferStarted, int32_t maximum, int32_t steps) {
        std::vector<ProgressRecord> expected;
        if (transferStarted) {
            expected.push_back({ProgressEvent::SetRange, maximum});
            expected.push_back({ProgressEvent::SetStep, 1});
            expected.push_back({ProgressEvent::SetPos, 0});
            for (int32_t i = 0; i < steps; ++i) expected.push_back({ProgressEvent::StepIt, 0});
        }
        expected.push_back({ProgressEvent::SetPos, 0});
        return expected;
    }

private:
    static void Record(void* context, ProgressEvent event, int32_t value) {
        static_cast<ProgressRecorder*>(context)->events_.push_back({event, value});
    }
    ProgressTarget target_;
    std::vector<ProgressRecord> events_;
};

inline const char* ProgressEventName(ProgressEvent e) {
    switch (e) {
    case ProgressEvent::SetRange: return "SetRange";
    case ProgressEvent::SetStep: return "SetStep";
    case ProgressEvent::SetPos: return "SetPos";
    case ProgressEvent::StepIt: return "StepIt";
    }
    return "?";
}

inline void PrintTo(const ProgressRecord& r, std::ostream* os) { *os << ProgressEventName(r.event) << "(" << r.value << ")"; }
