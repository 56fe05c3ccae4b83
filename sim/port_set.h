// A row of emulated ports DIR/p1..DIR/pN, each with its own unit (or none). Used by the
// emulator's several-ports mode and by the in-process test bench.
#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pty_host.h"

class PortSet {
public:
    struct Options {
        bool forcePaced = false;  // pace every unit, whatever its own setting
        std::function<void(int port, const TraceRecord&)> onTrace;
        std::function<void(int port, const std::vector<uint8_t>& image)> onImage;
    };

    PortSet(std::string dir, int count, Options options);
    ~PortSet();  // stops every unit and removes its link

    int Count() const { return count_; }
    bool Valid(int i) const { return i >= 1 && i <= count_; }
    std::string PortName(int i) const;
    // Replaces the unit on port i: an absent unit leaves no link; any other gets a fresh pty,
    // a fresh trace and a unit at its power-up speed. False with a reason on failure.
    bool Configure(int i, const UnitConfig& config, std::string* error);
    // The unit on port i, or null when the port is absent (or i is out of range). The
    // pointer stays usable after a later Configure replaces the unit.
    std::shared_ptr<PtyHost> Host(int i) const;

private:
    const std::string dir_;
    const int count_;
    const Options options_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<PtyHost>> hosts_;
};
