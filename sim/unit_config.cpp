// Unit presets and the one-line text form of a unit, used on the emulator's command line and
// over its control channel. The grammar:
//
//   TEXT   = BASE { " " OPTION }
//   BASE   = "kestrale[:U|:S|:X]" | "gristpell" | "tamberlin1" | "tamberlin2"
//          | "unit" (blank memory, version 1.5.A) | "silent" | "absent"
//   OPTION = "version=MAJ.MIN.L" | "after=MAJ.MIN.L" | "mem=ADDR:HEX" (bytes from ADDR on)
//          | "memsize=N" | "paced" | "stays-fast" | "mute" (no answers)
//          | "mute-after" (no answers once programmed)
//          | "speed=BPS" (talks at 230400, 460800 or 921600 from the start)
//          | "fault=STEP[:INDEX]:ACTION[:ARG]"
//   STEP   = "version" | "read" | "speed" | "header" | "block" | "final"   (INDEX for read, speed, block)
//   ACTION = "byte:B" | "silence" | "hangup" | "short:N" | "badsum"        (badsum: read only)
//   B      = decimal, 0xHEX, or one non-digit character ("byte:R", "byte:?", "byte:0x52")
//
// FormatUnitConfig writes "unit ..." (or "absent") with every field spelled out, so that
// parsing its output gives back the same configuration.
#include "unit_config.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

UnitConfig WithModelLetter(char letter, VersionTriple version) {
    UnitConfig c;
    c.version = version;
    c.versionAfterUpload = {version.major, static_cast<uint8_t>(version.minor + 1), version.letter};
    c.memory[1] = static_cast<uint8_t>(letter);
    return c;
}

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, sep)) parts.push_back(part);
    if (!text.empty() && text.back() == sep) parts.push_back("");
    return parts;
}

bool ParseNumber(const std::string& s, long min, long max, long* out) {
    if (s.empty()) return false;
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    char* end = nullptr;
    const long v = std::strtol(s.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (*end != '\0' || v < min || v > max) return false;
    *out = v;
    return true;
}

bool ParseByte(const std::string& s, uint8_t* out) {
    long v = 0;
    if (s.size() == 1 && !std::isdigit(static_cast<unsigned char>(s[0]))) {
        *out = static_cast<uint8_t>(s[0]);
        return true;
    }
    if (!ParseNumber(s, 0, 255, &v)) return false;
    *out = static_cast<uint8_t>(v);
    return true;
}

bool ParseVersion(const std::string& s, VersionTriple* out) {
    const auto parts = Split(s, '.');
    long major = 0, minor = 0;
    if (parts.size() != 3 || parts[2].size() != 1 || !ParseNumber(parts[0], 0, 255, &major) ||
        !ParseNumber(parts[1], 0, 255, &minor)) {
        return false;
    }
    *out = {static_cast<uint8_t>(major), static_cast<uint8_t>(minor), parts[2][0]};
    return true;
}

std::string FormatVersion(const VersionTriple& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::string(1, v.letter);
}

bool ParseHexBytes(const std::string& s, std::vector<uint8_t>* out) {
    if (s.empty() || s.size() % 2 != 0) return false;
    for (size_t i = 0; i < s.size(); i += 2) {
        long v = 0;
        if (!std::isxdigit(static_cast<unsigned char>(s[i])) ||
            !std::isxdigit(static_cast<unsigned char>(s[i + 1])) ||
            !ParseNumber("0x" + s.substr(i, 2), 0, 255, &v)) {
            return false;
        }
        out->push_back(static_cast<uint8_t>(v));
    }
    return true;
}

struct StepName {
    FaultStep step;
    const char* name;
    bool indexed;
};
constexpr StepName kSteps[] = {
    {FaultStep::Version, "version", false},    {FaultStep::MemoryRead, "read", true},
    {FaultStep::SpeedChange, "speed", true},  {FaultStep::UploadHeader, "header", false},
    {FaultStep::UploadBlock, "block", true},   {FaultStep::UploadFinal, "final", false},
};

bool ParseFault(const std::string& text, Fault* fault, std::string* error) {
    auto parts = Split(text, ':');
    size_t at = 0;
    const StepName* step = nullptr;
    for (const StepName& s : kSteps) {
        if (!parts.empty() && parts[0] == s.name) step = &s;
    }
    if (!step) {
        *error = "unknown fault step in '" + text + "'";
        return false;
    }
    fault->step = step->step;
    fault->index = -1;
    ++at;
    long index = 0;
    if (step->indexed && at < parts.size() && ParseNumber(parts[at], 0, 65535, &index)) {
        fault->index = static_cast<int>(index);
        ++at;
    }
    if (at >= parts.size()) {
        *error = "fault '" + text + "' names no action";
        return false;
    }
    const std::string action = parts[at++];
    const std::string arg = at < parts.size() ? parts[at++] : "";
    bool ok = at == parts.size();
    if (action == "byte" || action == "extra" || action == "early") {
        fault->action = action == "byte"    ? FaultAction::AnswerByte
                        : action == "extra" ? FaultAction::ExtraAfter
                                            : FaultAction::ExtraBefore;
        ok = ok && ParseByte(arg, &fault->byte);
    } else if (action == "short") {
        long count = 0;
        fault->action = FaultAction::ShortReply;
        ok = ok && ParseNumber(arg, 0, 65536, &count);
        fault->count = static_cast<int>(count);
    } else if (action == "silence" || action == "hangup" || action == "badsum") {
        fault->action = action == "silence"  ? FaultAction::Silence
                        : action == "hangup" ? FaultAction::HangUp
                                             : FaultAction::BadChecksum;
        ok = ok && arg.empty() && (action != "badsum" || fault->step == FaultStep::MemoryRead);
    } else {
        ok = false;
    }
    if (!ok) *error = "bad fault '" + text + "'";
    return ok;
}

std::string FormatFault(const Fault& f) {
    std::string out = "fault=";
    for (const StepName& s : kSteps) {
        if (s.step != f.step) continue;
        out += s.name;
        if (s.indexed && f.index >= 0) out.append(":").append(std::to_string(f.index));
    }
    // Appended piece by piece throughout: GCC 12 at -O2 misreads "literal" + std::string&&
    // as an overlapping copy (-Wrestrict).
    switch (f.action) {
        case FaultAction::AnswerByte:
        case FaultAction::ExtraAfter:
        case FaultAction::ExtraBefore: {
            const char* name = f.action == FaultAction::AnswerByte   ? "byte"
                               : f.action == FaultAction::ExtraAfter ? "extra"
                                                                     : "early";
            char hex[24];
            std::snprintf(hex, sizeof hex, ":%s:0x%02X", name, f.byte);
            out.append(hex);
            break;
        }
        case FaultAction::Silence: out.append(":silence"); break;
        case FaultAction::HangUp: out.append(":hangup"); break;
        case FaultAction::ShortReply: out.append(":short:").append(std::to_string(f.count)); break;
        case FaultAction::BadChecksum: out.append(":badsum"); break;
    }
    return out;
}

bool ParseBase(const std::string& word, UnitConfig* config) {
    if (word == "kestrale" || word == "kestrale:U") *config = UnitConfig::Kestrale('U');
    else if (word.rfind("kestrale:", 0) == 0 && word.size() == 10) *config = UnitConfig::Kestrale(word[9]);
    else if (word == "gristpell") *config = UnitConfig::GristPell();
    else if (word == "tamberlin1") *config = UnitConfig::TamberlinI();
    else if (word == "tamberlin2") *config = UnitConfig::TamberlinII();
    else if (word == "unit") *config = UnitConfig{};
    else if (word == "silent") *config = UnitConfig::Silent();
    else if (word == "absent") *config = UnitConfig::Absent();
    else return false;
    return true;
}

bool ParseOption(const std::string& word, UnitConfig* c, std::string* error) {
    const size_t eq = word.find('=');
    const std::string key = word.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : word.substr(eq + 1);
    bool ok = true;
    if (word == "paced") c->paced = true;
    else if (word == "stays-fast") c->staysAtFastSpeedAfterUpload = true;
    else if (word == "mute") c->answers = false;
    else if (word == "mute-after") c->muteAfterUpload = true;
    else if (key == "version") ok = ParseVersion(value, &c->version);
    else if (key == "speed") {
        long speed = 0;
        ok = ParseNumber(value, 115200, 921600, &speed) &&
             (speed == 115200 || speed == 230400 || speed == 460800 || speed == 921600);
        if (ok) c->startSpeed = static_cast<int32_t>(speed);
    }
    else if (key == "after") ok = ParseVersion(value, &c->versionAfterUpload);
    else if (key == "memsize") {
        long size = 0;
        ok = ParseNumber(value, 1, 65536, &size);
        if (ok) c->memory.resize(static_cast<size_t>(size), 0);
    } else if (key == "mem") {
        const size_t colon = value.find(':');
        long address = 0;
        std::vector<uint8_t> bytes;
        ok = colon != std::string::npos && ParseNumber(value.substr(0, colon), 0, 65535, &address) &&
             ParseHexBytes(value.substr(colon + 1), &bytes);
        if (ok && static_cast<size_t>(address) + bytes.size() > c->memory.size()) {
            c->memory.resize(static_cast<size_t>(address) + bytes.size(), 0);
        }
        for (size_t i = 0; ok && i < bytes.size(); ++i) c->memory[static_cast<size_t>(address) + i] = bytes[i];
    } else if (key == "fault") {
        Fault f;
        if (!ParseFault(value, &f, error)) return false;
        c->faults.push_back(f);
    } else {
        *error = "unknown option '" + word + "'";
        return false;
    }
    if (!ok) *error = "bad value in '" + word + "'";
    return ok;
}

}  // namespace

UnitConfig UnitConfig::Kestrale(char attachment, VersionTriple version) {
    UnitConfig c = WithModelLetter('A', version);
    c.memory[4] = static_cast<uint8_t>(attachment);
    return c;
}
UnitConfig UnitConfig::GristPell(VersionTriple version) { return WithModelLetter('F', version); }
UnitConfig UnitConfig::TamberlinI(VersionTriple version) { return WithModelLetter('1', version); }
UnitConfig UnitConfig::TamberlinII(VersionTriple version) { return WithModelLetter('2', version); }

UnitConfig UnitConfig::Absent() {
    UnitConfig c;
    c.present = false;
    c.answers = false;
    return c;
}

UnitConfig UnitConfig::Silent() {
    UnitConfig c;
    c.answers = false;
    return c;
}

std::string FormatUnitConfig(const UnitConfig& config) {
    if (!config.present) return "absent";
    std::string out = "unit version=" + FormatVersion(config.version) +
                      " after=" + FormatVersion(config.versionAfterUpload);
    if (config.memory.size() != 256) out.append(" memsize=").append(std::to_string(config.memory.size()));
    // Runs of non-zero memory, each as one mem= option.
    for (size_t i = 0; i < config.memory.size();) {
        if (config.memory[i] == 0) {
            ++i;
            continue;
        }
        out.append(" mem=").append(std::to_string(i)).append(":");
        for (; i < config.memory.size() && config.memory[i] != 0; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X", config.memory[i]);
            out += hex;
        }
    }
    if (config.paced) out += " paced";
    if (config.staysAtFastSpeedAfterUpload) out += " stays-fast";
    if (config.startSpeed != 115200) out.append(" speed=").append(std::to_string(config.startSpeed));
    if (!config.answers) out += " mute";
    if (config.muteAfterUpload) out += " mute-after";
    for (const Fault& f : config.faults) out.append(" ").append(FormatFault(f));
    return out;
}

bool ParseUnitConfig(const std::string& text, UnitConfig* config, std::string* error) {
    std::string scratch;
    if (!error) error = &scratch;
    std::istringstream in(text);
    std::string word;
    if (!(in >> word)) {
        *error = "empty unit text";
        return false;
    }
    UnitConfig c;
    if (!ParseBase(word, &c)) {
        *error = "unknown unit '" + word + "'";
        return false;
    }
    while (in >> word) {
        if (!ParseOption(word, &c, error)) return false;
    }
    *config = c;
    return true;
}
