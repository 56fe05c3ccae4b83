// flash IMAGE --all: every unit the scan finds that can take firmware, each on its own
// thread with its own link, sharing only the image bytes and the output. The units are
// listed first (and on a terminal confirmed when there are several), then shown in a live
// table, then summed up: port, unit, version before and after, result, time.
//
// Ctrl-C and the signals act on all units at once with the single flash's two steps; one
// unit's failure never stops the others. Exit 0 only when every unit succeeded,
// otherwise the code of the first failing unit in port order.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include "commands.h"
#include "flash_summary.h"
#include "image_report.h"
#include "interrupt_control.h"
#include "parallel_scan.h"
#include "scan_verdict.h"
#include "terminal.h"
#include "unit_flash.h"
#include "unit_table.h"

namespace {

// The interrupt phase of several units: uploading while any is, guarded while any is
// at work, so a press means for all of them what it means for the one most at stake.
class SharedPhase {
public:
    explicit SharedPhase(InterruptControl& interrupts) : interrupts_(interrupts) {}
    void Change(InterruptPhase from, InterruptPhase to) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (from == InterruptPhase::Guarded) --guarded_;
        if (from == InterruptPhase::Uploading) --uploading_;
        if (to == InterruptPhase::Guarded) ++guarded_;
        if (to == InterruptPhase::Uploading) ++uploading_;
        interrupts_.SetPhase(uploading_ > 0 ? InterruptPhase::Uploading
                             : guarded_ > 0 ? InterruptPhase::Guarded
                                            : InterruptPhase::Free);
    }

private:
    InterruptControl& interrupts_;
    std::mutex mutex_;
    int guarded_ = 0;
    int uploading_ = 0;
};

// One unit of several: its words become the state of its row.
class TableRowVoice : public FlashVoice {
public:
    TableRowVoice(UnitTable& table, size_t row, SharedPhase& phase) : table_(table), row_(row), phase_(phase) {}
    // The row's state: "Uploading 20001 bytes at 921600 bit/s." becomes "at 921600 bit/s".
    void Say(const std::string& text) override {
        const size_t at = text.rfind(" at ");
        table_.SetState(row_, text.rfind("Uploading ", 0) == 0 && at != std::string::npos
                                  ? "uploading" + text.substr(at, text.size() - at - 1)
                                  : text);
    }
    ProgressTarget StartProgress(uint32_t imageBytes) override { return table_.StartProgress(row_, imageBytes); }
    uint32_t StepsTaken() const override { return table_.StepsTaken(row_); }
    void SetPhase(InterruptPhase phase) override {
        phase_.Change(phase_of_, phase);
        phase_of_ = phase;
    }
    void Leave() { SetPhase(InterruptPhase::Free); }

private:
    UnitTable& table_;
    size_t row_;
    SharedPhase& phase_;
    InterruptPhase phase_of_ = InterruptPhase::Free;
};

TableStyle TableStyleFor(const Output& out) {
    if (out.Json()) return TableStyle::Json;
    if (out.Quiet()) return TableStyle::None;
    if (StdoutIsTerminal() && PrepareTerminalRedraw()) return TableStyle::Live;
    return TableStyle::Lines;
}

std::string UnitWords(const PortReport& report) { return report.description.empty() ? "unknown unit" : report.description; }

// Asked on a terminal: true when the user typed y or yes.
bool Confirmed(size_t units) {
    std::printf("Flash these %zu units? [y/N] ", units);
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES" || answer == "Yes";
}

}  // namespace

int RunFlashAll(const RunContext& context, const ImageSummary& image) {
    const Output& out = context.out;
    InterruptControl& interrupts = InterruptControl::Instance();
    JsonLine extra;
    extra.Add("image", context.options.imagePath);
    AddImageFields(extra, image);

    PortScan scan(context.ports, SearchRuleFor(!context.options.ports.empty()), context.logSink);
    std::vector<size_t> targets;
    for (size_t i = 0; i < scan.Ports().size(); ++i) {
        ScannedPort& scanned = scan.Ports()[i];
        if (CanTakeFirmware(scanned)) targets.push_back(i);
        else if (scanned.link->HoldsPort()) scanned.link->ClosePort();
    }
    if (targets.empty()) {
        const int answered = scan.FirstAnswered();
        const ScanVerdict verdict =
            answered < 0 ? NothingAnswered(scan.Reports()) : CannotTakeFirmware(scan.Ports()[static_cast<size_t>(answered)].report);
        return out.Finish("flash", verdict.exit, verdict.headline, verdict.detail, extra);
    }

    // The units, before anything is sent.
    out.Say("Units to flash:");
    for (const ScannedPort& scanned : scan.Ports()) {
        const PortReport& unit = scanned.report;
        if (!unit.Answered()) continue;
        const bool target = CanTakeFirmware(scanned);
        out.Say("  " + unit.ShownName() + "  " + UnitWords(unit) + "  " + VersionText(unit.version) +
                (target ? "" : "  (cannot take firmware; left alone)"));
        out.Emit(UnitEventJson(unit).Add("will_flash", target));
    }
    extra.Add("units", static_cast<int64_t>(targets.size()));
    if (context.options.dryRun) {
        extra.Add("dry_run", true).Add("speed", context.options.speed);
        return out.Finish("flash", ExitCode::Success,
                          "Dry run: the image is good and " + std::to_string(targets.size()) +
                              (targets.size() == 1 ? " unit can take it" : " units can take it") + "; nothing was sent.",
                          "The uploads would go at " + std::to_string(context.options.speed) + " bit/s.", extra);
    }
    if (targets.size() > 1 && !context.options.yes) {
        if (!StdinIsTerminal() || !StdoutIsTerminal() || out.Json())
            return out.Finish("flash", ExitCode::Usage,
                              std::to_string(targets.size()) + " units found; flash --all asks before flashing several, "
                              "and there is no terminal to ask on.",
                              "Give --yes to flash them all without asking; nothing was sent.", extra);
        if (!Confirmed(targets.size()))
            return out.Finish("flash", ExitCode::Interrupted, "Not confirmed; nothing was sent.", "", extra);
    }

    const TableStyle style = TableStyleFor(out);
    UnitTable table(style, stdout, style == TableStyle::Live ? TerminalColumns() : 80);
    SharedPhase phase(interrupts);
    std::vector<UnitResult> results(targets.size());
    std::vector<size_t> rows;
    for (size_t k = 0; k < targets.size(); ++k) {
        const PortReport& unit = scan.Ports()[targets[k]].report;
        rows.push_back(table.AddRow(unit.ShownName(), UnitWords(unit), unit.port.name));
        results[k].report = unit;
    }
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (size_t k = 0; k < targets.size(); ++k)
        threads.emplace_back([&, k] {
            DeviceLink& link = *scan.Ports()[targets[k]].link;
            link.cancelRequested = interrupts.CancelFlag();
            TableRowVoice voice(table, rows[k], phase);
            UnitResult& result = results[k];
            {
                UnitRelease release(link);
                result.end = FlashOneUnit({link, release, interrupts, voice, image, result.report,
                                           context.options.speed, result.extra});
            }
            voice.Leave();
            result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            table.SetState(rows[k], ResultWords(result));
        });
    for (std::thread& thread : threads) thread.join();
    table.Close();
    interrupts.SetPhase(InterruptPhase::Free);
    interrupts.MarkPortReleased();

    for (UnitResult& result : results)
        if (result.end.yieldsToStop && interrupts.StopRequested()) result.end.exit = ExitCode::Interrupted;
    for (const UnitResult& result : results) out.Emit(UnitResultJson(result));
    if (!out.Json() && !out.Quiet()) std::fputs(SummaryTable(results).c_str(), stdout);
    const FlashVerdict verdict = VerdictOf(results);
    extra.Add("units_updated", static_cast<int64_t>(verdict.updated));
    return out.Finish("flash", verdict.exit, verdict.headline, verdict.detail, extra);
}
