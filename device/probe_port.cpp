// DeviceLink::ProbePort: one run of discovery limited to one port, with the reason when
// nothing answered, so the identification is exactly discovery's and callers never read
// the link's port fields to learn why a port failed.
#include "device_link.h"

namespace {

bool AllZero(const VersionTriple& version) { return version.major == 0 && version.minor == 0 && version.letter == 0; }

ProbeState StateOfOsError(uint32_t error) {
    if (SerialErrorIsNoSuchPort(error)) return ProbeState::NoSuchPort;
    if (SerialErrorIsBusy(error)) return ProbeState::Busy;
    return ProbeState::CannotOpen;
}

}  // namespace

ProbeOutcome DeviceLink::ProbePort(const char* name) {
    ProbeOutcome outcome;
    const char* names[] = {name};
    lastOsError = 0;
    outcome.kind = DiscoverDevice(outcome.description, sizeof outcome.description, &outcome.version, PortList{names, 1});
    if (outcome.kind != 0) {
        outcome.state = ProbeState::Found;
    } else if (portOpen == 1) {
        // Discovery zeroes the version when no unit answered.
        outcome.state = AllZero(outcome.version) ? ProbeState::NoAnswer : ProbeState::UnknownUnit;
    } else if (portHandle != nullptr) {
        outcome.state = ProbeState::CannotConfigure;
    } else {
        outcome.osError = lastOsError;
        outcome.state = StateOfOsError(lastOsError);
    }
    return outcome;
}
