// The serial layer on the Win32 comm API: one call per driver step, no policy.
//
// The port handle is the Win32 HANDLE itself. Every failing call records the thread's
// GetLastError in a thread-local copy at once, so that logging or window work between the
// failure and the caller's SerialLastError cannot overwrite it.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "serial.h"
#include "win32_last_error.h"

static_assert(sizeof(DCB) <= sizeof(SerialLineSettings::native),
              "the driver's DCB must fit in the line settings' native record");
static_assert(alignof(DCB) <= 8, "the native record is 8-byte aligned");
// The records the comm driver reads have fixed sizes in the Windows ABI, 32- and 64-bit
// alike; a packing or header change would hand the driver a record it misreads.
static_assert(sizeof(DCB) == 28, "DCB must be the driver's 28-byte record");
static_assert(sizeof(COMMTIMEOUTS) == 20, "COMMTIMEOUTS must be five 32-bit fields");

namespace {

thread_local uint32_t lastError = 0;

HANDLE AsHandle(PortHandle port) { return static_cast<HANDLE>(port); }

// Records the failure of the call just made and passes its result through.
bool Checked(BOOL ok) {
    if (!ok) RememberLastWin32Error();
    return ok != FALSE;
}

}  // namespace

void RememberLastWin32Error() { lastError = static_cast<uint32_t>(GetLastError()); }

PortHandle SerialOpen(const char* name) {
    // Exclusive (share mode 0), synchronous (attributes 0: no overlapped I/O).
    HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        RememberLastWin32Error();
        return nullptr;
    }
    return handle;
}

bool SerialSetupQueues(PortHandle port, uint32_t inputBytes, uint32_t outputBytes) {
    return Checked(SetupComm(AsHandle(port), inputBytes, outputBytes));
}

bool SerialGetLineSettings(PortHandle port, SerialLineSettings* settings) {
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!Checked(GetCommState(AsHandle(port), &dcb))) return false;
    settings->baudRate = dcb.BaudRate;
    settings->byteSize = dcb.ByteSize;
    settings->parity = dcb.Parity;
    settings->outxCtsFlow = dcb.fOutxCtsFlow != 0;
    settings->outxDsrFlow = dcb.fOutxDsrFlow != 0;
    settings->dsrSensitivity = dcb.fDsrSensitivity != 0;
    settings->dtrControl = static_cast<uint8_t>(dcb.fDtrControl);
    settings->rtsControl = static_cast<uint8_t>(dcb.fRtsControl);
    std::memset(settings->native, 0, sizeof settings->native);
    std::memcpy(settings->native, &dcb, sizeof dcb);
    return true;
}

// Writes back the DCB the driver reported, with only the named members replaced: stop
// bits, the parity-check switch, XON/XOFF and the special characters stay as they were.
bool SerialSetLineSettings(PortHandle port, const SerialLineSettings* settings) {
    DCB dcb;
    std::memcpy(&dcb, settings->native, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = settings->baudRate;
    dcb.ByteSize = settings->byteSize;
    dcb.Parity = settings->parity;
    dcb.fOutxCtsFlow = settings->outxCtsFlow ? 1 : 0;
    dcb.fOutxDsrFlow = settings->outxDsrFlow ? 1 : 0;
    dcb.fDsrSensitivity = settings->dsrSensitivity ? 1 : 0;
    dcb.fDtrControl = settings->dtrControl & 3u;
    dcb.fRtsControl = settings->rtsControl & 3u;
    return Checked(SetCommState(AsHandle(port), &dcb));
}

bool SerialGetTimeouts(PortHandle port, SerialTimeouts* timeouts) {
    COMMTIMEOUTS native;
    if (!Checked(GetCommTimeouts(AsHandle(port), &native))) return false;
    timeouts->readIntervalTimeout = native.ReadIntervalTimeout;
    timeouts->readTotalTimeoutMultiplier = native.ReadTotalTimeoutMultiplier;
    timeouts->readTotalTimeoutConstant = native.ReadTotalTimeoutConstant;
    timeouts->writeTotalTimeoutMultiplier = native.WriteTotalTimeoutMultiplier;
    timeouts->writeTotalTimeoutConstant = native.WriteTotalTimeoutConstant;
    return true;
}

bool SerialSetTimeouts(PortHandle port, const SerialTimeouts* timeouts) {
    COMMTIMEOUTS native;
    native.ReadIntervalTimeout = timeouts->readIntervalTimeout;
    native.ReadTotalTimeoutMultiplier = timeouts->readTotalTimeoutMultiplier;
    native.ReadTotalTimeoutConstant = timeouts->readTotalTimeoutConstant;
    native.WriteTotalTimeoutMultiplier = timeouts->writeTotalTimeoutMultiplier;
    native.WriteTotalTimeoutConstant = timeouts->writeTotalTimeoutConstant;
    return Checked(SetCommTimeouts(AsHandle(port), &native));
}

bool SerialPurge(PortHandle port) {
    return Checked(PurgeComm(AsHandle(port), PURGE_TXCLEAR | PURGE_RXCLEAR));
}

bool SerialDiscardInput(PortHandle port, uint8_t* data, uint32_t capacity, uint32_t* taken) {
    if (taken != nullptr) *taken = 0;
    DWORD errors = 0;
    COMSTAT status{};
    if (!Checked(ClearCommError(AsHandle(port), &errors, &status))) return false;
    // Only what the driver already holds is asked for, so the read returns at once.
    const DWORD want = status.cbInQue < capacity ? status.cbInQue : capacity;
    if (want == 0) return true;
    DWORD got = 0;
    const bool ok = Checked(ReadFile(AsHandle(port), data, want, &got, nullptr));
    if (taken != nullptr) *taken = got;
    return ok;
}

bool SerialWrite(PortHandle port, const void* data, uint32_t count, uint32_t* written) {
    DWORD sent = 0;
    bool ok = Checked(WriteFile(AsHandle(port), data, count, &sent, nullptr));
    *written = sent;
    return ok;
}

bool SerialRead(PortHandle port, void* data, uint32_t count, uint32_t* received) {
    DWORD got = 0;
    bool ok = Checked(ReadFile(AsHandle(port), data, count, &got, nullptr));
    *received = got;
    return ok;
}

void SerialClose(PortHandle port) { CloseHandle(AsHandle(port)); }

void SerialPause(uint32_t milliseconds) { Sleep(milliseconds); }

uint32_t SerialLastError() { return lastError; }

void SerialErrorText(uint32_t error, char* text, size_t capacity) {
    if (text == nullptr || capacity == 0) return;
    char* message = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<char*>(&message), 0, nullptr);
    if (length == 0 || message == nullptr) {
        // No system text for this code: the number is better than nothing.
        std::snprintf(text, capacity, "error %lu", static_cast<unsigned long>(error));
        return;
    }
    // System texts end in CR LF; a log line carries its own line end.
    while (length > 0 && (message[length - 1] == '\r' || message[length - 1] == '\n' ||
                          message[length - 1] == ' ')) {
        --length;
    }
    size_t copied = length < capacity - 1 ? length : capacity - 1;
    std::memcpy(text, message, copied);
    text[copied] = '\0';
    LocalFree(message);
}

bool SerialErrorIsNoSuchPort(uint32_t error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool SerialErrorIsBusy(uint32_t error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}
