// The unit in words, as both programs' texts name it: its model with the kind bits, and
// its firmware version in the dialog's form.
#pragma once
#include <string>

#include "device_types.h"

// "Kestrale USB (kind 0x41)", "unknown model (kind 0x00)": the model part is the link's
// own description of the kind, without the version.
std::string KindText(DeviceKind kind);
// The dialog's version text, "01.05.A".
std::string VersionText(const VersionTriple& version);
