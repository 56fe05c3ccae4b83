// What flash --all shows while several units update at once: on a terminal one line per
// unit (port, model, bar, rate, state) redrawn in place; otherwise plain lines with the
// port in front; with --json one object per line, each carrying the port. Units report
// from their own threads; one lock keeps lines whole and the table consistent.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "progress.h"
#include "progress_text.h"

enum class TableStyle { Live, Lines, Json, None };

class UnitTable {
public:
    UnitTable(TableStyle style, FILE* stream = stdout, int columns = 80);

    // One row per unit, added before any unit starts: the port as shown, the unit, and the
    // port as given for JSON. Returns its index.
    size_t AddRow(const std::string& port, const std::string& unit, const std::string& jsonPort);
    // The row's state in words ("switching to 921600 bit/s", "done").
    void SetState(size_t row, const std::string& state);
    // The target for that row's upload of imageBytes; valid while the table lives.
    ProgressTarget StartProgress(size_t row, uint32_t imageBytes);
    uint32_t StepsTaken(size_t row) const;
    // The last drawing of a live table, with every row's final state.
    void Close();

    // "p1  Kestrale USB v1.5.A  [#####.....]  50%  11.2 KiB/s  state" (tested without a terminal).
    static std::string RowText(const std::string& port, size_t portWidth, const std::string& unit, size_t unitWidth,
                               const ProgressFigures* figures, const std::string& state);

private:
    struct Row {
        std::string port;
        std::string unit;
        std::string jsonPort;
        std::string state;
        bool uploading = false;
        std::chrono::steady_clock::time_point ended{};  // when the transfer closed, for a rate that stays
        uint32_t imageBytes = 0;
        uint32_t steps = 0;
        int positionResets = 0;
        int lastPercentShown = -1;
        std::chrono::steady_clock::time_point start{};
        UnitTable* table = nullptr;
        size_t index = 0;
    };
    static void Notify(void* context, ProgressEvent event, int32_t value);
    void OnEvent(Row& row, ProgressEvent event);
    ProgressFigures Figures(const Row& row) const;
    void DrawLocked(bool force);
    void LineLocked(const Row& row, const std::string& text);

    TableStyle style_;
    FILE* stream_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Row>> rows_;
    size_t columns_;  // rows are clipped to the terminal's width
    bool drawn_ = false;
    std::chrono::steady_clock::time_point lastDrawn_{};
};
