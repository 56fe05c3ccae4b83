// DeviceLink::DiscoverDevice: find the unit on the first port of a list that answers the
// version query, keep that port open, and identify the unit.
//
// Identification goes by the revision letter of the version reply and, for the two
// flashable models ('A', 'F'), by the model and attachment letters in the unit's memory.
// The letters '1', '2', 'A' and 'F' also set modelCode and protocolFlags, which choose
// the memory-read framing and allow the firmware upload.
#include <cstring>

#include "device_link.h"

namespace {

// Bytes of the hardware information, which starts at its first memory address.
constexpr uint32_t MODEL_LETTER_BYTE = MODEL_LETTER_ADDRESS - HARDWARE_INFO_FIRST_ADDRESS;
constexpr uint32_t ATTACHMENT_LETTER_BYTE = ATTACHMENT_LETTER_ADDRESS - HARDWARE_INFO_FIRST_ADDRESS;

// The kind of a unit whose letter was 'A' or 'F', from its memory when that could be read.
DeviceKind KindFromHardwareInfo(char revisionLetter, bool infoRead, const HardwareInfo& info) {
    if (infoRead) {
        uint8_t model = info.bytes[MODEL_LETTER_BYTE];
        if (model == MODEL_LETTER_KESTRALE) {
            uint8_t attachment = info.bytes[ATTACHMENT_LETTER_BYTE];
            if (attachment == ATTACHMENT_SERIAL) return KIND_KESTRALE | KIND_SERIAL;
            if (attachment == ATTACHMENT_USB) return KIND_KESTRALE | KIND_USB;
            return KIND_KESTRALE;
        }
        if (model == MODEL_LETTER_GRIST_PELL) return KIND_GRIST_PELL;
    }
    // The memory did not say: go by the revision letter alone.
    return revisionLetter == REVISION_KESTRALE ? KIND_KESTRALE : KIND_GRIST_PELL;
}

}  // namespace

DeviceKind DeviceLink::DiscoverDevice(char* description, size_t descriptionCapacity, VersionTriple* version,
                                      PortList ports) {
    if (version == nullptr) return 0;

    identificationReadingKept_ = false;
    bool answered = false;
    for (size_t i = 0; i < ports.count && ports.names != nullptr; ++i) {
        // OpenPort releases whatever port the link still holds from the previous try.
        if (OpenPort(ports.names[i], BASE_SPEED_BPS) < 0) continue;
        if (QueryVersion(version) < 0) continue;
        answered = true;
        break;
    }

    if (!answered) {
        if (description != nullptr && descriptionCapacity > 0) description[0] = '\0';
        *version = VersionTriple{0, 0, 0};
        return 0;
    }

    const DeviceKind kind = IdentifyAnswered(*version);
    DescribeDevice(kind, version, description, descriptionCapacity);
    return kind;
}

// The kind of the unit whose version answered, and the framing and capability that go with
// its revision letter.
DeviceKind DeviceLink::IdentifyAnswered(const VersionTriple& version) {
    switch (version.letter) {
    case REVISION_TAMBERLIN_I:
        modelCode = MODEL_CODE_TAMBERLIN_I;
        protocolFlags |= PROTOCOL_FLAGS_E_FRAMING;
        return KIND_TAMBERLIN_I;
    case REVISION_TAMBERLIN_II:
        modelCode = MODEL_CODE_TAMBERLIN_II;
        protocolFlags |= PROTOCOL_FLAGS_E_FRAMING;
        return KIND_TAMBERLIN_II;
    case REVISION_KESTRALE:
    case REVISION_GRIST_PELL: {
        // Set first, so that the memory reads below already use the HR framing (the same
        // value carries the firmware capability).
        modelCode = MODEL_CODE_FLASHABLE;
        protocolFlags = PROTOCOL_FLAGS_HR_FRAMING;
        // A byte that no reply filled reads as 0, never as leftover stack. The reading is
        // kept, so that a caller showing it need not read the memory again.
        HardwareReading reading;
        const bool infoRead = ReadHardwareReading(&reading) >= 0;
        identificationReading_ = reading;
        identificationReadingKept_ = true;
        HardwareInfo info{};
        std::memcpy(info.bytes, reading.bytes, sizeof info.bytes);
        return KindFromHardwareInfo(version.letter, infoRead, info);
    }
    default:
        // An unknown unit answered: the search still ends here, with no kind.
        return 0;
    }
}
