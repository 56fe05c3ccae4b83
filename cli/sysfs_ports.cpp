#include "sysfs_ports.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Sort rank of a device family; -1 for names that are not serial ports we offer.
int FamilyRank(const std::string& name) {
    if (name.rfind("ttyUSB", 0) == 0) return 1;
    if (name.rfind("ttyACM", 0) == 0) return 2;
    if (name.rfind("ttyS", 0) == 0) return 3;
    return -1;
}

long UnitNumber(const std::string& name) {
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    if (digits == name.size()) return -1;
    return std::strtol(name.c_str() + digits, nullptr, 10);
}

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

// The USB product name: sysfs puts it a few levels above the tty's device.
std::string UsbProduct(const fs::path& ttyEntry) {
    std::error_code error;
    fs::path dir = fs::canonical(ttyEntry / "device", error);
    if (error) return "";
    for (int level = 0; level < 4 && !dir.empty() && dir != dir.root_path(); ++level) {
        if (fs::exists(dir / "product", error)) return FirstLine(dir / "product");
        dir = dir.parent_path();
    }
    return "";
}

// An on-board port is real when the driver found a UART there (type not 0).
bool HasUart(const fs::path& ttyEntry) {
    std::error_code error;
    if (!fs::exists(ttyEntry / "device", error)) return false;
    if (!fs::exists(ttyEntry / "type", error)) return true;
    const std::string type = FirstLine(ttyEntry / "type");
    return !type.empty() && type != "0";
}

// Device name (ttyUSB0) to its /dev/serial/by-id link.
std::map<std::string, std::string> ByIdNames(const fs::path& devDir) {
    std::map<std::string, std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(devDir / "serial" / "by-id", error)) {
        const fs::path target = fs::canonical(entry.path(), error);
        if (error) continue;
        names.emplace(target.filename().string(), entry.path().string());
    }
    return names;
}

struct Found {
    SerialDevice device;
    bool hasById;
    std::string byId;
    int rank;
    long number;
};

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const std::string& sysClassTty, const std::string& devDir) {
    const auto byId = ByIdNames(devDir);
    std::vector<Found> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sysClassTty, error)) {
        const std::string name = entry.path().filename().string();
        const int rank = FamilyRank(name);
        if (rank < 0 || UnitNumber(name) < 0) continue;
        if (rank == 3 && !HasUart(entry.path())) continue;
        Found item{{(fs::path(devDir) / name).string(), ""}, false, "", rank, UnitNumber(name)};
        const std::string product = rank == 3 ? "" : UsbProduct(entry.path());
        const auto link = byId.find(name);
        if (link != byId.end()) {
            item.hasById = true;
            item.byId = link->second;
        }
        item.device.label = product;
        if (item.hasById) item.device.label += (product.empty() ? "" : ", ") + item.byId;
        found.push_back(item);
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.hasById != b.hasById) return a.hasById;
        if (a.hasById) return a.byId < b.byId;
        if (a.rank != b.rank) return a.rank < b.rank;
        return a.number < b.number;
    });
    std::vector<SerialDevice> devices;
    for (const Found& item : found) devices.push_back(item.device);
    return devices;
}
