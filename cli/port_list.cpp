// How a port is shown and which names reach the same device: portable, over the
// platform's PortNameForLink.
#include <algorithm>
#include <cctype>

#include "port_names.h"

namespace {

// "\\.\COM10" and "com10" are the port "COM10": compared without the prefix and case.
std::string SamePortKey(const std::string& linkName) {
    std::string key = linkName.rfind("\\\\.\\", 0) == 0 ? linkName.substr(4) : linkName;
    if (ComPortNumber(key) > 0)
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return key;
}

}  // namespace

std::string ShownPortName(const std::string& given, const std::string& linkName) {
    if (linkName.empty() || SamePortKey(linkName) == SamePortKey(given)) return given;
    return given + " (" + linkName + ")";
}

std::vector<PortCandidate> DistinctPorts(const std::vector<PortCandidate>& ports) {
    std::vector<PortCandidate> distinct;
    std::vector<std::string> keys;
    for (const PortCandidate& port : ports) {
        const std::string linkName = PortNameForLink(port.name, nullptr);
        // A name that cannot be used is kept: probing it says why.
        const std::string key = linkName.empty() ? port.name : SamePortKey(linkName);
        if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
        keys.push_back(key);
        distinct.push_back(port);
    }
    return distinct;
}
