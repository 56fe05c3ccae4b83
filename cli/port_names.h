// Which ports the tool tries, and the name the device link is given for each.
//
// Linux: the serial devices the system has, USB adapters first (port_names_linux.cpp).
// Windows: COM1 to COM5, as the dialog scans, then the further COM ports the registry
// lists (port_names_windows.cpp).
#pragma once
#include <string>
#include <vector>

struct PortCandidate {
    std::string name;   // what the user sees and what is resolved for the link
    std::string label;  // what the system knows of it (USB product name), may be empty
};

// The ports to try when --port is not given, in order.
std::vector<PortCandidate> DefaultPorts();

// The names of ports, one a line, as --port-names prints them for the shell's completion.
std::string PortNamesListing(const std::vector<PortCandidate>& ports);

// The name to hand to OpenPort for a port the user named: symbolic links resolved on
// Linux (the link takes at most 24 characters), \\.\COM10 and above on Windows. Returns
// an empty string and says why in *problem when the name cannot be used.
std::string PortNameForLink(const std::string& given, std::string* problem);

// The name to show: as given, with the resolved device in parentheses where it differs
// (the \\.\ form of a COM port is the same port, so it is not shown).
std::string ShownPortName(const std::string& given, const std::string& linkName);
// The ports with every later name of an earlier port's device left out, so that one
// device reached by two names is probed once; order kept.
std::vector<PortCandidate> DistinctPorts(const std::vector<PortCandidate>& ports);


// Windows port lists, portable so that every build tests them (com_port_list.cpp):
// the number of a "COMn" name in any case (0 when it is not one), and the ports to scan:
// COM1 to COM5 in order, then the registered COM ports above COM5 by number, each once.
// A registered port keeps the driver's device name as its label.
int ComPortNumber(const std::string& name);
std::vector<PortCandidate> MergePortLists(const std::vector<PortCandidate>& registered);
