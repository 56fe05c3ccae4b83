// DeviceLink::DiscoverDevice: find the unit on the first port of a list that answers the
// version query, keep that port open, and identify the unit.
//
// Identification goes by the revision letter of the version reply and, for the two
// flashable models ('A', 'F'), by the model and attachment letters in the unit's memory.
// The letters '1', '2', 'A' and 'F' also set modelCode and protocolFlags, which choose
// the memory-read framing and allow the firmware upload.
#include "device_link.h"

namespace {

constexpr int32_t DISCOVERY_SPEED = 115200;

constexpr uint8_t MODEL_LETTER_KESTRALE = 'A';
constexpr uint8_t MODEL_LETTER_GRIST_PELL = 'F';
constexpr uint8_t ATTACHMENT_SERIAL = 'S';
constexpr uint8_t ATTACHMENT_USB = 'U';
constexpr int MODEL_LETTER_BYTE = 0;       // memory address 1
constexpr int ATTACHMENT_LETTER_BYTE = 3;  // memory address 4

// The protocolFlags bit that means "takes firmware, reads memory with the HR framing".
constexpr int32_t FLAGS_HR_FRAMING = 2;
constexpr int32_t FLAGS_E_FRAMING = 1;

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
    return revisionLetter == 'A' ? KIND_KESTRALE : KIND_GRIST_PELL;
}

}  // namespace

DeviceKind DeviceLink::DiscoverDevice(char* description, size_t descriptionCapacity, VersionTriple* version,
                                      PortList ports) {
    if (version == nullptr) return 0;

    bool answered = false;
    for (size_t i = 0; i < ports.count && ports.names != nullptr; ++i) {
        // OpenPort releases whatever port the link still holds from the previous try.
        if (OpenPort(ports.names[i], DISCOVERY_SPEED) < 0) continue;
        if (QueryVersion(version) < 0) continue;
        answered = true;
        break;
    }

    if (!answered) {
        if (description != nullptr && descriptionCapacity > 0) description[0] = '\0';
        *version = VersionTriple{0, 0, 0};
        return 0;
    }

    DeviceKind kind = 0;
    switch (version->letter) {
    case '1':
        modelCode = 8;
        protocolFlags |= FLAGS_E_FRAMING;
        kind = KIND_TAMBERLIN_I;
        break;
    case '2':
        modelCode = 4;
        protocolFlags |= FLAGS_E_FRAMING;
        kind = KIND_TAMBERLIN_II;
        break;
    case 'A':
    case 'F': {
        // Set first, so that the memory reads below already use the HR framing.
        modelCode = 32;
        protocolFlags = FLAGS_HR_FRAMING;
        // A byte that no reply filled reads as 0, never as leftover stack.
        HardwareInfo info{};
        bool infoRead = ReadHardwareInfo(&info) >= 0;
        kind = KindFromHardwareInfo(version->letter, infoRead, info);
        break;
    }
    default:
        // An unknown unit answered: the search still ends here, with no kind.
        kind = 0;
        break;
    }

    DescribeDevice(kind, version, description, descriptionCapacity);
    return kind;
}
