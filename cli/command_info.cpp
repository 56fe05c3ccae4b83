// info: the unit, and everything the link knows about it.
#include <cstdio>

#include "commands.h"
#include "image_summary.h"
#include "port_probe.h"
#include "scan_verdict.h"

namespace {

std::string HardwareInfoText(const HardwareInfo& info) {
    std::string printable;
    for (uint8_t byte : info.bytes) printable += (byte >= 0x20 && byte < 0x7F) ? static_cast<char>(byte) : '.';
    return HexBytes(info.bytes, sizeof info.bytes) + "  \"" + printable + "\"";
}

}  // namespace

int RunInfo(const RunContext& context) {
    const Output& out = context.out;
    DeviceLink link;
    link.logSink = context.logSink;
    std::vector<PortReport> reports;
    const int index = FindUnit(link, context.ports, &reports, SearchRuleFor(!context.options.ports.empty()));
    if (index < 0) {
        if (link.HoldsPort()) link.ClosePort();
        const ScanVerdict verdict = NothingAnswered(reports);
        return out.Finish("info", verdict.exit, verdict.headline, verdict.detail);
    }
    const PortReport& unit = reports[static_cast<size_t>(index)];
    HardwareInfo hardware{};
    const ResultCode hardwareResult = link.ReadHardwareInfo(&hardware);
    const int32_t modelCode = link.modelCode;
    const int32_t protocolFlags = link.protocolFlags;
    link.ClosePort();

    char flags[64];
    std::snprintf(flags, sizeof flags, "%d%s", protocolFlags,
                  (protocolFlags & PROTOCOL_FLAG_TAKES_FIRMWARE) != 0 ? " (takes firmware)" : " (cannot take firmware)");
    out.Say("Port:            " + unit.linkName);
    const std::string recovered = SpeedSearchAccount(unit);
    if (!recovered.empty()) out.Say("Speed:           " + recovered);
    out.Say("Unit:            " + (unit.description.empty() ? std::string("unknown") : unit.description));
    out.Say("Model:           " + KindText(unit.kind));
    out.Say("Version:         " + VersionText(unit.version));
    out.Say("modelCode:       " + std::to_string(modelCode));
    out.Say("protocolFlags:   " + std::string(flags));
    if (hardwareResult == RESULT_OK)
        out.Say("Hardware info:   " + HardwareInfoText(hardware));
    else
        out.Say("Hardware info:   not read (" + std::string(ResultCodeName(hardwareResult)) + ")");

    JsonLine extra;
    if (!recovered.empty()) extra.Add("found_at_speed", unit.foundAtSpeed);
    extra.Add("port", unit.linkName).Add("kind", unit.kind).Add("description", unit.description);
    extra.Add("model", KindText(unit.kind)).Add("version", VersionText(unit.version));
    extra.Add("version_major", static_cast<int64_t>(unit.version.major));
    extra.Add("version_minor", static_cast<int64_t>(unit.version.minor));
    extra.Add("version_letter", std::string(1, unit.version.letter));
    extra.Add("model_code", modelCode).Add("protocol_flags", protocolFlags);
    extra.Add("takes_firmware", (protocolFlags & PROTOCOL_FLAG_TAKES_FIRMWARE) != 0 && (unit.kind & KIND_FLASHABLE_MASK) != 0);
    extra.Add("hardware_info_result", hardwareResult);
    if (hardwareResult == RESULT_OK)
        extra.Add("hardware_info", std::vector<uint8_t>(hardware.bytes, hardware.bytes + sizeof hardware.bytes));
    if (unit.outcome == PortOutcome::UnknownUnit) {
        const ScanVerdict verdict = CannotTakeFirmware(unit);
        return out.Finish("info", verdict.exit, verdict.headline, verdict.detail, extra);
    }
    return out.Finish("info", ExitCode::Success, "", "", extra);
}
