// What the unit said during an upload, in words: a failed upload's result with the answer
// byte taken from the device link's final-status table, and the odd answers of a
// successful one (a final status outside the table, blocks answered with unlisted bytes,
// a version that did not change). Pure functions.
#pragma once
#include <cstdint>
#include <string>

#include "result_code.h"

// "the unit found the transfer checksum wrong ('E')"; empty for a result with no words.
std::string UnitAnswerText(ResultCode result);

// "0x57 ('W')" for a printable byte, "0x00" for any other.
std::string AnswerByteText(uint8_t byte);
// The success line when the version after the update is the one before: no new version claimed.
std::string VersionUnchangedText(const std::string& version);
// A final status the unit's documented answers do not list (success by its contract).
std::string UnlistedFinalStatusText(uint8_t status);
// "2 of 12 blocks were answered with ..."; empty when count is 0.
std::string UnlistedBlockAnswersText(uint32_t count, uint32_t blocks, uint8_t first);
