#include "unit_table.h"

#include <algorithm>
#include <cstdio>

#include "json_line.h"
#include "protocol.h"

namespace {

constexpr int ROW_BAR_WIDTH = 10;
constexpr auto REDRAW_INTERVAL = std::chrono::milliseconds(100);

std::string Padded(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

UnitTable::UnitTable(TableStyle style, FILE* stream, int columns)
    : style_(style), stream_(stream), columns_(columns > 1 ? static_cast<size_t>(columns) : 80) {}

size_t UnitTable::AddRow(const std::string& port, const std::string& unit, const std::string& jsonPort) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto row = std::make_unique<Row>();
    row->port = port;
    row->unit = unit;
    row->jsonPort = jsonPort;
    row->state = "waiting";
    row->table = this;
    row->index = rows_.size();
    rows_.push_back(std::move(row));
    return rows_.size() - 1;
}

void UnitTable::SetState(size_t row, const std::string& state) {
    std::lock_guard<std::mutex> lock(mutex_);
    Row& r = *rows_[row];
    r.state = state;
    if (style_ == TableStyle::Lines) LineLocked(r, state);
    if (style_ == TableStyle::Live) DrawLocked(true);
}

ProgressTarget UnitTable::StartProgress(size_t row, uint32_t imageBytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    Row& r = *rows_[row];
    r.imageBytes = imageBytes;
    r.steps = 0;
    r.positionResets = 0;
    r.lastPercentShown = -1;
    ProgressTarget target;
    target.notify = &UnitTable::Notify;
    target.context = &r;
    return target;
}

uint32_t UnitTable::StepsTaken(size_t row) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return rows_[row]->steps;
}

void UnitTable::Notify(void* context, ProgressEvent event, int32_t) {
    Row& row = *static_cast<Row*>(context);
    std::lock_guard<std::mutex> lock(row.table->mutex_);
    row.table->OnEvent(row, event);
}

ProgressFigures UnitTable::Figures(const Row& row) const {
    ProgressFigures figures;
    const uint64_t bytes = static_cast<uint64_t>(row.steps) * UPLOAD_BLOCK_BYTES;
    figures.bytesDone = bytes > row.imageBytes ? row.imageBytes : static_cast<uint32_t>(bytes);
    figures.bytesTotal = row.imageBytes;
    const auto until = row.uploading || row.ended < row.start ? std::chrono::steady_clock::now() : row.ended;
    figures.elapsedSeconds = std::chrono::duration<double>(until - row.start).count();
    return figures;
}

void UnitTable::OnEvent(Row& row, ProgressEvent event) {
    switch (event) {
    case ProgressEvent::SetRange:
        row.steps = 0;
        row.positionResets = 0;
        row.start = std::chrono::steady_clock::now();
        row.uploading = true;
        return;
    case ProgressEvent::SetStep: return;
    case ProgressEvent::SetPos:
        // The second reset closes the transfer; the bar stays where it ended.
        if (++row.positionResets >= 2 && row.uploading) {
            row.uploading = false;
            row.ended = std::chrono::steady_clock::now();
        }
        if (style_ == TableStyle::Live) DrawLocked(true);
        return;
    case ProgressEvent::StepIt: break;
    }
    ++row.steps;
    const ProgressFigures figures = Figures(row);
    const int percent = figures.Percent();
    switch (style_) {
    case TableStyle::Live: DrawLocked(percent == 100); return;
    case TableStyle::Lines:
        if (row.lastPercentShown >= 0 && percent / 10 == row.lastPercentShown / 10) return;
        row.lastPercentShown = percent;
        LineLocked(row, FormatProgressLine(figures));
        return;
    case TableStyle::Json: {
        if (percent == row.lastPercentShown) return;
        row.lastPercentShown = percent;
        JsonLine line = ProgressJson(figures);
        line.Add("port", row.jsonPort);
        std::fprintf(stream_, "%s\n", line.Text().c_str());
        std::fflush(stream_);
        return;
    }
    case TableStyle::None: return;
    }
}

void UnitTable::LineLocked(const Row& row, const std::string& text) {
    std::fprintf(stream_, "%s: %s\n", row.port.c_str(), text.c_str());
    std::fflush(stream_);
}

std::string UnitTable::RowText(const std::string& port, size_t portWidth, const std::string& unit, size_t unitWidth,
                               const ProgressFigures* figures, const std::string& state) {
    std::string text = Padded(port, portWidth) + "  " + Padded(unit, unitWidth) + "  ";
    if (figures != nullptr) {
        char percent[8];
        std::snprintf(percent, sizeof percent, "%3d%%", figures->Percent());
        const int filled = figures->Percent() * ROW_BAR_WIDTH / 100;
        // Appended piece by piece: GCC 12 misreads "literal" + std::string&& as overlapping.
        text += '[';
        text.append(static_cast<size_t>(filled), '#');
        text.append(static_cast<size_t>(ROW_BAR_WIDTH - filled), '.');
        text += "] ";
        text += percent;
        text += "  ";
        text += Padded(FormatRate(figures->BytesPerSecond()), 10);
        text += "  ";
    }
    return text + state;
}

void UnitTable::DrawLocked(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && drawn_ && now - lastDrawn_ < REDRAW_INTERVAL) return;
    lastDrawn_ = now;
    size_t portWidth = 0, unitWidth = 0;
    for (const auto& row : rows_) {
        portWidth = std::max(portWidth, row->port.size());
        unitWidth = std::max(unitWidth, row->unit.size());
    }
    // Back to the first row, then each row cleared and written again: one write, no flicker.
    std::string text;
    if (drawn_) {
        text += "\x1b[";
        text += std::to_string(rows_.size());
        text += 'A';
    }
    for (const auto& row : rows_) {
        const ProgressFigures figures = Figures(*row);
        const bool started = row->imageBytes != 0;
        std::string line = RowText(row->port, portWidth, row->unit, unitWidth, started ? &figures : nullptr, row->state);
        // A row that wrapped would take two lines and throw the redraw off by one.
        if (line.size() >= columns_) line.resize(columns_ - 1);
        text += "\r\x1b[2K";
        text += line;
        text += '\n';
    }
    drawn_ = true;
    std::fputs(text.c_str(), stream_);
    std::fflush(stream_);
}

void UnitTable::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (style_ == TableStyle::Live) DrawLocked(true);
}
