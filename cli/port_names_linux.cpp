// Linux ports: the system's serial devices, and realpath() for names given by the user.
#include <climits>
#include <cstdlib>

#include "device_link.h"
#include "port_names.h"
#include "sysfs_ports.h"

std::vector<PortCandidate> DefaultPorts() {
    std::vector<PortCandidate> ports;
    for (const SerialDevice& device : ListSerialDevices("/sys/class/tty", "/dev"))
        ports.push_back({device.path, device.label});
    return ports;
}

std::string PortNameForLink(const std::string& given, std::string* problem) {
    std::string name = given;
    char resolved[PATH_MAX];
    // A name that does not resolve stays as given: opening it tells the user why.
    if (realpath(given.c_str(), resolved) != nullptr) name = resolved;
    if (name.size() >= static_cast<size_t>(PORT_NAME_CAPACITY)) {
        if (problem != nullptr)
            *problem = "the port name " + name + " is longer than " + std::to_string(PORT_NAME_CAPACITY - 1) +
                       " characters";
        return "";
    }
    return name;
}
