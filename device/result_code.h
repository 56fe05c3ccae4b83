// Result codes returned by every device-link operation: 0 is success, failures are negative.
#pragma once
#include <cstdint>

using ResultCode = int32_t;

constexpr ResultCode RESULT_OK = 0;
constexpr ResultCode RESULT_FAILED = -1;
constexpr ResultCode RESULT_NOT_OPEN = -2;
constexpr ResultCode RESULT_REFUSED = -3;
constexpr ResultCode RESULT_WRITE_FAILED = -4;
constexpr ResultCode RESULT_READ_FAILED = -5;
constexpr ResultCode RESULT_BAD_RESPONSE = -7;
constexpr ResultCode RESULT_DEVICE_ERROR = -8;
constexpr ResultCode RESULT_EXT_CHECKSUM = -11;
constexpr ResultCode RESULT_BUFFERING_FAILED = -12;
constexpr ResultCode RESULT_INT_CHECKSUM = -13;
constexpr ResultCode RESULT_BAD_IMAGE = -14;
constexpr ResultCode RESULT_FLASH_FAILED = -15;
constexpr ResultCode RESULT_SHORT_READ = -17;
constexpr ResultCode RESULT_BAD_ARGUMENT = -18;

// True for the codes above and no other value.
bool IsKnownResultCode(ResultCode code);
// The symbolic name of a code ("RESULT_BAD_RESPONSE"), or "unknown result".
const char* ResultCodeName(ResultCode code);
