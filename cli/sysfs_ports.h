// The serial devices of a Linux system, read from sysfs and /dev.
//
// USB adapters come first (those with a /dev/serial/by-id name, then the other ttyUSB
// and ttyACM devices), then the on-board ttyS ports that have a UART behind them. The
// roots are parameters so tests can build a small tree of their own.
#pragma once
#include <string>
#include <vector>

struct SerialDevice {
    std::string path;   // the device node, for example /dev/ttyUSB0
    std::string label;  // the USB product name and by-id name where known
};

std::vector<SerialDevice> ListSerialDevices(const std::string& sysClassTty, const std::string& devDir);
