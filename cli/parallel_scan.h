// The scan of the command-line tool: every candidate port probed at the same time, one
// link and one thread each, reported in port order. A port with nothing on it costs its
// probe's time alongside the others instead of one after the other.
//
// A port that answered stays open on its link until the scan lets it go, so the command
// can go on with "the" unit (the first in port order) or with every unit (flash --all).
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "device_link.h"
#include "port_probe.h"

// A log sink that puts the port's name in front of each line, so that lines of links
// running at once can be told apart. Lines go on to the base sink.
class PortLog {
public:
    PortLog(const LogSink* base, std::string portName);
    PortLog(const PortLog&) = delete;
    PortLog& operator=(const PortLog&) = delete;
    // Null when there is no base sink: the link then formats nothing.
    LogSink* Sink() { return base_ != nullptr ? &sink_ : nullptr; }

private:
    static void Forward(void* context, const char* line);
    const LogSink* base_;
    std::string prefix_;
    LogSink sink_;
};

struct ScannedPort {
    PortReport report;
    std::unique_ptr<PortLog> log;      // outlives the link that writes to it
    std::unique_ptr<DeviceLink> link;  // holds the port open when the report answered
};

// A unit answered there, of a model that takes firmware, and said it takes it now.
bool CanTakeFirmware(const ScannedPort& scanned);

class PortScan {
public:
    // Probes every port at once. With more than one port, log lines carry the port name.
    PortScan(const std::vector<PortCandidate>& ports, SpeedSearchRule rule, LogSink* logSink);
    ~PortScan() { ReleaseAll(); }
    PortScan(const PortScan&) = delete;
    PortScan& operator=(const PortScan&) = delete;

    std::vector<ScannedPort>& Ports() { return ports_; }
    // The reports in port order.
    std::vector<PortReport> Reports() const;
    // The first port in port order where a unit answered; -1 when none did.
    int FirstAnswered() const;
    // Lets go of every port but `keep` (-1: all).
    void ReleaseAllBut(int keep);
    void ReleaseAll() { ReleaseAllBut(-1); }

private:
    std::vector<ScannedPort> ports_;
};
