// The serial layer: one free function per driver step, over an opaque port handle.
//
// Exactly one implementation is linked into each program, chosen by the build:
// serial_win32.cpp (Win32 comm API), serial_posix.cpp (termios, poll, flock) or the
// scripted fake used by unit tests for driver failures a real port cannot produce.
// The steps stay separate so that the device link keeps its order, log lines and its
// Held state (a handle that is open but not configured).
#pragma once
#include <cstddef>
#include <cstdint>

#include "os_error.h"  // SerialLastError and its meanings

// Null when no port is held. On Win32 this is the HANDLE itself.
using PortHandle = void*;

// The five time-outs, in milliseconds, with the Win32 COMMTIMEOUTS meanings.
struct SerialTimeouts {
    uint32_t readIntervalTimeout;
    uint32_t readTotalTimeoutMultiplier;
    uint32_t readTotalTimeoutConstant;
    uint32_t writeTotalTimeoutMultiplier;
    uint32_t writeTotalTimeoutConstant;
};

// The line settings the link changes, plus the driver's own record as read, so that
// every member the link does not name is written back exactly as the driver had it.
struct SerialLineSettings {
    uint32_t baudRate;
    uint8_t byteSize;
    uint8_t parity;         // 0 = none
    bool outxCtsFlow;
    bool outxDsrFlow;
    bool dsrSensitivity;
    uint8_t dtrControl;     // 1 = raised while open
    uint8_t rtsControl;     // 1 = raised while open
    alignas(8) unsigned char native[128];  // the implementation's own record
};

// Opens the named port exclusively for reading and writing; null on failure.
PortHandle SerialOpen(const char* name);
bool SerialSetupQueues(PortHandle port, uint32_t inputBytes, uint32_t outputBytes);
bool SerialGetLineSettings(PortHandle port, SerialLineSettings* settings);
bool SerialSetLineSettings(PortHandle port, const SerialLineSettings* settings);
bool SerialGetTimeouts(PortHandle port, SerialTimeouts* timeouts);
bool SerialSetTimeouts(PortHandle port, const SerialTimeouts* timeouts);
// Discards what waits in both directions; aborts nothing.
bool SerialPurge(PortHandle port);
// Takes input already waiting, input only, without waiting for more: up to `capacity`
// bytes into `data`, *taken their count (0 when nothing waits). Called until it takes
// fewer than `capacity`, it empties the input while the caller still sees what came.
bool SerialDiscardInput(PortHandle port, uint8_t* data, uint32_t capacity, uint32_t* taken);
// One synchronous write bounded by the write time-out; *written gets the count sent.
bool SerialWrite(PortHandle port, const void* data, uint32_t count, uint32_t* written);
// One synchronous read of up to count bytes, bounded by the read time-outs: returns when
// count bytes arrived, when more than the interval time-out passes between two bytes, or
// when the total time-out has passed since the read began. *received may be 0. Fails
// only when the driver or handle fails (a hung-up peer is a failure on POSIX).
bool SerialRead(PortHandle port, void* data, uint32_t count, uint32_t* received);
void SerialClose(PortHandle port);
// The pause at the end of opening a port, for the driver and the unit to settle.
void SerialPause(uint32_t milliseconds);
