#include "progress_view.h"

#include "protocol.h"

namespace {

constexpr int BAR_WIDTH = 30;
constexpr auto BAR_REDRAW_INTERVAL = std::chrono::milliseconds(100);

}  // namespace

ProgressView::ProgressView(ProgressStyle style, uint32_t imageBytes, FILE* stream)
    : style_(style), imageBytes_(imageBytes), stream_(stream) {}

ProgressTarget ProgressView::Target() {
    ProgressTarget target;
    target.notify = &ProgressView::Notify;
    target.context = this;
    return target;
}

void ProgressView::Notify(void* context, ProgressEvent event, int32_t value) {
    static_cast<ProgressView*>(context)->OnEvent(event, value, std::chrono::steady_clock::now());
}

ProgressFigures ProgressView::Figures(std::chrono::steady_clock::time_point now) const {
    ProgressFigures figures;
    const uint64_t bytes = static_cast<uint64_t>(steps_) * UPLOAD_BLOCK_BYTES;
    figures.bytesDone = bytes > imageBytes_ ? imageBytes_ : static_cast<uint32_t>(bytes);
    figures.bytesTotal = imageBytes_;
    figures.elapsedSeconds = std::chrono::duration<double>(now - start_).count();
    return figures;
}

void ProgressView::OnEvent(ProgressEvent event, int32_t value, std::chrono::steady_clock::time_point now) {
    (void)value;
    switch (event) {
    case ProgressEvent::SetRange:
        ranged_ = true;
        positionResets_ = 0;
        steps_ = 0;
        finished_ = false;
        start_ = now;
        lastPercentShown_ = -1;
        return;
    case ProgressEvent::SetStep:
        return;
    case ProgressEvent::SetPos:
        // The first reset follows the range; the second closes the transfer. A failure
        // before the image check passed brings only a closing reset, with no range.
        if (!ranged_ || finished_) return;
        if (++positionResets_ == 1) {
            Show(Figures(now), false, now);
            return;
        }
        finished_ = true;
        Show(Figures(now), true, now);
        return;
    case ProgressEvent::StepIt:
        ++steps_;
        Show(Figures(now), false, now);
        return;
    }
}

void ProgressView::Show(const ProgressFigures& figures, bool last, std::chrono::steady_clock::time_point now) {
    const int percent = figures.Percent();
    switch (style_) {
    case ProgressStyle::None:
        return;
    case ProgressStyle::Bar: {
        if (!last && barDrawn_ && now - lastDrawn_ < BAR_REDRAW_INTERVAL && percent != 100) return;
        lastDrawn_ = now;
        barDrawn_ = true;
        std::fprintf(stream_, "\r%s   %s", FormatProgressBar(figures, BAR_WIDTH).c_str(), last ? "\n" : "");
        std::fflush(stream_);
        return;
    }
    case ProgressStyle::Lines:
        if (!last && lastPercentShown_ >= 0 && percent / 10 == lastPercentShown_ / 10) return;
        if (last && percent == lastPercentShown_) return;
        lastPercentShown_ = percent;
        std::fprintf(stream_, "%s\n", FormatProgressLine(figures).c_str());
        std::fflush(stream_);
        return;
    case ProgressStyle::Json:
        if (percent == lastPercentShown_) return;
        lastPercentShown_ = percent;
        std::fprintf(stream_, "%s\n", ProgressJson(figures).Text().c_str());
        std::fflush(stream_);
        return;
    }
}
