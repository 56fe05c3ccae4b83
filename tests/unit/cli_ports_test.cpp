// Which ports the tool tries and the names it hands to the link.
#include <gtest/gtest.h>

#include <string>

#include "port_names.h"

#ifdef _WIN32

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
    const auto ports = DefaultPorts();
    ASSERT_EQ(ports.size(), 5u);
    EXPECT_EQ(ports.front().name, "COM1");
    EXPECT_EQ(ports.back().name, "COM5");
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
