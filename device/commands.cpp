// The unit's query commands: the version query, memory reads in both framings, and the
// hardware information made of seven one-byte reads.
//
// Each exchange: refuse unless the port is open; log; idle 0; purge both directions; one
// write of the whole request; one read of the fixed reply length; checks; idle 1 on every
// way out. Nothing is retried.
#include <cstring>

#include "checksum.h"
#include "device_link.h"

namespace {

constexpr uint8_t kVersionRequest[2] = {OPCODE_VERSION, OPCODE_VERSION};
// 'E', L, address high, address low, n zero bytes, checksum.
constexpr size_t kMaxRequestBytes = MAX_READ_COUNT + 5;

}  // namespace

ResultCode DeviceLink::QueryVersion(VersionTriple* out) { return QueryVersionWithin(out, VERSION_READ_TIMEOUT_MS); }

ResultCode DeviceLink::QueryVersionWithin(VersionTriple* out, uint32_t readTimeoutMs) {
    ResultCode result = RESULT_OK;
    if (portOpen == 0) {
        result = RESULT_NOT_OPEN;
    } else {
        WriteLog(logSink, "Quorvantis: Firmware Version string requested");
        idle = 0;
        SetReadTimeout(readTimeoutMs);
        SerialPurge(portHandle);

        uint32_t written = 0;
        uint8_t reply[3] = {};
        uint32_t received = 0;
        if (!SerialWrite(portHandle, kVersionRequest, sizeof kVersionRequest, &written)) {
            result = RESULT_WRITE_FAILED;
        } else if (!SerialRead(portHandle, reply, sizeof reply, &received)) {
            result = RESULT_READ_FAILED;
        } else if (received < sizeof reply) {
            result = RESULT_BAD_RESPONSE;
        } else if (out != nullptr) {
            out->major = reply[0];
            out->minor = reply[1];
            out->letter = static_cast<char>(reply[2]);
        }
    }
    // Every query, refused or not, leaves the default read time-out in force.
    SetReadTimeout(DEFAULT_READ_TIMEOUT_MS);
    idle = 1;
    return result;
}

ResultCode DeviceLink::ReadEEPROM(uint8_t* buffer, uint32_t address, int32_t count) {
    if (portOpen == 0) {
        idle = 1;
        return RESULT_NOT_OPEN;
    }
    // The reply is read straight into the caller's buffer: a count outside the reply's
    // range (or no buffer) is refused before anything is sent.
    if (buffer == nullptr || count < 1 || count > MAX_READ_COUNT) {
        idle = 1;
        return RESULT_BAD_ARGUMENT;
    }

    const bool hrFraming = protocolFlags == PROTOCOL_FLAGS_HR_FRAMING;
    const auto n = static_cast<uint32_t>(count);
    const auto at = static_cast<uint16_t>(address);
    WriteLog(logSink, "Quorvantis: ReadEEPROM requested, %i bytes to address %X", count, static_cast<unsigned>(at));

    const auto lengthByte = static_cast<uint8_t>(n & 0xFF);  // 256 travels as 0
    const auto high = static_cast<uint8_t>(at >> 8);
    const auto low = static_cast<uint8_t>(at & 0xFF);
    idle = 0;

    uint8_t request[kMaxRequestBytes] = {};
    uint32_t requestBytes = 0;
    SerialPurge(portHandle);
    if (hrFraming) {
        const uint8_t head[5] = {OPCODE_READ_HR_1, OPCODE_READ_HR_2, lengthByte, high, low};
        std::memcpy(request, head, sizeof head);
        request[5] = AdditiveChecksum(request, 5);
        requestBytes = 6;
    } else {
        const uint8_t head[4] = {OPCODE_READ_E, lengthByte, high, low};  // then n zero bytes
        std::memcpy(request, head, sizeof head);
        request[4 + n] = AdditiveChecksum(request, static_cast<int32_t>(4 + n));
        requestBytes = n + 5;
    }

    ResultCode result = RESULT_OK;
    uint32_t written = 0;
    uint32_t received = 0;
    // "CS from device" when no checksum byte arrives: shown as 00, the value this byte
    // starts with, since there is no received byte to show.
    uint8_t deviceChecksum = 0;
    if (!SerialWrite(portHandle, request, requestBytes, &written)) {
        result = RESULT_WRITE_FAILED;
    } else if (!SerialRead(portHandle, buffer, n, &received)) {
        result = RESULT_READ_FAILED;
    } else if (received != n) {
        result = RESULT_SHORT_READ;
    } else if (buffer[0] == ANSWER_REFUSED) {
        result = RESULT_DEVICE_ERROR;
    } else if (!SerialRead(portHandle, &deviceChecksum, 1, &received)) {
        result = RESULT_READ_FAILED;
    } else {
        const uint8_t sum = AdditiveChecksum(buffer, count);
        if (received != 1 || deviceChecksum != sum) {
            WriteLog(logSink,
                     "Quorvantis: ReadEEPROM: Invalid external data checksum\r\n\tCS of recvd data: %.2X\r\n\tCS "
                     "from device: %.2x",
                     static_cast<unsigned>(sum), static_cast<unsigned>(deviceChecksum));
            result = RESULT_EXT_CHECKSUM;
        }
    }
    idle = 1;
    return result;
}

ResultCode DeviceLink::ReadHardwareInfo(HardwareInfo* out) {
    if (out == nullptr) return RESULT_BAD_ARGUMENT;
    HardwareReading reading;
    std::memcpy(reading.bytes, out->bytes, sizeof reading.bytes);  // a byte no reply fills stays as it was
    ReadHardwareReading(&reading);
    std::memcpy(out->bytes, reading.bytes, sizeof out->bytes);
    return RESULT_OK;
}

ResultCode DeviceLink::ReadHardwareReading(HardwareReading* out) {
    if (out == nullptr) return RESULT_BAD_ARGUMENT;
    WriteLog(logSink, "Quorvantis: Hardware Version Information requested");
    // Each byte is stored as it came, whatever its read returned; one read's failure
    // does not stop the next.
    for (uint32_t i = 0; i < sizeof out->bytes; ++i) {
        out->results[i] = ReadEEPROM(&out->bytes[i], HARDWARE_INFO_FIRST_ADDRESS + i, 1);
    }
    return RESULT_OK;
}
