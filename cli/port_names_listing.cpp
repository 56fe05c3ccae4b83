// The scan's port names for the shell's completion: one a line, nothing opened.
#include "port_names.h"

std::string PortNamesListing(const std::vector<PortCandidate>& ports) {
    std::string text;
    for (const PortCandidate& port : ports) {
        // A name the shell could not take as one word is left out rather than split.
        if (port.name.empty() || port.name.find_first_of("\n\r") != std::string::npos) continue;
        text.append(port.name).append("\n");
    }
    return text;
}
