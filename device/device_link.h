// DeviceLink: the one object through which a program talks to a unit on a serial port.
//
// Port operations (device_link.cpp), query commands (commands.cpp), discovery and
// identification (discovery.cpp) and the firmware upload (upload.cpp) are members of
// this plain class. Every operation returns a ResultCode (discovery a DeviceKind) and
// writes its diagnostic lines through the optional logSink. No lock: operations on one
// link must not overlap.
//
// Port states: Free (no handle, portOpen 0), Held (handle, portOpen 0: opened but not
// configured), Open (handle, portOpen 1).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "device_types.h"
#include "image_check.h"
#include "link_outcomes.h"
#include "log.h"
#include "progress.h"
#include "protocol.h"
#include "result_code.h"
#include "serial.h"
#include "upload_account.h"

constexpr int PORT_NAME_CAPACITY = 25;  // 24 characters and the terminator

// The ports discovery tries, in order.
struct PortList {
    const char* const* names;
    size_t count;
};
// COM1 to COM5, the list of the Windows dialog.
PortList DefaultPortList();

class DeviceLink {
public:
    int32_t portOpen = 0;
    PortHandle portHandle = nullptr;
    int32_t modelCode = MODEL_CODE_TAMBERLIN_I;
    int32_t protocolFlags = PROTOCOL_FLAGS_E_FRAMING;
    int32_t idle = 1;
    LogSink* logSink = nullptr;
    char portName[PORT_NAME_CAPACITY] = {};
    SpeedCode speedCode = SPEED_115200;

    // Our additions. The operating system's error of the last failed port open (0 when
    // none), so a caller can tell "no such port" from "busy"; result codes stay as they are.
    uint32_t lastOsError = 0;
    // When set and raised, the upload stops between blocks with RESULT_FAILED.
    const std::atomic<bool>* cancelRequested = nullptr;

    DeviceLink() = default;
    ~DeviceLink();  // releases a held handle: no speed command, no log line
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Port operations.
    ResultCode OpenPort(const char* name, int32_t speed);
    void ClosePort();
    ResultCode SetReadTimeout(uint32_t milliseconds);
    ResultCode ChangeSpeed(SpeedCode code);
    // ChangeSpeed with its outcome told apart: accepted, refused, no answer, not sent,
    // or accepted but the port could not follow. A fast speed is first tried on the host
    // port (HostPortCanRun); when the port cannot run it, nothing is sent.
    SpeedSwitchOutcome SwitchSpeed(SpeedCode code);
    // After work at a fast speed, bring unit and port back to 115200 and say how that went.
    // After a success the unit is asked at the fast speed first (it may restart at 115200
    // or go on fast); after a failure the switch back is asked at once. Then, if needed,
    // the host side alone goes back to 115200 and asks once more. Reported, never assumed.
    SpeedReturn ReturnToBaseSpeed(bool uploadSucceeded);
    // After a successful upload: find the unit where programming left it, bring it back to
    // 115200 and take the version it answers as the re-identification (no reopen, no second
    // discovery). With the revision letter it had before, the kind stays kindBefore: that
    // comes from the unit's memory, which an upload does not write. A new letter is
    // identified afresh.
    AfterUpload ReidentifyAfterUpload(DeviceKind kindBefore, const VersionTriple& versionBefore);
    // Sets the speed on the open port, reads it back, and puts the old settings back: as
    // far as the driver tells, whether the port can run it. Sends nothing.
    bool HostPortCanRun(int32_t bitsPerSecond);
    // On an open port where the version query got no answer at 115200: asks it at
    // 921600, 460800 and 230400 on the same handle (a reopen would drop DTR), then at 115200
    // once more. A unit found at a fast speed is switched back to 115200. Only for a port the
    // user named: other devices may sit on scanned ports.
    SpeedSearch SearchOtherSpeeds();
    bool HoldsPort() const { return portHandle != nullptr; }
    // Lets the port go without a word to the unit, whatever its speed: after an upload
    // stopped between blocks the unit takes every byte as image data, so not even the
    // speed change back may be sent. The link forgets the fast speed.
    void AbandonPort();

    // Query commands.
    ResultCode QueryVersion(VersionTriple* out);
    // The same with another wait for the reply than the unit's 110 ms.
    ResultCode QueryVersionWithin(VersionTriple* out, uint32_t readTimeoutMs);
    ResultCode ReadEEPROM(uint8_t* buffer, uint32_t address, int32_t count);
    ResultCode ReadHardwareInfo(HardwareInfo* out);
    // The same seven reads, keeping each one's result beside its byte. Returns 0 like
    // ReadHardwareInfo; the per-byte results say what was read.
    ResultCode ReadHardwareReading(HardwareReading* out);
    // The reading identification made of an 'A' or 'F' unit on this link, or null when the
    // last discovery made none (so a caller need not read the memory a second time).
    const HardwareReading* IdentificationReading() const {
        return identificationReadingKept_ ? &identificationReading_ : nullptr;
    }

    // One port, the way discovery tries it: found, no answer, busy, no such port, cannot
    // be opened (with the system's error) or configured. On an answer the port stays open.
    ProbeOutcome ProbePort(const char* name);

    // Discovery: tries the ports in order, keeps the first that answers open, identifies
    // the unit. The description (when given) never exceeds descriptionCapacity, terminator
    // included.
    DeviceKind DiscoverDevice(char* description, size_t descriptionCapacity, VersionTriple* version,
                              PortList ports = DefaultPortList());

    // Writes the unit's description into text (at most capacity bytes, always terminated
    // when capacity > 0). Reads no link state and sends nothing.
    static void DescribeDevice(DeviceKind kind, const VersionTriple* version, char* text, size_t capacity);

    // Checks the image file and uploads it on the open port; progress may be null.
    ResultCode UploadFirmware(const char* imagePath, const ProgressTarget* progress);
    // The same from image bytes already read (the bytes are checked again here): several
    // links can upload one image at once, where the file form's exclusive open allows one.
    ResultCode UploadFirmwareImage(const uint8_t* image, uint32_t size, const ProgressTarget* progress);
    // Where the last upload ended and what the unit said on the way.
    const UploadAccount& LastUpload() const { return lastUpload; }

private:
    UploadAccount lastUpload;
    HardwareReading identificationReading_{};
    bool identificationReadingKept_ = false;

    ResultCode SendImage(ResultCode checked, const uint8_t* image, const ImageCheck& check,
                         const ProgressTarget* progress);
    ResultCode OpenPortWithoutSpeedRestore(const char* name, int32_t speed);
    void ReleaseHeldPort();
    SpeedSwitchOutcome RequestSpeed(SpeedCode code);
    bool AnswersAtBaseSpeed(VersionTriple* version);
    bool SetHostSpeed(int32_t bitsPerSecond);
    bool AnswersAtHostSpeed(int32_t bitsPerSecond, uint32_t readTimeoutMs, VersionTriple* version);
    SpeedReturnWay FindAfterProgramming(VersionTriple* version);
    SpeedReturnWay SwitchBackAfterProgramming(SpeedCode fast, VersionTriple* version);
    DeviceKind IdentifyAnswered(const VersionTriple& version);
};
