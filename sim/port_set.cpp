#include "port_set.h"

#include <unistd.h>

PortSet::PortSet(std::string dir, int count, Options options)
    : dir_(std::move(dir)), count_(count), options_(std::move(options)), hosts_(static_cast<size_t>(count)) {}

PortSet::~PortSet() {
    std::lock_guard<std::mutex> lock(mutex_);
    hosts_.clear();
}

std::string PortSet::PortName(int i) const { return dir_ + "/p" + std::to_string(i); }

bool PortSet::Configure(int i, const UnitConfig& config, std::string* error) {
    if (!Valid(i)) {
        *error = "no port " + std::to_string(i);
        return false;
    }
    std::shared_ptr<PtyHost> old;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        old.swap(hosts_[static_cast<size_t>(i - 1)]);
    }
    if (old) old->Stop();  // hangs up whoever still holds the old unit's line
    old.reset();
    unlink(PortName(i).c_str());
    if (!config.present) return true;

    UnitConfig unit = config;
    if (options_.forcePaced) unit.paced = true;
    auto host = std::make_shared<PtyHost>(unit, PortName(i));
    if (options_.onTrace) host->OnTrace([this, i](const TraceRecord& r) { options_.onTrace(i, r); });
    if (options_.onImage) host->OnImage([this, i](const std::vector<uint8_t>& image) { options_.onImage(i, image); });
    if (!host->Start(error)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    hosts_[static_cast<size_t>(i - 1)] = std::move(host);
    return true;
}

std::shared_ptr<PtyHost> PortSet::Host(int i) const {
    if (!Valid(i)) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    return hosts_[static_cast<size_t>(i - 1)];
}
