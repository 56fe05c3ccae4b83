#include "unit_flash.h"

#include <chrono>
#include <cstdio>

#include "flash_failure_text.h"
#include "result_table.h"
#include "speed_return_text.h"
#include "unit_answer_text.h"

namespace {

constexpr size_t MESSAGE_CAPACITY = 128;

// The failure for people: port, what failed, at which step, the unit's state, what to do.
std::string FailureDetail(const std::string& port, const UploadAccount& account, uint32_t osError) {
    return port + ": " + FlashFailureText(account, OsErrorText(osError));
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

// Moves the unit to the asked speed; an end when it did not move or the user stopped.
bool SwitchToAskedSpeed(const UnitFlash& run, FlashEnd* end) {
    const int32_t speed = run.speed;
    if (speed != BASE_SPEED_BPS) {
        const SpeedSwitchOutcome switched = run.link.SwitchSpeed(CodeOfSpeed(speed));
        if (switched.state == SpeedSwitchState::HostCannot) {
            *end = {ExitCode::PortFailure, LookupResultMessage(switched.result).text,
                    run.unit.ShownName() + ": the port cannot run " + std::to_string(speed) +
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
                    Join(run.unit.ShownName() + ": the unit did not move to " + std::to_string(speed) + " bit/s (" +
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
FlashEnd Upload(const UnitFlash& run) {
    const int32_t speed = run.speed;
    const uint32_t size = static_cast<uint32_t>(run.image.bytes.size());

    run.voice.Say("Uploading " + std::to_string(size) + " bytes at " + std::to_string(speed) + " bit/s.");
    const ProgressTarget target = run.voice.StartProgress(size);
    run.voice.SetPhase(InterruptPhase::Uploading);
    const auto started = std::chrono::steady_clock::now();
    const ResultCode result = run.link.UploadFirmwareImage(run.image.bytes.data(), size, &target);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const uint32_t osError = (result == RESULT_WRITE_FAILED || result == RESULT_READ_FAILED) ? SerialLastError() : 0;
    run.voice.SetPhase(InterruptPhase::Guarded);
    const bool cancelled = run.interrupts.Cancelled();

    run.extra.Add("speed", speed).Add("result", result).Add("seconds", seconds);
    const UploadAccount& account = run.link.LastUpload();
    run.extra.Add("blocks_taken", run.voice.StepsTaken()).Add("blocks_total", run.image.BlockWrites());
    run.extra.Add("unlisted_block_answers", account.unlistedAnswers).Add("stray_bytes", account.strayBytesDiscarded);
    if (account.finalStatusRead) run.extra.Add("final_status", static_cast<uint32_t>(account.finalStatus));
    else run.extra.AddRaw("final_status", "null");
    if (result != RESULT_OK && cancelled) {
        // Stopped between blocks: the unit waits for the next one and would take a speed
        // change as image bytes, so nothing more is sent.
        run.release.Abandon();
        if (speed != BASE_SPEED_BPS) run.extra.Add("back_at_115200", false);
        return {ExitCode::Interrupted, LookupResultMessage(result).text,
                "Stopped after block " + std::to_string(run.voice.StepsTaken()) + " of " +
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
        WriteLog(run.link.logSink, "drusel-update: upload ended with %s (%d).", ResultCodeName(result), result);
        return {ExitCodeForResult(result), LookupResultMessage(result).text,
                Join(FailureDetail(run.unit.ShownName(), account, osError), backText), true};
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
    const std::string timing = "Uploaded " + std::to_string(size) + " bytes in " + Seconds(seconds) + ".";
    return {ExitCode::Success, headline, Join(Join(timing, said), backText), true,
            kindAfter != 0 ? VersionText(version) : std::string()};
}

}  // namespace

void UnitRelease::Now() {
    if (done_) return;
    done_ = true;
    if (abandon_) link_.AbandonPort();
    else link_.ClosePort();
}

FlashEnd FlashOneUnit(const UnitFlash& run) {
    // From here on the unit may talk at a fast speed: a stop waits for the current step.
    run.voice.SetPhase(InterruptPhase::Guarded);
    FlashEnd end{};
    if (!SwitchToAskedSpeed(run, &end)) return end;
    return Upload(run);
}
