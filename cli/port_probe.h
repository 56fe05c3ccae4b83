// What is on a port: nothing, something busy, a silent line, or a unit and what it is.
//
// Probing a port is the link's ProbePort, so the identification and the reason a port
// failed are exactly the link's; this file adds the port's name as the user gave it and
// the words.
#pragma once
#include <string>
#include <vector>

#include "device_link.h"
#include "device_text.h"
#include "json_line.h"
#include "port_names.h"

enum class PortOutcome {
    BadName,          // the name cannot be handed to the link (too long)
    NoSuchPort,
    Busy,             // held by another program
    CannotOpen,       // any other refusal of the system (permissions, ...)
    CannotConfigure,  // opened, but the line settings or time-outs were refused
    NoAnswer,         // open, but no unit answered the version query
    UnknownUnit,      // a unit answered with a revision letter the link does not know
    Found,            // a unit answered and was identified
};

struct PortReport {
    PortCandidate port;        // as given or found
    std::string linkName;      // what the link opened
    PortOutcome outcome = PortOutcome::NoAnswer;
    uint32_t osError = 0;      // the system's error of a failed open, 0 when none
    DeviceKind kind = 0;
    VersionTriple version{};
    std::string description;   // "Kestrale USB v1.5.A"
    std::string problem;       // for BadName
    bool searchedSpeeds = false;  // the fast speeds were tried after silence at 115200
    int32_t foundAtSpeed = 0;     // where the search found the unit (bit/s), 0 when it did not
    bool backAtBase = false;      // that unit was switched back to 115200

    bool Answered() const { return outcome == PortOutcome::Found || outcome == PortOutcome::UnknownUnit; }
    bool Flashable() const { return outcome == PortOutcome::Found && (kind & KIND_FLASHABLE_MASK) != 0; }
    // The port as given or found, with the device it resolved to where that differs:
    // "/dev/serial/by-id/usb-... (/dev/ttyUSB0)".
    std::string ShownName() const { return ShownPortName(port.name, linkName); }
};

// Whether a silent port is also asked at the fast speeds: only ports the user named.
enum class SpeedSearchRule { BaseSpeedOnly, AlsoFastSpeeds };

// Probes one port; on an answer the port stays open on the link. With AlsoFastSpeeds, a
// port silent at 115200 is asked at the fast speeds, and a unit found there is brought
// back to 115200 and identified.
PortReport ProbePort(DeviceLink& link, const PortCandidate& port,
                     SpeedSearchRule rule = SpeedSearchRule::BaseSpeedOnly);

// The rule for a command: fast speeds only when the user named the ports with --port.
SpeedSearchRule SearchRuleFor(bool portsNamed);
// "found at 921600 bit/s, where an earlier run left it; back at 115200"; empty when the
// unit was where it should be.
std::string SpeedSearchAccount(const PortReport& report);

// "no such port (No such file or directory)", "found: Kestrale USB v1.5.A", ...
std::string DescribeOutcome(const PortReport& report);
// The system's text for an error code; empty for 0.
std::string OsErrorText(uint32_t error);
// {"port":...,"link_name":...,"label":...,"state":"found",...}
JsonLine PortReportJson(const PortReport& report);
// {"event":"unit","port":...,"link_name":...,"kind":...,"description":...,"version":...}:
// the unit a flash found, before anything is sent.
JsonLine UnitEventJson(const PortReport& unit);
