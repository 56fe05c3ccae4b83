// Which ports the tool tries and the names it hands to the link.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "port_names.h"

TEST(CliComPorts, NumberOfAComName) {
    struct Case {
        const char* name;
        int number;
    };
    const Case cases[] = {{"COM1", 1},  {"com12", 12},       {"CoM256", 256}, {"COM", 0},  {"COM0", 0},
                          {"COMX", 0},  {"COM1a", 0},        {"COM1000", 0},  {"LPT1", 0}, {"\\\\.\\COM12", 0},
                          {" COM3", 0}, {"", 0}};
    for (const Case& c : cases) EXPECT_EQ(ComPortNumber(c.name), c.number) << '"' << c.name << '"';
}

TEST(CliComPorts, TheDialogsFiveFirstThenFurtherRegisteredPortsByNumber) {
    const std::vector<PortCandidate> registered = {{"COM12", "\\Device\\VCP0"},
                                                   {"COM3", "\\Device\\Serial0"},
                                                   {"COM7", "\\Device\\Serial1"},
                                                   {"com12", "a second entry for the same port"},
                                                   {"LPT1", "not a COM port"},
                                                   {"COM0", "no such number"}};
    const auto ports = MergePortLists(registered);
    std::vector<std::string> names, labels;
    for (const PortCandidate& p : ports) {
        names.push_back(p.name);
        labels.push_back(p.label);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM5", "COM7", "COM12"}));
    EXPECT_EQ(labels, (std::vector<std::string>{"", "", "\\Device\\Serial0", "", "", "\\Device\\Serial1",
                                                "\\Device\\VCP0"}));
    EXPECT_EQ(MergePortLists({}).size(), 5u);
}

// What --port-names prints for the shell's completion: names only, one a line; a name
// the shell could not take as one word is left out.
TEST(CliComPorts, PortNamesAreListedOneALine) {
    struct Case {
        std::vector<PortCandidate> ports;
        const char* listing;
    };
    const Case cases[] = {
        {{}, ""},
        {MergePortLists({{"COM12", "\\Device\\VCP0"}}), "COM1\nCOM2\nCOM3\nCOM4\nCOM5\nCOM12\n"},
        {{{"/dev/ttyUSB0", "FT232R USB UART, /dev/serial/by-id/usb-FTDI-if00"}, {"/dev/ttyS0", ""}},
         "/dev/ttyUSB0\n/dev/ttyS0\n"},
        {{{"", "no name"}, {"/dev/tty\nS1", "a line break"}, {"/dev/ttyACM0\r", "a carriage return"},
          {"/dev/ttyACM1", "Pico"}},
         "/dev/ttyACM1\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(PortNamesListing(c.ports), c.listing);
}

#ifdef _WIN32

#include <windows.h>

TEST(CliPorts, ComTenAndAboveGetTheDevicePrefix) {
    struct Case {
        const char* given;
        const char* forLink;
    };
    const Case cases[] = {{"COM1", "COM1"},           {"COM9", "COM9"},           {"COM10", "\\\\.\\COM10"},
                          {"com255", "\\\\.\\com255"}, {"\\\\.\\COM12", "\\\\.\\COM12"}, {"COMX", "COMX"}};
    for (const Case& c : cases) {
        std::string problem;
        EXPECT_EQ(PortNameForLink(c.given, &problem), c.forLink) << c.given;
        EXPECT_TRUE(problem.empty());
    }
}

// A port the serial driver registered in the system's list is scanned after COM1..COM5.
TEST(CliPorts, APortTheRegistryListsIsScannedAfterTheDialogsFive) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char valueName[] = "\\Device\\DruselTestVCP";
    const char port[] = "COM23";
    ASSERT_EQ(RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(port), sizeof port),
              ERROR_SUCCESS);
    const auto ports = DefaultPorts();
    RegDeleteValueA(key, valueName);
    RegCloseKey(key);

    ASSERT_GE(ports.size(), 6u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ports[static_cast<size_t>(i)].name, "COM" + std::to_string(i + 1));
    const auto isCom23 = [](const PortCandidate& p) { return p.name == "COM23"; };
    const auto found = std::find_if(ports.begin(), ports.end(), isCom23);
    ASSERT_NE(found, ports.end());
    EXPECT_EQ(found->label, valueName);
    std::string problem;
    EXPECT_EQ(PortNameForLink(found->name, &problem), "\\\\.\\COM23");
    EXPECT_NE(PortNamesListing(ports).find("COM1\nCOM2\nCOM3\nCOM4\nCOM5\n"), std::string::npos);
    EXPECT_NE(PortNamesListing(ports).find("\nCOM23\n"), std::string::npos);
}

#else

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sysfs_ports.h"

namespace fs = std::filesystem;

namespace {

class CliSysfsPorts : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/dsysXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        fs::create_directories(root / "sys/class/tty");
        fs::create_directories(root / "dev/serial/by-id");
    }
    void TearDown() override { fs::remove_all(root); }

    // A tty entry whose device sits `usbDepth` levels below a USB device with a product name
    // (0: no USB device at all), and optionally a UART type.
    void AddTty(const std::string& name, const std::string& product, const char* type = nullptr) {
        const fs::path device = root / "sys/devices/usb1/1-1" / name / "1-1:1.0" / "port";
        fs::create_directories(device);
        if (!product.empty()) Write(root / "sys/devices/usb1/1-1" / name / "product", product);
        const fs::path entry = root / "sys/class/tty" / name;
        fs::create_directories(entry);
        fs::create_directory_symlink(device, entry / "device");
        if (type != nullptr) Write(entry / "type", type);
        Write(root / "dev" / name, "");
    }
    static void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text << "\n"; }

    std::vector<SerialDevice> List() const {
        return ListSerialDevices((root / "sys/class/tty").string(), (root / "dev").string());
    }

    fs::path root;
};

TEST_F(CliSysfsPorts, UsbAdaptersFirstWithTheirNamesThenUartPorts) {
    AddTty("ttyS0", "", "4");        // a real UART
    AddTty("ttyS1", "", "0");        // no UART behind it: left out
    AddTty("ttyACM0", "Pico");
    AddTty("ttyUSB10", "FT232R USB UART");
    AddTty("ttyUSB2", "CP2102");
    fs::create_directories(root / "sys/class/tty/tty0");  // a console, not a serial port
    fs::create_symlink(root / "dev/ttyUSB10", root / "dev/serial/by-id/usb-FTDI_FT232R-if00-port0");

    const auto devices = List();
    ASSERT_EQ(devices.size(), 4u);
    EXPECT_EQ(devices[0].path, (root / "dev/ttyUSB10").string());  // has a by-id name
    EXPECT_EQ(devices[0].label, "FT232R USB UART, " + (root / "dev/serial/by-id/usb-FTDI_FT232R-if00-port0").string());
    EXPECT_EQ(devices[1].path, (root / "dev/ttyUSB2").string());
    EXPECT_EQ(devices[1].label, "CP2102");
    EXPECT_EQ(devices[2].path, (root / "dev/ttyACM0").string());
    EXPECT_EQ(devices[3].path, (root / "dev/ttyS0").string());
    EXPECT_EQ(devices[3].label, "");
}

TEST_F(CliSysfsPorts, NoSysfsMeansNoPorts) {
    EXPECT_TRUE(ListSerialDevices((root / "missing").string(), (root / "dev").string()).empty());
}

TEST_F(CliSysfsPorts, LinksAreResolvedAndLongNamesRefused) {
    const fs::path shortDir = root / "d";
    fs::create_directories(shortDir);
    Write(shortDir / "p", "");
    const fs::path longLink = root / "dev/serial/by-id/usb-Some_Very_Long_Adapter_Name-if00-port0";
    fs::create_symlink(shortDir / "p", longLink);

    std::string problem;
    EXPECT_EQ(PortNameForLink(longLink.string(), &problem), (shortDir / "p").string());
    EXPECT_TRUE(problem.empty());

    const std::string missingLong = "/tmp/no-such-folder-with-a-long-name/port";
    EXPECT_EQ(PortNameForLink(missingLong, &problem), "");
    EXPECT_NE(problem.find("longer than 24 characters"), std::string::npos) << problem;

    EXPECT_EQ(PortNameForLink("/dev/nothing", &problem), "/dev/nothing");
}

}  // namespace

#endif
