// The operating system's error behind a failed serial or image-file call, and what it means.
//
// Contract: SerialLastError() is valid only right after a serial.h or image_file.h call
// that reported failure (returned false or a null handle), on the same thread, before
// any other call of those layers. It is the errno or GetLastError of that failed step,
// captured at once, so cleanup and log lines cannot overwrite it. After a success its
// value means nothing. 0 is never an error.
//
// Implemented by the platform file linked into the program (serial_posix.cpp,
// serial_win32.cpp, or the tests' scripted fake).
#pragma once
#include <cstddef>
#include <cstdint>

uint32_t SerialLastError();
// The system's text for an error, always terminated when capacity > 0.
void SerialErrorText(uint32_t error, char* text, size_t capacity);
// True when the error means the port does not exist (as opposed to busy or refused).
bool SerialErrorIsNoSuchPort(uint32_t error);
// True when the error means the port is held by someone else.
bool SerialErrorIsBusy(uint32_t error);
