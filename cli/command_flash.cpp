// flash IMAGE: check the image, identify the unit at 115200, switch to the asked speed,
// upload with progress, come back to 115200 on every path (re-identifying it on the way
// after a success), report.
//
// Every way out of a run that found a unit goes through one UnitRelease (port closed,
// interrupt phase freed) and one final report.
#include <chrono>
#include <cstdio>

#include "commands.h"
#include "image_report.h"
#include "interrupt_control.h"
#include "port_probe.h"
#include "progress_view.h"
#include "result_table.h"
#include "scan_verdict.h"
#include "speed_return_text.h"
#include "terminal.h"
#include "flash_failure_text.h"
#include "unit_answer_text.h"

namespace {

constexpr size_t MESSAGE_CAPACITY = 128;

// The failure for people: port, what failed, at which step, the unit's state, what to do.
std::string FailureDetail(const std::string& port, const UploadAccount& account, uint32_t osError) {
    return port + ": " + FlashFailureText(account, OsErrorText(osError));
}

ProgressStyle StyleFor(const Output& out) {
    if (out.Json()) return ProgressStyle::Json;
    if (out.Quiet()) return ProgressStyle::None;
    return StdoutIsTerminal() ? ProgressStyle::Bar : ProgressStyle::Lines;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

std::string Join(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + " " + b;
}

const char* SwitchFailureText(SpeedSwitchState state) {
    switch (state) {
    case SpeedSwitchState::Refused: return "it refused";
    case SpeedSwitchState::NoAnswer: return "it did not answer";
    case SpeedSwitchState::NotSent: return "the request could not be written";
    case SpeedSwitchState::ReopenFailed: return "it accepted, but the port could not be reopened at that speed";
    case SpeedSwitchState::Accepted:
    case SpeedSwitchState::HostCannot: break;
    }
    return "the port cannot run it";
}

// How a run on a unit ends: the exit code and the two lines of the final report.
struct FlashEnd {
    ExitCode exit;
    std::string headline;
    std::string detail;
    bool yieldsToStop = false;  // a stop asked for until the very end makes it exit 7
};

// Lets the port go and ends the guarded phase, once, on every way out of a run that
// found a unit; the final report is written after it, as the port's log line comes first.
class UnitRelease {
public:
    UnitRelease(DeviceLink& link, InterruptControl& interrupts) : link_(link), interrupts_(interrupts) {}
    ~UnitRelease() { Now(); }
    UnitRelease(const UnitRelease&) = delete;
    UnitRelease& operator=(const UnitRelease&) = delete;

    // The unit is mid-upload: let the port go without sending anything.
    void Abandon() { abandon_ = true; }

    void Now() {
        if (done_) return;
        done_ = true;
        if (abandon_) link_.AbandonPort();
        else link_.ClosePort();
        interrupts_.SetPhase(InterruptPhase::Free);
        interrupts_.MarkPortReleased();
    }

private:
    DeviceLink& link_;
    InterruptControl& interrupts_;
    bool done_ = false;
    bool abandon_ = false;
};

struct FlashRun {
    const RunContext& context;
    UnitRelease& release;
    DeviceLink& link;
    InterruptControl& interrupts;
    const ImageSummary& image;
    const PortReport& unit;
    JsonLine& extra;
};

// Moves the unit to the asked speed; an end when it did not move or the user stopped.
bool SwitchToAskedSpeed(const FlashRun& run, FlashEnd* end) {
    const int32_t speed = run.context.options.speed;
    if (speed != BASE_SPEED_BPS) {
        const SpeedSwitchOutcome switched = run.link.SwitchSpeed(CodeOfSpeed(speed));
        if (switched.state == SpeedSwitchState::HostCannot) {
            *end = {ExitCode::PortFailure, LookupResultMessage(switched.result).text,
                    run.unit.linkName + ": the port cannot run " + std::to_string(speed) +
                        " bit/s, so the unit was not asked to switch; nothing of the image was sent. Try a slower "
                        "--speed.",
                    true};
            return false;
        }
        if (!switched.Moved()) {
            const std::string back = SpeedReturnText(run.link.ReturnToBaseSpeed(false));
            // A refusal is the unit's answer; silence or a failed write is the line's.
            const ExitCode exit = switched.state == SpeedSwitchState::Refused ? ExitCode::UnitFailure
                                                                               : ExitCodeForResult(switched.result);
            *end = {exit, LookupResultMessage(switched.result).text,
                    Join(run.unit.linkName + ": the unit did not move to " + std::to_string(speed) + " bit/s (" +
                             SwitchFailureText(switched.state) + "); nothing of the image was sent.",
                         back),
                    true};
            return false;
        }
    }
    if (run.interrupts.StopRequested()) {
        const std::string back = SpeedReturnText(run.link.ReturnToBaseSpeed(false));
        *end = {ExitCode::Interrupted, "Interrupted before the upload began.",
                Join("Nothing of the image was sent.", back)};
        return false;
    }
    return true;
}

// The upload, the way back to 115200 and the re-identification, in words.
FlashEnd Upload(const FlashRun& run) {
    const Output& out = run.context.out;
    const std::string& path = run.context.options.imagePath;
    const int32_t speed = run.context.options.speed;

    out.Say("Uploading " + std::to_string(run.image.size) + " bytes at " + std::to_string(speed) + " bit/s.");
    ProgressView view(StyleFor(out), static_cast<uint32_t>(run.image.size));
    const ProgressTarget target = view.Target();
    run.interrupts.SetPhase(InterruptPhase::Uploading);
    const auto started = std::chrono::steady_clock::now();
    const ResultCode result = run.link.UploadFirmware(path.c_str(), &target);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const uint32_t osError = (result == RESULT_WRITE_FAILED || result == RESULT_READ_FAILED) ? SerialLastError() : 0;
    run.interrupts.SetPhase(InterruptPhase::Guarded);
    const bool cancelled = run.interrupts.Cancelled();

    run.extra.Add("speed", speed).Add("result", result).Add("seconds", seconds);
    const UploadAccount& account = run.link.LastUpload();
    run.extra.Add("blocks_taken", view.StepsTaken()).Add("blocks_total", run.image.BlockWrites());
    run.extra.Add("unlisted_block_answers", account.unlistedAnswers).Add("stray_bytes", account.strayBytesDiscarded);
    if (account.finalStatusRead) run.extra.Add("final_status", static_cast<uint32_t>(account.finalStatus));
    else run.extra.AddRaw("final_status", "null");
    if (result != RESULT_OK && cancelled) {
        // Stopped between blocks: the unit waits for the next one and would take a speed
        // change as image bytes, so nothing more is sent.
        run.release.Abandon();
        if (speed != BASE_SPEED_BPS) run.extra.Add("back_at_115200", false);
        return {ExitCode::Interrupted, LookupResultMessage(result).text,
                "Stopped after block " + std::to_string(view.StepsTaken()) + " of " +
                    std::to_string(run.image.BlockWrites()) + " at " + std::to_string(speed) +
                    " bit/s; the unit may hold its old firmware or none. Power-cycle it, then run drusel-update "
                    "again."};
    }

    // After a success the unit is found where programming left it and re-identified there,
    // once; a stop asked for meanwhile still brings it back, but skips the new version.
    AfterUpload found;
    if (result == RESULT_OK && !run.interrupts.StopRequested())
        found = run.link.ReidentifyAfterUpload(run.unit.kind, run.unit.version);
    else
        found.back = run.link.ReturnToBaseSpeed(result == RESULT_OK);
    const SpeedReturn& back = found.back;
    const std::string backText = SpeedReturnText(back);
    if (back.WasFast()) run.extra.Add("back_at_115200", back.BackAtBase()).Add("speed_return", backText);

    if (result != RESULT_OK) {
        // The code's name for scripts and the log; the words for people.
        run.extra.Add("result_name", ResultCodeName(result));
        WriteLog(run.context.logSink, "drusel-update: upload ended with %s (%d).", ResultCodeName(result), result);
        return {ExitCodeForResult(result), LookupResultMessage(result).text,
                Join(FailureDetail(run.unit.linkName, account, osError), backText), true};
    }

    const VersionTriple& version = found.version;
    const DeviceKind kindAfter = found.kind;
    char message[MESSAGE_CAPACITY];
    FormatSuccessMessage(kindAfter, version, message, sizeof message);
    std::string headline = message;
    if (kindAfter != 0) {
        const std::string before = VersionText(run.unit.version);
        const std::string after = VersionText(version);
        run.extra.Add("new_version", after).Add("version_changed", after != before);
        if (after == before) headline = VersionUnchangedText(after);
    }
    // What the unit said that its documented answers do not cover.
    std::string said = UnlistedBlockAnswersText(account.unlistedAnswers, run.image.BlockWrites(),
                                                account.firstUnlistedAnswer);
    if (account.finalStatusRead && !account.finalStatusListed)
        said = Join(said, UnlistedFinalStatusText(account.finalStatus));
    const std::string timing = "Uploaded " + std::to_string(run.image.size) + " bytes in " + Seconds(seconds) + ".";
    return {ExitCode::Success, headline, Join(Join(timing, said), backText), true};
}

// Finds the unit, then dry run or switch, upload and report.
FlashEnd RunOnUnit(const RunContext& context, UnitRelease& release, DeviceLink& link, InterruptControl& interrupts,
                   const ImageSummary& image, JsonLine& extra) {
    const Output& out = context.out;
    std::vector<PortReport> reports;
    const int index = FindUnit(link, context.ports, &reports, SearchRuleFor(!context.options.ports.empty()));
    if (index < 0) {
        const ScanVerdict verdict = NothingAnswered(reports);
        return {verdict.exit, verdict.headline, verdict.detail};
    }
    if (!reports[static_cast<size_t>(index)].Flashable() || (link.protocolFlags & PROTOCOL_FLAG_TAKES_FIRMWARE) == 0) {
        const ScanVerdict verdict = CannotTakeFirmware(reports[static_cast<size_t>(index)]);
        return {verdict.exit, verdict.headline, verdict.detail};
    }
    const PortReport unit = reports[static_cast<size_t>(index)];
    extra.Add("port", unit.linkName).Add("old_version", VersionText(unit.version)).Add("description", unit.description);
    const std::string recovered = SpeedSearchAccount(unit);
    out.Say("Found " + unit.description + " on " + unit.linkName + (recovered.empty() ? "" : " (" + recovered + ")") +
            ".");
    if (!recovered.empty()) extra.Add("found_at_speed", unit.foundAtSpeed);
    out.Emit(JsonLine()
                 .Add("event", "unit")
                 .Add("port", unit.linkName)
                 .Add("kind", unit.kind)
                 .Add("description", unit.description)
                 .Add("version", VersionText(unit.version)));

    const int32_t speed = context.options.speed;
    if (context.options.dryRun) {
        for (const std::string& line : ImageSummaryLines(image)) out.Say(line);
        extra.Add("dry_run", true).Add("speed", speed);
        return {ExitCode::Success, "Dry run: the image is good and the unit can take it; nothing was sent.",
                "The upload would go at " + std::to_string(speed) + " bit/s."};
    }

    // From here on the unit may talk at a fast speed: a stop waits for the current step.
    interrupts.SetPhase(InterruptPhase::Guarded);
    const FlashRun run{context, release, link, interrupts, image, unit, extra};
    FlashEnd end{};
    if (!SwitchToAskedSpeed(run, &end)) return end;
    return Upload(run);
}

}  // namespace

int RunFlash(const RunContext& context) {
    const Output& out = context.out;
    const std::string& path = context.options.imagePath;
    InterruptControl& interrupts = InterruptControl::Instance();

    // The image first: a bad file never costs a port.
    const ImageSummary image = ReadImageSummary(path.c_str());
    JsonLine extra;
    extra.Add("image", path);
    AddImageFields(extra, image);
    if (image.verdict != ImageVerdict::Good)
        return out.Finish("flash", ExitCode::BadImage, ImageHeadline(image), ImageProblem(image, path), extra);

    DeviceLink link;
    link.logSink = context.logSink;
    link.cancelRequested = interrupts.CancelFlag();
    UnitRelease release(link, interrupts);
    const FlashEnd end = RunOnUnit(context, release, link, interrupts, image, extra);
    release.Now();
    const ExitCode exit = end.yieldsToStop && interrupts.StopRequested() ? ExitCode::Interrupted : end.exit;
    return out.Finish("flash", exit, end.headline, end.detail, extra);
}
