// Bringing the unit and the port back to 115200 bit/s after an upload at a faster speed.
//
// After programming a unit may restart at 115200 or go on at the fast speed; after a
// failure or an interrupt it may be busy and answer nothing. So: after a success, ask
// the version at the fast speed first and, if it answers, switch it back; otherwise (and
// after a failure, where the switch is asked at once) fall back to 115200 on the host
// side and see whether it answers there. The outcome is reported, never assumed.
#pragma once
#include <string>

#include "device_link.h"

struct SpeedReturn {
    bool wasFast = false;        // the link was at another speed than 115200
    bool backAt115200 = false;   // the unit answered at 115200 at the end
    std::string account;         // one sentence for the user; empty when nothing was needed
};

SpeedReturn ReturnTo115200(DeviceLink& link, bool uploadSucceeded);
