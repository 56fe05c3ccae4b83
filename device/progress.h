// How an upload reports progress: five notifications, the same on every platform.
// The Windows dialog turns them into PBM_ messages to its progress bar; a terminal
// draws a bar; tests record them.
#pragma once
#include <cstdint>

enum class ProgressEvent {
    SetRange,   // value: the maximum (blocks + 1); the minimum is 0
    SetStep,    // value: 1
    SetPos,     // value: 0 (after the range, and once more at the end on every path)
    StepIt,     // a block was taken with 'O'; value: 0
};

using ProgressCallback = void (*)(void* context, ProgressEvent event, int32_t value);

struct ProgressTarget {
    ProgressCallback notify = nullptr;
    void* context = nullptr;
};

inline void NotifyProgress(const ProgressTarget* target, ProgressEvent event, int32_t value) {
    if (target != nullptr && target->notify != nullptr) target->notify(target->context, event, value);
}
