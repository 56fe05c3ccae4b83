// flash IMAGE: check the image, find the unit (the first in port order that answers),
// then the one-unit sequence of unit_flash.h with a bar or progress lines, and report.
// With --all, every unit the scan finds goes through that sequence at once
// (command_flash_all.cpp).
//
// Every way out of a run that found a unit goes through one UnitRelease (port closed)
// before the interrupt phase is freed and the final report is written.
#include "commands.h"
#include "image_report.h"
#include "interrupt_control.h"
#include "parallel_scan.h"
#include "progress_view.h"
#include "scan_verdict.h"
#include "terminal.h"
#include "unit_flash.h"

namespace {

ProgressStyle StyleFor(const Output& out) {
    if (out.Json()) return ProgressStyle::Json;
    if (out.Quiet()) return ProgressStyle::None;
    return StdoutIsTerminal() ? ProgressStyle::Bar : ProgressStyle::Lines;
}

// A single flash speaks in lines and a bar, and sets the interrupt phase directly.
class SingleUnitVoice : public FlashVoice {
public:
    SingleUnitVoice(const Output& out, InterruptControl& interrupts) : out_(out), interrupts_(interrupts) {}
    void Say(const std::string& text) override { out_.Say(text); }
    ProgressTarget StartProgress(uint32_t imageBytes) override {
        view_ = std::make_unique<ProgressView>(StyleFor(out_), imageBytes);
        return view_->Target();
    }
    uint32_t StepsTaken() const override { return view_ != nullptr ? view_->StepsTaken() : 0; }
    void SetPhase(InterruptPhase phase) override { interrupts_.SetPhase(phase); }

private:
    const Output& out_;
    InterruptControl& interrupts_;
    std::unique_ptr<ProgressView> view_;
};

// The found unit: dry run, or the one-unit sequence.
FlashEnd RunOnUnit(const RunContext& context, DeviceLink& link, UnitRelease& release, const PortReport& unit,
                   const ImageSummary& image, JsonLine& extra) {
    const Output& out = context.out;
    InterruptControl& interrupts = InterruptControl::Instance();
    extra.Add("port", unit.port.name).Add("link_name", unit.linkName).Add("old_version", VersionText(unit.version));
    extra.Add("description", unit.description);
    const std::string recovered = SpeedSearchAccount(unit);
    out.Say("Found " + unit.description + " on " + unit.ShownName() + (recovered.empty() ? "" : " (" + recovered + ")") +
            ".");
    if (!recovered.empty()) extra.Add("found_at_speed", unit.foundAtSpeed);
    out.Emit(UnitEventJson(unit));

    const int32_t speed = context.options.speed;
    if (context.options.dryRun) {
        for (const std::string& line : ImageSummaryLines(image)) out.Say(line);
        extra.Add("dry_run", true).Add("speed", speed);
        return {ExitCode::Success, "Dry run: the image is good and the unit can take it; nothing was sent.",
                "The upload would go at " + std::to_string(speed) + " bit/s."};
    }
    link.cancelRequested = interrupts.CancelFlag();
    SingleUnitVoice voice(out, interrupts);
    return FlashOneUnit({link, release, interrupts, voice, image, unit, speed, extra});
}

}  // namespace

int RunFlash(const RunContext& context) {
    const Output& out = context.out;
    const std::string& path = context.options.imagePath;
    InterruptControl& interrupts = InterruptControl::Instance();

    // The image first, read and checked once: a bad file never costs a port.
    const ImageSummary image = ReadImageSummary(path.c_str());
    JsonLine extra;
    extra.Add("image", path);
    AddImageFields(extra, image);
    if (image.verdict != ImageVerdict::Good)
        return out.Finish("flash", ExitCode::BadImage, ImageHeadline(image), ImageProblem(image, path), extra);
    if (context.options.all) return RunFlashAll(context, image);

    PortScan scan(context.ports, SearchRuleFor(!context.options.ports.empty()), context.logSink);
    const int index = scan.FirstAnswered();
    scan.ReleaseAllBut(index);
    if (index < 0) {
        const ScanVerdict verdict = NothingAnswered(scan.Reports());
        return out.Finish("flash", verdict.exit, verdict.headline, verdict.detail, extra);
    }
    ScannedPort& found = scan.Ports()[static_cast<size_t>(index)];
    FlashEnd end{};
    {
        UnitRelease release(*found.link);
        if (!CanTakeFirmware(found)) {
            const ScanVerdict verdict = CannotTakeFirmware(found.report);
            end = {verdict.exit, verdict.headline, verdict.detail};
        } else {
            end = RunOnUnit(context, *found.link, release, found.report, image, extra);
        }
    }
    interrupts.SetPhase(InterruptPhase::Free);
    interrupts.MarkPortReleased();
    const ExitCode exit = end.yieldsToStop && interrupts.StopRequested() ? ExitCode::Interrupted : end.exit;
    return out.Finish("flash", exit, end.headline, end.detail, extra);
}
