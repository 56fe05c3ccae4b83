// The result codes' names, and which values are result codes at all: the table's and no other.
#include "result_code.h"

namespace {

struct NamedCode {
    ResultCode code;
    const char* name;
};

constexpr NamedCode kCodes[] = {
    {RESULT_OK, "RESULT_OK"},
    {RESULT_FAILED, "RESULT_FAILED"},
    {RESULT_NOT_OPEN, "RESULT_NOT_OPEN"},
    {RESULT_REFUSED, "RESULT_REFUSED"},
    {RESULT_WRITE_FAILED, "RESULT_WRITE_FAILED"},
    {RESULT_READ_FAILED, "RESULT_READ_FAILED"},
    {RESULT_BAD_RESPONSE, "RESULT_BAD_RESPONSE"},
    {RESULT_DEVICE_ERROR, "RESULT_DEVICE_ERROR"},
    {RESULT_EXT_CHECKSUM, "RESULT_EXT_CHECKSUM"},
    {RESULT_BUFFERING_FAILED, "RESULT_BUFFERING_FAILED"},
    {RESULT_INT_CHECKSUM, "RESULT_INT_CHECKSUM"},
    {RESULT_BAD_IMAGE, "RESULT_BAD_IMAGE"},
    {RESULT_FLASH_FAILED, "RESULT_FLASH_FAILED"},
    {RESULT_SHORT_READ, "RESULT_SHORT_READ"},
    {RESULT_BAD_ARGUMENT, "RESULT_BAD_ARGUMENT"},
};

const NamedCode* Find(ResultCode code) {
    for (const NamedCode& entry : kCodes) {
        if (entry.code == code) return &entry;
    }
    return nullptr;
}

}  // namespace

bool IsKnownResultCode(ResultCode code) { return Find(code) != nullptr; }

const char* ResultCodeName(ResultCode code) {
    const NamedCode* entry = Find(code);
    return entry != nullptr ? entry->name : "unknown result";
}
