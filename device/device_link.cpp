// DeviceLink port operations: open and configure a port, release it, set the read
// time-out. Speed changes are in speed_control.cpp.
//
// Every driver step goes through serial.h, one call per step, so that the log lines and
// the Held state (a handle that is open but not configured) fall exactly between them.
#include <cstring>

#include "checksum.h"
#include "device_link.h"

namespace {

// No per-byte multipliers: the interval, the default read time-out and the write time-out.
constexpr SerialTimeouts kPortTimeouts{READ_INTERVAL_TIMEOUT_MS, 0, DEFAULT_READ_TIMEOUT_MS, 0, WRITE_TIMEOUT_MS};

const char* const kDefaultPorts[] = {"COM1", "COM2", "COM3", "COM4", "COM5"};

}  // namespace

PortList DefaultPortList() { return PortList{kDefaultPorts, sizeof kDefaultPorts / sizeof kDefaultPorts[0]}; }

DeviceLink::~DeviceLink() { ReleaseHeldPort(); }

void DeviceLink::ReleaseHeldPort() {
    if (portHandle == nullptr) return;
    SerialClose(portHandle);
    portHandle = nullptr;
    portOpen = 0;
}

ResultCode DeviceLink::OpenPort(const char* name, int32_t speed) {
    if (portHandle != nullptr && speedCode != SPEED_115200) {
        // Put the unit back at 115200 before its port is let go.
        ChangeSpeed(SPEED_115200);
        // A reopen inside the speed change that could not open the port has already let it
        // go; the release is still reported, once, as for any port held at entry.
        if (portHandle == nullptr) WriteLog(logSink, "Quorvantis: COM Port closed.");
    }
    return OpenPortWithoutSpeedRestore(name, speed);
}

ResultCode DeviceLink::OpenPortWithoutSpeedRestore(const char* name, int32_t speed) {
    // Our own copy first: the name may be this link's portName (the speed change reopens
    // its own port), which step 10 overwrites.
    char requested[PORT_NAME_CAPACITY] = {};
    const bool nameFits = name != nullptr && std::strlen(name) < sizeof requested;
    if (nameFits) std::memcpy(requested, name, std::strlen(name) + 1);

    if (portHandle != nullptr) {
        ReleaseHeldPort();
        WriteLog(logSink, "Quorvantis: COM Port closed.");
    }

    auto fail = [this]() {
        WriteLog(logSink, "Quorvantis: Port init failed with error %i.", RESULT_NOT_OPEN);
        portOpen = 0;
        return RESULT_NOT_OPEN;
    };
    auto failHeld = [this, &fail]() {
        lastOsError = SerialLastError();
        return fail();
    };

    // A name that portName cannot hold is refused before any open is tried, so only the
    // failure line is written (there was no open to report as failed).
    if (!nameFits) {
        lastOsError = 0;
        return fail();
    }

    portHandle = SerialOpen(requested);
    if (portHandle == nullptr) {
        lastOsError = SerialLastError();
        WriteLog(logSink, "Quorvantis Port Init Failed (INVALID_HANDLE_VALUE)");
        return fail();
    }

    if (!SerialSetupQueues(portHandle, DRIVER_QUEUE_BYTES, DRIVER_QUEUE_BYTES)) return failHeld();

    SerialLineSettings settings{};
    if (!SerialGetLineSettings(portHandle, &settings)) return failHeld();
    settings.baudRate = static_cast<uint32_t>(speed);
    settings.byteSize = 8;
    settings.parity = 0;
    settings.outxCtsFlow = false;
    settings.outxDsrFlow = false;
    settings.dsrSensitivity = false;
    settings.dtrControl = 1;
    settings.rtsControl = 1;
    if (!SerialSetLineSettings(portHandle, &settings)) return failHeld();
    WriteLog(logSink, "Quorvantis: %s baud rate set to %i", requested, speed);

    if (!SerialSetTimeouts(portHandle, &kPortTimeouts)) return failHeld();

    SerialPause(PORT_SETTLE_MS);

    std::memcpy(portName, requested, sizeof portName);
    portOpen = 1;
    lastOsError = 0;
    WriteLog(logSink, "Quorvantis: Port opened and initialized successfully.");
    return RESULT_OK;
}

void DeviceLink::ClosePort() {
    if (speedCode != SPEED_115200) ChangeSpeed(SPEED_115200);
    ReleaseHeldPort();
    WriteLog(logSink, "Quorvantis: COM Port closed.");
}

void DeviceLink::AbandonPort() {
    ReleaseHeldPort();
    speedCode = SPEED_115200;
    WriteLog(logSink, "Quorvantis: COM Port closed.");
}

ResultCode DeviceLink::SetReadTimeout(uint32_t milliseconds) {
    ResultCode result = RESULT_OK;
    SerialTimeouts timeouts{};
    if (portHandle == nullptr) {
        result = RESULT_NOT_OPEN;
    } else if (!SerialGetTimeouts(portHandle, &timeouts)) {
        result = RESULT_FAILED;
    } else {
        timeouts.readTotalTimeoutConstant = milliseconds;
        if (!SerialSetTimeouts(portHandle, &timeouts)) result = RESULT_FAILED;
    }

    if (result == RESULT_OK) {
        WriteLog(logSink, "Quorvantis: Comm Read Timeout Set To %i ms", static_cast<int>(milliseconds));
    } else {
        WriteLog(logSink, "Quorvantis: Comm Read Timeout Set Failed with %i", result);
    }
    return result;
}
