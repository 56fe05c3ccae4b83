// The one sentence that tells the user how the unit came back to 115200 bit/s.
#pragma once
#include <string>

#include "link_outcomes.h"

// Empty when nothing was needed (the unit stayed at 115200).
std::string SpeedReturnText(const SpeedReturn& back);
