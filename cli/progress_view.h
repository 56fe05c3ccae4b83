// Shows an upload's progress notifications: a redrawn bar on a terminal, a plain line
// every tenth when stdout is a pipe or file, a JSON object per percent with --json,
// nothing with --quiet. The link's five notifications carry blocks; the view turns them
// into bytes with the image size it was given.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "progress.h"
#include "progress_text.h"

enum class ProgressStyle { None, Bar, Lines, Json };

class ProgressView {
public:
    ProgressView(ProgressStyle style, uint32_t imageBytes, FILE* stream = stdout);

    // The target to hand to UploadFirmware; valid while this view lives.
    ProgressTarget Target();

    // One notification, at the given time (the target passes the steady clock's now).
    void OnEvent(ProgressEvent event, int32_t value, std::chrono::steady_clock::time_point now);

    // Blocks taken so far, and whether the closing reset has come.
    uint32_t StepsTaken() const { return steps_; }
    bool Finished() const { return finished_; }

private:
    static void Notify(void* context, ProgressEvent event, int32_t value);
    ProgressFigures Figures(std::chrono::steady_clock::time_point now) const;
    void Show(const ProgressFigures& figures, bool last, std::chrono::steady_clock::time_point now);

    ProgressStyle style_;
    uint32_t imageBytes_;
    FILE* stream_;
    bool ranged_ = false;
    int positionResets_ = 0;
    bool finished_ = false;
    uint32_t steps_ = 0;
    std::chrono::steady_clock::time_point start_{};
    std::chrono::steady_clock::time_point lastDrawn_{};
    int lastPercentShown_ = -1;
    bool barDrawn_ = false;
};
