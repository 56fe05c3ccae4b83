// The application object: the program's one DeviceLink, constructed before WinMain runs
// and destroyed at process exit, which releases a port handle still held (no speed
// command, no log line).
#pragma once
#include "device_link.h"

class UpdaterApp {
public:
    DeviceLink link;  // port closed, speed code 7, no log sink
};

extern UpdaterApp updaterApp;
