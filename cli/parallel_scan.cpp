#include "parallel_scan.h"

#include <thread>

PortLog::PortLog(const LogSink* base, std::string portName) : base_(base), prefix_(std::move(portName) + ": ") {
    sink_.callback = Forward;
    sink_.context = this;
}

void PortLog::Forward(void* context, const char* line) {
    const auto* self = static_cast<const PortLog*>(context);
    const std::string text = self->prefix_ + line;
    WriteLog(self->base_, "%s", text.c_str());
}

PortScan::PortScan(const std::vector<PortCandidate>& ports, SpeedSearchRule rule, LogSink* logSink) {
    ports_.resize(ports.size());
    for (size_t i = 0; i < ports.size(); ++i) {
        ScannedPort& scanned = ports_[i];
        scanned.link = std::make_unique<DeviceLink>();
        if (ports.size() > 1) {
            scanned.log = std::make_unique<PortLog>(logSink, ports[i].name);
            scanned.link->logSink = scanned.log->Sink();
        } else {
            scanned.link->logSink = logSink;
        }
    }
    // Each thread touches only its own entry; the vector is not resized while they run.
    std::vector<std::thread> threads;
    threads.reserve(ports.size());
    for (size_t i = 0; i < ports.size(); ++i)
        threads.emplace_back([this, &ports, rule, i] {
            ports_[i].report = ProbePort(*ports_[i].link, ports[i], rule);
        });
    for (std::thread& thread : threads) thread.join();
}

bool CanTakeFirmware(const ScannedPort& scanned) {
    return scanned.report.Flashable() && (scanned.link->protocolFlags & PROTOCOL_FLAG_TAKES_FIRMWARE) != 0;
}

std::vector<PortReport> PortScan::Reports() const {
    std::vector<PortReport> reports;
    for (const ScannedPort& scanned : ports_) reports.push_back(scanned.report);
    return reports;
}

int PortScan::FirstAnswered() const {
    for (size_t i = 0; i < ports_.size(); ++i)
        if (ports_[i].report.Answered()) return static_cast<int>(i);
    return -1;
}

void PortScan::ReleaseAllBut(int keep) {
    for (size_t i = 0; i < ports_.size(); ++i) {
        if (static_cast<int>(i) == keep) continue;
        DeviceLink& link = *ports_[i].link;
        if (link.HoldsPort()) link.ClosePort();
    }
}
