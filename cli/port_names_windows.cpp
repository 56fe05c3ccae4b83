// Windows ports: COM1 to COM5 as the dialog scans; COM10 and above need the \\.\ form,
// which CreateFileA requires for two-digit port numbers.
#include <cctype>
#include <cstdlib>

#include "device_link.h"
#include "port_names.h"

std::vector<PortCandidate> DefaultPorts() {
    std::vector<PortCandidate> ports;
    for (int i = 1; i <= 5; ++i) ports.push_back({"COM" + std::to_string(i), ""});
    return ports;
}

std::string PortNameForLink(const std::string& given, std::string* problem) {
    std::string name = given;
    const bool isCom = given.size() > 3 && std::toupper(static_cast<unsigned char>(given[0])) == 'C' &&
                       std::toupper(static_cast<unsigned char>(given[1])) == 'O' &&
                       std::toupper(static_cast<unsigned char>(given[2])) == 'M' &&
                       given.find_first_not_of("0123456789", 3) == std::string::npos;
    if (isCom && std::atoi(given.c_str() + 3) >= 10) name = "\\\\.\\" + given;
    if (name.size() >= static_cast<size_t>(PORT_NAME_CAPACITY)) {
        if (problem != nullptr)
            *problem = "the port name " + name + " is longer than " + std::to_string(PORT_NAME_CAPACITY - 1) +
                       " characters";
        return "";
    }
    return name;
}
