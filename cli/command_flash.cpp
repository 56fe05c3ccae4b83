// flash IMAGE: check the image, identify the unit at 115200, switch to the asked speed,
// upload with progress, come back to 115200 on every path, re-identify, report.
#include <chrono>
#include <cstdio>

#include "commands.h"
#include "image_report.h"
#include "interrupt_control.h"
#include "port_probe.h"
#include "progress_view.h"
#include "result_table.h"
#include "speed_return.h"
#include "terminal.h"
#include "unit_answer_text.h"

namespace {

constexpr size_t MESSAGE_CAPACITY = 128;

std::string FailureDetail(const std::string& port, ResultCode result, uint32_t osError) {
    std::string detail = port + ": " + ResultCodeName(result) + " (" + std::to_string(result) + ")";
    const std::string said = UnitAnswerText(result);
    if (!said.empty()) detail += ", " + said;
    const std::string os = OsErrorText(osError);
    if (!os.empty()) detail += ": " + os;
    return detail + ".";
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

}  // namespace

int RunFlash(const RunContext& context) {
    const Output& out = context.out;
    const std::string& path = context.options.imagePath;
    const int32_t speed = context.options.speed;
    InterruptControl& interrupts = InterruptControl::Instance();

    // The image first: a bad file never costs a port.
    const ImageSummary image = ReadImageSummary(path.c_str());
    JsonLine extra;
    extra.Add("image", path);
    AddImageFields(extra, image);
    if (image.verdict == ImageVerdict::Unreadable)
        return out.Finish("flash", ExitCode::PortFailure, LookupResultMessage(RESULT_FAILED).text,
                          ImageProblem(image, path), extra);
    if (image.verdict != ImageVerdict::Good)
        return out.Finish("flash", ExitCode::BadImage, LookupResultMessage(RESULT_BAD_IMAGE).text,
                          ImageProblem(image, path), extra);

    DeviceLink link;
    link.logSink = context.logSink;
    link.cancelRequested = interrupts.CancelFlag();
    std::vector<PortReport> reports;
    const int index = FindUnit(link, context.ports, &reports);
    if (index < 0 || !reports[static_cast<size_t>(index)].Flashable() || (link.protocolFlags & PROTOCOL_FLAG_TAKES_FIRMWARE) == 0) {
        link.ClosePort();
        const std::string detail = index < 0 ? ScanAccount(reports)
                                             : reports[static_cast<size_t>(index)].linkName + ": " +
                                                   DescribeOutcome(reports[static_cast<size_t>(index)]) +
                                                   ", which cannot take firmware.";
        return out.Finish("flash", ExitCode::NoUnit, "Device not found. Be sure it is connected and configured.",
                          detail, extra);
    }
    const PortReport unit = reports[static_cast<size_t>(index)];
    extra.Add("port", unit.linkName).Add("old_version", VersionText(unit.version)).Add("description", unit.description);
    out.Say("Found " + unit.description + " on " + unit.linkName + ".");
    out.Emit(JsonLine()
                 .Add("event", "unit")
                 .Add("port", unit.linkName)
                 .Add("kind", unit.kind)
                 .Add("description", unit.description)
                 .Add("version", VersionText(unit.version)));

    if (context.options.dryRun) {
        for (const std::string& line : ImageSummaryLines(image)) out.Say(line);
        link.ClosePort();
        extra.Add("dry_run", true).Add("speed", speed);
        return out.Finish("flash", ExitCode::Success,
                          "Dry run: the image is good and the unit can take it; nothing was sent.",
                          "The upload would go at " + std::to_string(speed) + " bit/s.", extra);
    }

    // From here on the unit may talk at a fast speed: a stop waits for the current step.
    interrupts.SetPhase(InterruptPhase::Guarded);
    if (speed != BASE_SPEED_BPS) {
        const ResultCode switched = link.ChangeSpeed(CodeOfSpeed(speed));
        if (switched != RESULT_OK || link.portOpen != 1) {
            const ResultCode failure = switched != RESULT_OK ? switched : RESULT_NOT_OPEN;
            const SpeedReturn back = ReturnTo115200(link, false);
            link.ClosePort();
            interrupts.SetPhase(InterruptPhase::Free);
            const ExitCode exit = interrupts.StopRequested() ? ExitCode::Interrupted : ExitCodeForResult(failure);
            return out.Finish("flash", exit, LookupResultMessage(failure).text,
                              Join(unit.linkName + ": the unit did not move to " + std::to_string(speed) +
                                       " bit/s (" + ResultCodeName(failure) + "); nothing of the image was sent.",
                                   back.account),
                              extra);
        }
    }
    if (interrupts.StopRequested()) {
        const SpeedReturn back = ReturnTo115200(link, false);
        link.ClosePort();
        interrupts.SetPhase(InterruptPhase::Free);
        return out.Finish("flash", ExitCode::Interrupted, "Interrupted before the upload began.",
                          Join("Nothing of the image was sent.", back.account), extra);
    }

    out.Say("Uploading " + std::to_string(image.size) + " bytes at " + std::to_string(speed) + " bit/s.");
    ProgressView view(StyleFor(out), static_cast<uint32_t>(image.size));
    const ProgressTarget target = view.Target();
    interrupts.SetPhase(InterruptPhase::Uploading);
    const auto started = std::chrono::steady_clock::now();
    const ResultCode result = link.UploadFirmware(path.c_str(), &target);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const uint32_t osError = (result == RESULT_WRITE_FAILED || result == RESULT_READ_FAILED) ? SerialLastError() : 0;
    interrupts.SetPhase(InterruptPhase::Guarded);
    const bool cancelled = interrupts.Cancelled();

    const SpeedReturn back = ReturnTo115200(link, result == RESULT_OK);
    extra.Add("speed", speed).Add("result", result).Add("seconds", seconds);
    extra.Add("blocks_taken", view.StepsTaken()).Add("blocks", image.BlockWrites());
    if (back.wasFast) extra.Add("back_at_115200", back.backAt115200).Add("speed_return", back.account);

    if (result != RESULT_OK) {
        link.ClosePort();
        interrupts.SetPhase(InterruptPhase::Free);
        if (cancelled)
            return out.Finish("flash", ExitCode::Interrupted, LookupResultMessage(result).text,
                              Join(unit.linkName + ": the upload was stopped by the user after " +
                                       std::to_string(view.StepsTaken()) + " of " +
                                       std::to_string(image.BlockWrites()) +
                                       " blocks; the unit is left without working firmware.",
                                   back.account),
                              extra);
        return out.Finish("flash", interrupts.StopRequested() ? ExitCode::Interrupted : ExitCodeForResult(result),
                          LookupResultMessage(result).text,
                          Join(FailureDetail(unit.linkName, result, osError), back.account), extra);
    }

    // Re-identify at 115200 for the new version, unless the user asked to stop.
    VersionTriple version{};
    DeviceKind kindAfter = 0;
    if (!interrupts.StopRequested()) {
        const std::string name = link.portName;
        const char* names[] = {name.c_str()};
        kindAfter = link.DiscoverDevice(nullptr, 0, &version, PortList{names, 1});
    }
    link.ClosePort();
    interrupts.SetPhase(InterruptPhase::Free);

    char message[MESSAGE_CAPACITY];
    FormatSuccessMessage(kindAfter, version, message, sizeof message);
    if (kindAfter != 0) extra.Add("new_version", VersionText(version));
    const std::string timing = "Uploaded " + std::to_string(image.size) + " bytes in " + Seconds(seconds) + ".";
    return out.Finish("flash", interrupts.StopRequested() ? ExitCode::Interrupted : ExitCode::Success, message,
                      Join(timing, back.account), extra);
}
