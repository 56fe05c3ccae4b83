// A failed flash in words a person can act on: what failed, at which step, what the unit
// holds now, and what to do next. Result-code names stay out of it (they go to --json and
// --log); the words come from the upload's account, not from the result code alone.
#pragma once
#include <string>

#include "upload_account.h"

// "the unit did not answer block 7 of 32 within 6 s. The unit holds no complete
// firmware. Power-cycle it, then run drusel-update flash again." osErrorText (may be
// empty) is the system's word for a port failure.
std::string FlashFailureText(const UploadAccount& account, const std::string& osErrorText);
