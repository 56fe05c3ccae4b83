// A bench of emulated units on serial ports, for integration and end-to-end tests.
//
// Natively the units run in-process on pseudo-terminals (one thread each) and the ports
// are pty links in a short temporary folder. Under wine the units run in the Linux
// emulator started by the test wrapper, the ports are COM1..COMn mapped onto its pty
// links, and this class reaches it over its loopback control channel. Test code is the
// same for both.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "unit_config.h"

class SimBench {
public:
    // The bench of this test process: `ports` ports numbered 1..ports, all Absent.
    static SimBench& Get();

    int PortCount() const;
    // The name the device link opens for port i ("/tmp/dsXXXX/p1" natively, "COM1" on Windows).
    std::string PortName(int i) const;
    // Puts a unit (or no port, or a silent port) on port i; clears its trace and image.
    void Configure(int i, const UnitConfig& config);
    // Bytes the host sent to port i since Configure, in order.
    std::vector<uint8_t> HostBytes(int i);
    // Number of 'S' speed commands the unit on port i took since Configure.
    int SpeedCommands(int i);
    // The last image the unit on port i received completely (empty when none).
    std::vector<uint8_t> ReceivedImage(int i);
    // The speed in bit/s the unit on port i now talks at.
    int32_t UnitSpeed(int i);
    // True while the unit on port i holds part of a request or an upload and waits for the
    // rest (it gives up after its receive time-out).
    bool UnitWaiting(int i);
    // True while some process holds port i open.
    bool PortInUse(int i);
};
