// Small value types shared by the device link, the programs above it and the emulator.
#pragma once
#include <cstddef>
#include <cstdint>

#include "result_code.h"

#include "protocol.h"

// The line speed in bit/s for a valid code, 0 for any other value.
int32_t SpeedOfCode(SpeedCode code);
// The code for a speed in bit/s, -1 when the speed is not in the table.
SpeedCode CodeOfSpeed(int32_t bitsPerSecond);

// The version reply, in wire order.
struct VersionTriple {
    uint8_t major;
    uint8_t minor;
    char letter;
};

// Byte i is the unit's memory byte at address i + 1.
struct HardwareInfo {
    uint8_t bytes[7];
};

// The hardware information with each byte's own memory-read result: a byte whose result is
// not RESULT_OK was not read (refused, wrong sum, no answer) and holds no data.
struct HardwareReading {
    uint8_t bytes[7] = {};
    ResultCode results[7] = {RESULT_FAILED, RESULT_FAILED, RESULT_FAILED, RESULT_FAILED,
                             RESULT_FAILED, RESULT_FAILED, RESULT_FAILED};

    bool Read(size_t i) const { return results[i] == RESULT_OK; }
    // The first failure, RESULT_OK when every byte was read.
    ResultCode FirstFailure() const {
        for (ResultCode result : results)
            if (result != RESULT_OK) return result;
        return RESULT_OK;
    }
};

// Bit mask naming the unit's model and variant; 0 means no usable unit.
using DeviceKind = int32_t;
constexpr DeviceKind KIND_KESTRALE = 0x01;
constexpr DeviceKind KIND_GRIST_PELL = 0x02;
constexpr DeviceKind KIND_TAMBERLIN_II = 0x04;
constexpr DeviceKind KIND_TAMBERLIN_I = 0x08;
constexpr DeviceKind KIND_4MBIT = 0x10;
constexpr DeviceKind KIND_1MBIT = 0x20;
constexpr DeviceKind KIND_USB = 0x40;
constexpr DeviceKind KIND_SERIAL = 0x80;
// The two models that take new firmware.
constexpr DeviceKind KIND_FLASHABLE_MASK = KIND_KESTRALE | KIND_GRIST_PELL;
