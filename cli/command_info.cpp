// info: the unit, and everything the link knows about it.
#include <cstdio>

#include "commands.h"
#include "image_summary.h"
#include "parallel_scan.h"
#include "scan_verdict.h"

namespace {

// "41 -- 00 55 00 00 00  "A-..U...": a byte whose read failed shows as "--", never as data.
std::string HardwareReadingText(const HardwareReading& reading) {
    std::string hex;
    std::string printable;
    for (size_t i = 0; i < sizeof reading.bytes; ++i) {
        const uint8_t byte = reading.bytes[i];
        if (!hex.empty()) hex += ' ';
        if (!reading.Read(i)) {
            hex += "--";
            printable += '-';
            continue;
        }
        hex += HexBytes(&byte, 1);
        printable += (byte >= 0x20 && byte < 0x7F) ? static_cast<char>(byte) : '.';
    }
    return hex + "  \"" + printable + "\"";
}

// "bytes 2, 5 not read (RESULT_DEVICE_ERROR)"; empty when every byte was read.
std::string UnreadBytesText(const HardwareReading& reading) {
    std::string which;
    size_t unread = 0;
    for (size_t i = 0; i < sizeof reading.bytes; ++i) {
        if (reading.Read(i)) continue;
        // Appended piece by piece: GCC 12 misreads "literal" + std::string&& as overlapping.
        if (unread++ != 0) which += ", ";
        which += std::to_string(i + 1);
    }
    if (unread == 0) return "";
    const char* how = reading.FirstFailure() == RESULT_DEVICE_ERROR ? "the unit refused the read"
                      : reading.FirstFailure() == RESULT_EXT_CHECKSUM ? "the reply's sum was wrong"
                                                                       : "no complete reply";
    return std::string(unread == 1 ? "byte " : "bytes ") + which + " not read (" + how + ")";
}

}  // namespace

int RunInfo(const RunContext& context) {
    const Output& out = context.out;
    PortScan scan(context.ports, SearchRuleFor(!context.options.ports.empty()), context.logSink);
    const int index = scan.FirstAnswered();
    scan.ReleaseAllBut(index);
    if (index < 0) {
        const ScanVerdict verdict = NothingAnswered(scan.Reports());
        return out.Finish("info", verdict.exit, verdict.headline, verdict.detail);
    }
    DeviceLink& link = *scan.Ports()[static_cast<size_t>(index)].link;
    const PortReport unit = scan.Ports()[static_cast<size_t>(index)].report;
    // Identification of an 'A' or 'F' unit has read the memory already: shown as read then.
    HardwareReading hardware;
    if (const HardwareReading* kept = link.IdentificationReading()) hardware = *kept;
    else link.ReadHardwareReading(&hardware);
    const ResultCode hardwareResult = hardware.FirstFailure();
    const int32_t modelCode = link.modelCode;
    const int32_t protocolFlags = link.protocolFlags;
    link.ClosePort();

    char flags[64];
    std::snprintf(flags, sizeof flags, "%d%s", protocolFlags,
                  (protocolFlags & PROTOCOL_FLAG_TAKES_FIRMWARE) != 0 ? " (takes firmware)" : " (cannot take firmware)");
    out.Say("Port:            " + unit.ShownName());
    const std::string recovered = SpeedSearchAccount(unit);
    if (!recovered.empty()) out.Say("Speed:           " + recovered);
    out.Say("Unit:            " + (unit.description.empty() ? std::string("unknown") : unit.description));
    out.Say("Model:           " + KindText(unit.kind));
    out.Say("Version:         " + VersionText(unit.version));
    out.Say("modelCode:       " + std::to_string(modelCode));
    out.Say("protocolFlags:   " + std::string(flags));
    const std::string unread = UnreadBytesText(hardware);
    out.Say("Hardware info:   " + HardwareReadingText(hardware) + (unread.empty() ? "" : "; " + unread));

    JsonLine extra;
    if (!recovered.empty()) extra.Add("found_at_speed", unit.foundAtSpeed);
    extra.Add("port", unit.port.name).Add("link_name", unit.linkName).Add("kind", unit.kind).Add("description", unit.description);
    extra.Add("model", KindText(unit.kind)).Add("version", VersionText(unit.version));
    extra.Add("version_major", static_cast<int64_t>(unit.version.major));
    extra.Add("version_minor", static_cast<int64_t>(unit.version.minor));
    extra.Add("version_letter", std::string(1, unit.version.letter));
    extra.Add("model_code", modelCode).Add("protocol_flags", protocolFlags);
    extra.Add("takes_firmware", (protocolFlags & PROTOCOL_FLAG_TAKES_FIRMWARE) != 0 && (unit.kind & KIND_FLASHABLE_MASK) != 0);
    extra.Add("hardware_info_result", hardwareResult);
    std::string bytes = "[", results = "[";
    for (size_t i = 0; i < sizeof hardware.bytes; ++i) {
        if (i != 0) bytes += ',', results += ',';
        bytes += hardware.Read(i) ? std::to_string(hardware.bytes[i]) : std::string("null");
        results += std::to_string(hardware.results[i]);
    }
    extra.AddRaw("hardware_info", bytes + "]").AddRaw("hardware_info_results", results + "]");
    if (unit.outcome == PortOutcome::UnknownUnit) {
        const ScanVerdict verdict = CannotTakeFirmware(unit);
        return out.Finish("info", verdict.exit, verdict.headline, verdict.detail, extra);
    }
    return out.Finish("info", ExitCode::Success, "", "", extra);
}
