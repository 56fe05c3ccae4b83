// Windows ports: COM1 to COM5 as the dialog scans, then every further COM port the system
// lists under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (USB adapters often get COM10 and above).
// COM10 and above need the \\.\ form, which CreateFileA requires for two-digit numbers.
#include <windows.h>

#include "device_link.h"
#include "port_names.h"

namespace {

// The COM ports the serial drivers registered: data "COMn", named by the driver's device
// (for example \Device\Serial0). Nothing when the key is absent.
std::vector<PortCandidate> RegisteredComPorts() {
    std::vector<PortCandidate> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return ports;
    for (DWORD index = 0;; ++index) {
        char valueName[256];
        BYTE data[64];
        DWORD nameLength = sizeof valueName;
        DWORD dataLength = sizeof data - 1;  // room for a terminator the data may lack
        DWORD type = 0;
        const LONG status = RegEnumValueA(key, index, valueName, &nameLength, nullptr, &type, data, &dataLength);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || type != REG_SZ) continue;  // too long or not text: not a COM name
        data[dataLength] = 0;
        const std::string port(reinterpret_cast<const char*>(data));
        if (ComPortNumber(port) > 0) ports.push_back({port, std::string(valueName, nameLength)});
    }
    RegCloseKey(key);
    return ports;
}

}  // namespace

std::vector<PortCandidate> DefaultPorts() { return MergePortLists(RegisteredComPorts()); }

std::string PortNameForLink(const std::string& given, std::string* problem) {
    std::string name = given;
    if (ComPortNumber(given) >= 10) name = "\\\\.\\" + given;
    if (name.size() >= static_cast<size_t>(PORT_NAME_CAPACITY)) {
        if (problem != nullptr)
            *problem = "the port name " + name + " is longer than " + std::to_string(PORT_NAME_CAPACITY - 1) +
                       " characters";
        return "";
    }
    return name;
}
