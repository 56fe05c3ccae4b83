// DeviceLink speed operations: move unit and port together to another speed, tell how the
// unit took it, and bring both back to 115200 after work at a fast speed (after a
// successful upload: after_upload.cpp).
//
// Every speed decision is made here, so nothing outside the link writes speedCode.
#include <cstring>

#include "checksum.h"
#include "device_link.h"

SpeedSwitchOutcome DeviceLink::RequestSpeed(SpeedCode code) {
    SpeedSwitchOutcome outcome;
    const int32_t newSpeed = SpeedOfCode(code);
    if (newSpeed == 0) {
        idle = 1;
        outcome.result = RESULT_BAD_ARGUMENT;
        return outcome;
    }

    idle = 0;
    // With no handle there is nothing to purge and the write fails; the driver is not
    // asked to act on a null handle.
    if (portHandle != nullptr) SerialPurge(portHandle);

    uint8_t request[3] = {OPCODE_SPEED, static_cast<uint8_t>(code), 0};
    request[2] = AdditiveChecksum(request, 2);
    uint32_t written = 0;
    if (portHandle == nullptr || !SerialWrite(portHandle, request, sizeof request, &written)) {
        idle = 1;
        outcome.result = RESULT_WRITE_FAILED;
        return outcome;
    }

    uint8_t answer = 0;
    uint32_t received = 0;
    if (!SerialRead(portHandle, &answer, 1, &received)) {
        idle = 1;
        outcome.state = SpeedSwitchState::NoAnswer;
        outcome.result = RESULT_READ_FAILED;
        return outcome;
    }
    if (received != 1 || answer != ANSWER_ACCEPTED) {
        idle = 1;
        outcome.state = received != 1 ? SpeedSwitchState::NoAnswer : SpeedSwitchState::Refused;
        outcome.result = RESULT_FAILED;
        return outcome;
    }

    // The unit now talks at the new speed. Reopen without the speed restore of OpenPort:
    // speedCode still holds the old code here, and a restore would send a second 'S' at
    // the old speed (and nest without end against a unit that always accepts).
    OpenPortWithoutSpeedRestore(portName, newSpeed);
    speedCode = code;
    idle = 1;
    outcome.state = portOpen == 1 ? SpeedSwitchState::Accepted : SpeedSwitchState::ReopenFailed;
    return outcome;
}

ResultCode DeviceLink::ChangeSpeed(SpeedCode code) { return RequestSpeed(code).result; }

bool DeviceLink::HostPortCanRun(int32_t bitsPerSecond) {
    if (portHandle == nullptr) return false;
    SerialLineSettings before{};
    if (!SerialGetLineSettings(portHandle, &before)) return false;
    SerialLineSettings trial = before;
    trial.baudRate = static_cast<uint32_t>(bitsPerSecond);
    SerialLineSettings readBack{};
    const bool runs = SerialSetLineSettings(portHandle, &trial) && SerialGetLineSettings(portHandle, &readBack) &&
                      readBack.baudRate == trial.baudRate;
    // The unit still talks at the old speed: the port must too, whatever the trial gave.
    const bool restored = SerialSetLineSettings(portHandle, &before);
    return runs && restored;
}

SpeedSwitchOutcome DeviceLink::SwitchSpeed(SpeedCode code) {
    const int32_t bitsPerSecond = SpeedOfCode(code);
    if (bitsPerSecond != 0 && code != SPEED_115200 && !HostPortCanRun(bitsPerSecond)) {
        SpeedSwitchOutcome refused;
        refused.state = SpeedSwitchState::HostCannot;
        refused.result = RESULT_NOT_OPEN;
        return refused;
    }
    SpeedSwitchOutcome outcome = RequestSpeed(code);
    if (outcome.state == SpeedSwitchState::ReopenFailed) outcome.result = RESULT_NOT_OPEN;
    return outcome;
}

// Host side back to 115200 without a speed command (a reopen), then one version query there.
bool DeviceLink::AnswersAtBaseSpeed(VersionTriple* version) {
    char name[PORT_NAME_CAPACITY];
    std::memcpy(name, portName, sizeof name);
    speedCode = SPEED_115200;  // no 'S' at the old speed on reopening
    if (OpenPort(name, BASE_SPEED_BPS) != RESULT_OK) return false;
    return QueryVersion(version) == RESULT_OK;
}

SpeedReturn DeviceLink::ReturnToBaseSpeed(bool uploadSucceeded) {
    SpeedReturn outcome;
    if (speedCode == SPEED_115200) return outcome;
    outcome.fastSpeed = SpeedOfCode(speedCode);
    VersionTriple version{};
    if (uploadSucceeded) {
        outcome.way = FindAfterProgramming(&version);
        return outcome;
    }
    if (SwitchSpeed(SPEED_115200).Moved()) {
        outcome.way = SpeedReturnWay::AcceptedSwitchBack;
        return outcome;
    }
    outcome.way = AnswersAtBaseSpeed(&version) ? SpeedReturnWay::AnswersAtBaseDespiteSwitch
                                               : SpeedReturnWay::NoAnswerAfterSwitch;
    return outcome;
}

// The open handle's line speed alone: no reopen, nothing sent.
bool DeviceLink::SetHostSpeed(int32_t bitsPerSecond) {
    SerialLineSettings settings{};
    if (portHandle == nullptr || !SerialGetLineSettings(portHandle, &settings)) return false;
    settings.baudRate = static_cast<uint32_t>(bitsPerSecond);
    return SerialSetLineSettings(portHandle, &settings);
}

SpeedSearch DeviceLink::SearchOtherSpeeds() {
    SpeedSearch search;
    if (portHandle == nullptr || portOpen != 1) return search;
    for (SpeedCode code : {SPEED_921600, SPEED_460800, SPEED_230400}) {
        const int32_t bitsPerSecond = SpeedOfCode(code);
        if (!SetHostSpeed(bitsPerSecond)) continue;
        VersionTriple version{};
        if (QueryVersion(&version) != RESULT_OK) continue;
        search.foundAt = bitsPerSecond;
        speedCode = code;  // the unit talks there: the link must ask it back before letting go
        search.backAtBase = SwitchSpeed(SPEED_115200).Moved();
        return search;
    }
    VersionTriple version{};
    if (SetHostSpeed(BASE_SPEED_BPS) && QueryVersion(&version) == RESULT_OK) {
        search.foundAt = BASE_SPEED_BPS;
        search.backAtBase = true;
    }
    return search;
}
