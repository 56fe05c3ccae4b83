// What a failed upload's result says about the unit's answer, in words, with the answer
// byte taken from the device link's final-status table.
#pragma once
#include <string>

#include "result_code.h"

// "the unit found the transfer checksum wrong ('E')"; empty for a result with no words.
std::string UnitAnswerText(ResultCode result);
