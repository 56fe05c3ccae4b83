// list and info against emulated units; what each port situation gives info, list and
// flash.
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "cli_e2e_support.h"

namespace {

// Holds a port the way another program would: open and exclusively locked.
class PortHolder {
public:
    explicit PortHolder(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
        if (fd_ >= 0) locked_ = flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    ~PortHolder() {
        if (fd_ >= 0) close(fd_);
    }
    bool Held() const { return fd_ >= 0 && locked_; }

private:
    int fd_;
    bool locked_ = false;
};

TEST_F(CliE2ETest, ListSaysWhatIsOnEachPort) {
    bench.Configure(2, UnitConfig::Silent());
    bench.Configure(3, Unit("kestrale:U"));
    bench.Configure(4, Unit("gristpell"));
    PortHolder holder(bench.PortName(4));
    ASSERT_TRUE(holder.Held());

    const CliRun run = RunCli(Args(Ports(1, 5), {"list"}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto lines = run.OutLines();
    ASSERT_EQ(lines.size(), 5u) << run.out;
    EXPECT_NE(lines[0].find("no such port"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("no answer"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("found: Kestrale USB v1.5.A"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("busy"), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find("no such port"), std::string::npos) << lines[4];
    EXPECT_FALSE(bench.PortInUse(3)) << "list must release every port";
}

TEST_F(CliE2ETest, ListAsJsonGivesOneObjectPerPortThenTheResult) {
    bench.Configure(1, Unit("tamberlin1"));
    bench.Configure(3, Unit("kestrale:S"));

    const CliRun run = RunCli(Args(Ports(1, 3), {"--json", "list"}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto values = JsonLines(run);
    ASSERT_EQ(values.size(), 4u) << run.out;
    const char* states[] = {"found", "no_such_port", "found"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(values[i]["event"].text, "port");
        EXPECT_EQ(values[i]["report"]["state"].text, states[i]) << i;
        EXPECT_EQ(values[i]["report"]["port"].text, bench.PortName(static_cast<int>(i) + 1));
    }
    EXPECT_EQ(values[0]["report"]["description"].text, "Tamberlin I v2.3.1");
    EXPECT_EQ(values[2]["report"]["kind"].number, 0x81);
    EXPECT_EQ(values[3]["event"].text, "result");
    EXPECT_EQ(values[3]["exit"].number, 0);
    EXPECT_EQ(values[3]["units"].number, 2);
}

// A port is named as given, with the device it reached; a second name of that device
// is not probed again.
TEST_F(CliE2ETest, ListNamesThePortAsGivenAndProbesOneDeviceOnce) {
    bench.Configure(1, Unit("kestrale:U"));
    const std::string alias = dir + "/alias";
    ASSERT_EQ(symlink(bench.PortName(1).c_str(), alias.c_str()), 0);
    char device[4096] = {};
    ASSERT_NE(realpath(bench.PortName(1).c_str(), device), nullptr);

    const CliRun run = RunCli({"--json", "list", "-p", alias, "-p", bench.PortName(1), "-p", bench.PortName(2)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto values = JsonLines(run);
    ASSERT_EQ(values.size(), 3u) << run.out;
    EXPECT_EQ(values[0]["report"]["port"].text, alias);
    EXPECT_EQ(values[0]["report"]["link_name"].text, device);
    EXPECT_EQ(values[1]["report"]["port"].text, bench.PortName(2));
    EXPECT_EQ(values[2]["ports"].number, 2);

    const CliRun words = RunCli({"info", "-p", alias});
    EXPECT_NE(words.out.find("Port:            " + alias + " (" + device + ")"), std::string::npos) << words.out;
}

TEST_F(CliE2ETest, ListWithoutAnyUnitExitsWithNoUnit) {
    bench.Configure(1, UnitConfig::Silent());
    const CliRun run = RunCli(Args(Ports(1, 2), {"list"}));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("Device not found. Be sure it is connected and configured."), std::string::npos)
        << run.err;
}

struct InfoCase {
    const char* unit;
    const char* description;
    int kind;
    int modelCode;
    int protocolFlags;
    bool takesFirmware;
};

class CliInfoTest : public CliE2ETest, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(CliInfoTest, IdentifiesTheModel) {
    const InfoCase& c = GetParam();
    bench.Configure(2, Unit(c.unit));
    const CliRun run = RunCli(Args(Ports(1, 3), {"--json", "info"}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto values = JsonLines(run);
    ASSERT_FALSE(values.empty());
    const JsonValue& result = values.back();
    EXPECT_EQ(result["event"].text, "result");
    EXPECT_EQ(result["description"].text, c.description);
    EXPECT_EQ(result["kind"].number, c.kind);
    EXPECT_EQ(result["model_code"].number, c.modelCode);
    EXPECT_EQ(result["protocol_flags"].number, c.protocolFlags);
    EXPECT_EQ(result["takes_firmware"].boolean, c.takesFirmware);
    EXPECT_EQ(result["hardware_info_result"].number, 0);
    ASSERT_EQ(result["hardware_info"].items.size(), 7u);
}

INSTANTIATE_TEST_SUITE_P(
    Models, CliInfoTest,
    ::testing::Values(InfoCase{"kestrale:U", "Kestrale USB v1.5.A", 0x41, 32, 2, true},
                      InfoCase{"kestrale:S", "Kestrale Serial v1.5.A", 0x81, 32, 2, true},
                      InfoCase{"kestrale:X", "Kestrale v1.5.A", 0x01, 32, 2, true},
                      InfoCase{"gristpell", "Grist & Pell v12.0.F", 0x02, 32, 2, true},
                      InfoCase{"tamberlin1", "Tamberlin I v2.3.1", 0x08, 8, 1, false},
                      InfoCase{"tamberlin2", "Tamberlin II v3.1.2", 0x04, 4, 1, false}));

TEST_F(CliE2ETest, InfoInWordsShowsTheHardwareBytes) {
    bench.Configure(1, Unit("kestrale:U"));
    const CliRun run = RunCli(Args(Ports(1, 1), {"info"}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Unit:            Kestrale USB v1.5.A"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Version:         01.05.A"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("protocolFlags:   2 (takes firmware)"), std::string::npos) << run.out;
    // Address 1 holds the model letter, address 4 the attachment letter.
    EXPECT_NE(run.out.find("Hardware info:   41 00 00 55"), std::string::npos) << run.out;
}

// The hardware information as read: a byte whose read failed is shown as not read, never
// as data, and the memory is read once (by identification), seven reads in all.
TEST_F(CliE2ETest, InfoShowsTheHardwareBytesAsRead) {
    struct Case {
        const char* unit;
        const char* words;
        const char* bytes;    // the JSON array
        const char* results;  // the JSON array
        int firstFailure;
    };
    const Case cases[] = {
        {"kestrale:U", "Hardware info:   41 00 00 55 00 00 00  \"A..U...\"\n", "[65,0,0,85,0,0,0]",
         "[0,0,0,0,0,0,0]", 0},
        // The fault's index is the memory address: byte 2 of the information.
        {"kestrale:U fault=read:2:byte:?", "41 -- 00 55 00 00 00  \"A-.U...\"; byte 2 not read (the unit refused the read)",
         "[65,null,0,85,0,0,0]", "[0,-8,0,0,0,0,0]", -8},
        {"kestrale:U fault=read:silence", "-- -- -- -- -- -- --  \"-------\"; bytes 1, 2, 3, 4, 5, 6, 7 not read (no complete reply)",
         "[null,null,null,null,null,null,null]", "[-17,-17,-17,-17,-17,-17,-17]", -17},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        bench.Configure(1, Unit(c.unit));
        const CliRun run = RunCli(Args(Ports(1, 1), {"info"}));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find(c.words), std::string::npos) << run.out;
        const auto bytes = bench.HostBytes(1);
        int reads = 0;
        for (size_t i = 0; i + 1 < bytes.size(); ++i) reads += bytes[i] == 'H' && bytes[i + 1] == 'R';
        EXPECT_EQ(reads, 7) << "the memory is read once";

        bench.Configure(1, Unit(c.unit));
        const CliRun json = RunCli(Args(Ports(1, 1), {"--json", "info"}));
        EXPECT_NE(json.out.find(std::string("\"hardware_info\":") + c.bytes), std::string::npos) << json.out;
        EXPECT_NE(json.out.find(std::string("\"hardware_info_results\":") + c.results), std::string::npos) << json.out;
        EXPECT_NE(json.out.find("\"hardware_info_result\":" + std::to_string(c.firstFailure)), std::string::npos)
            << json.out;
    }
}

TEST_F(CliE2ETest, InfoWithoutAUnitSaysWhatEachPortDid) {
    bench.Configure(2, UnitConfig::Silent());
    const CliRun run = RunCli(Args(Ports(1, 2), {"info"}));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find(bench.PortName(1) + ": no such port"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(ShownPort(2) + ": no answer"), std::string::npos) << run.err;
}

// File modes changed for one test, put back at its end.
class ModeChanges {
public:
    ModeChanges() = default;
    ModeChanges(const ModeChanges&) = delete;
    ModeChanges& operator=(const ModeChanges&) = delete;
    ~ModeChanges() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (chown(it->path.c_str(), static_cast<uid_t>(-1), it->group) != 0 ||
                chmod(it->path.c_str(), it->mode) != 0)
                ADD_FAILURE() << "could not put back " << it->path;
        }
    }
    // gid -1 leaves the group as it is.
    void Set(const std::string& path, mode_t mode, gid_t group = static_cast<gid_t>(-1)) {
        struct stat status {};
        ASSERT_EQ(stat(path.c_str(), &status), 0) << path;
        saved_.push_back({path, status.st_mode & 07777, status.st_gid});
        ASSERT_EQ(chown(path.c_str(), static_cast<uid_t>(-1), group), 0) << path;
        ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
    }

private:
    struct Saved {
        std::string path;
        mode_t mode;
        gid_t group;
    };
    std::vector<Saved> saved_;
};

// A port situation for a command: the exit code and a phrase of the words.
enum class PortSituation { Absent, Busy, NoPermission, Silent, Tamberlin };

struct PortCase {
    const char* name;
    PortSituation situation;
    const char* command;
    int exitCode;
    const char* phrase;  // "PORT" stands for the port's name
};

class CliPortTest : public CliE2ETest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(CliPortTest, GivesTheCodeAndNamesTheCause) {
    const PortCase& c = GetParam();
    const std::string port = bench.PortName(1);
    std::unique_ptr<PortHolder> holder;
    std::vector<std::string> wrapper;
    ModeChanges modes;
    switch (c.situation) {
    case PortSituation::Absent: break;
    case PortSituation::Busy:
        bench.Configure(1, Unit("kestrale:U"));
        holder = std::make_unique<PortHolder>(port);
        ASSERT_TRUE(holder->Held());
        break;
    case PortSituation::NoPermission: {
        // Root opens every port, so the tool runs as nobody against a port only root may use.
        bench.Configure(1, Unit("kestrale:U"));
        if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";
        wrapper = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
        const CliRun probe = RunCliThrough(wrapper, {"--version"});
        if (probe.exitCode != 0) GTEST_SKIP() << "the tool cannot run as nobody here: " << probe.err;
        // nobody may reach the port's link and read the image, but not open the device.
        modes.Set(port.substr(0, port.rfind('/')), 0755);
        modes.Set(dir, 0755);
        // The usual serial device: root's, read and write for its group.
        const struct group* dialout = getgrnam("dialout");
        if (dialout == nullptr) GTEST_SKIP() << "no dialout group on this system";
        modes.Set(port, 0660, dialout->gr_gid);
        break;
    }
    case PortSituation::Silent: bench.Configure(1, UnitConfig::Silent()); break;
    case PortSituation::Tamberlin: bench.Configure(1, Unit("tamberlin1")); break;
    }
    std::vector<std::string> args = Args(Ports(1, 1), {c.command});
    if (std::string(c.command) == "flash") args.push_back(WriteImage("fw.enc", GoodImage(600)));
    const CliRun run = wrapper.empty() ? RunCli(args) : RunCliThrough(wrapper, args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
    std::string phrase = c.phrase;
    const size_t at = phrase.find("PORT");
    if (at != std::string::npos) phrase.replace(at, 4, ShownPort(1));
    EXPECT_NE(run.err.find(phrase), std::string::npos) << run.err;
    if (c.situation != PortSituation::Silent) {
        EXPECT_EQ(run.err.find("Device not found"), std::string::npos) << "something did answer or fail: " << run.err;
    }
    if (c.situation != PortSituation::Absent) {
        EXPECT_FALSE(Contains(bench.HostBytes(1), {0x66})) << "nothing of an upload may be sent";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Situations, CliPortTest,
    ::testing::Values(
        PortCase{"absent_info", PortSituation::Absent, "info", 5, "Port PORT cannot be used: no such port"},
        PortCase{"absent_flash", PortSituation::Absent, "flash", 5, "Port PORT cannot be used: no such port"},
        PortCase{"absent_list", PortSituation::Absent, "list", 5, "Port PORT cannot be used: no such port"},
        PortCase{"busy_info", PortSituation::Busy, "info", 5,
                 "Port PORT cannot be used: busy: in use by another program"},
        PortCase{"busy_flash", PortSituation::Busy, "flash", 5, "Port PORT cannot be used: busy"},
        PortCase{"no_permission_info", PortSituation::NoPermission, "info", 5, "cannot be opened (Permission denied)"},
        PortCase{"no_permission_flash", PortSituation::NoPermission, "flash", 5,
                 "the port belongs to the group dialout: sudo usermod -aG dialout $USER, then log in again"},
        PortCase{"silent_info", PortSituation::Silent, "info", 3, "Device not found. Be sure it is connected"},
        PortCase{"silent_flash", PortSituation::Silent, "flash", 3, "PORT: no answer"},
        PortCase{"tamberlin_flash", PortSituation::Tamberlin, "flash", 3,
                 "Tamberlin I v2.3.1 on PORT cannot take firmware."}),
    [](const ::testing::TestParamInfo<PortCase>& param) { return std::string(param.param.name); });

// Some ports failed and none answered: no unit, with every failure named.
TEST_F(CliE2ETest, AScanWithSomeFailuresAndNoAnswerIsNoUnit) {
    bench.Configure(2, UnitConfig::Silent());
    const CliRun run = RunCli(Args(Ports(1, 2), {"flash", WriteImage("fw.enc", GoodImage(600))}));
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.err.find("Device not found."), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(bench.PortName(1) + ": no such port"), std::string::npos) << run.err;
}

// Every port of a scan failed to open: the ports' fault, each named.
TEST_F(CliE2ETest, AScanWhereNoPortOpensIsAPortFailure) {
    const CliRun run = RunCli(Args(Ports(1, 2), {"info"}));
    EXPECT_EQ(run.exitCode, 5) << run.err;
    EXPECT_NE(run.err.find("None of the ports could be opened."), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(bench.PortName(2) + ": no such port"), std::string::npos) << run.err;
}

}  // namespace
