// The Windows scan order, kept portable so that the native tests check it as well.
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "port_names.h"

int ComPortNumber(const std::string& name) {
    // Up to three digits: Windows numbers its ports up to COM256, and atoi cannot overflow.
    if (name.size() < 4 || name.size() > 6) return 0;
    for (size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
    if (name.find_first_not_of("0123456789", 3) != std::string::npos) return 0;
    return std::atoi(name.c_str() + 3);
}

std::vector<PortCandidate> MergePortLists(const std::vector<PortCandidate>& registered) {
    std::vector<PortCandidate> ports;
    for (int i = 1; i <= 5; ++i) ports.push_back({"COM" + std::to_string(i), ""});
    std::vector<PortCandidate> further;
    for (const PortCandidate& port : registered) {
        const int number = ComPortNumber(port.name);
        if (number == 0) continue;
        if (number <= 5) {
            ports[static_cast<size_t>(number - 1)].label = port.label;
            continue;
        }
        const auto sameNumber = [&](const PortCandidate& p) { return ComPortNumber(p.name) == number; };
        if (std::none_of(further.begin(), further.end(), sameNumber))
            further.push_back({"COM" + std::to_string(number), port.label});
    }
    const auto byNumber = [](const PortCandidate& a, const PortCandidate& b) {
        return ComPortNumber(a.name) < ComPortNumber(b.name);
    };
    std::sort(further.begin(), further.end(), byNumber);
    ports.insert(ports.end(), further.begin(), further.end());
    return ports;
}
