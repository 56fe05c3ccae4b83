// The command line as people type it: each case is the words given, the exit code and a
// phrase of what the tool says, run through the built program against an emulated unit.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli_e2e_support.h"

namespace {

struct ArgumentCase {
    const char* name;
    std::vector<std::string> args;  // "@PORT": the unit's port; "@IMAGE": a good image
    const char* environmentPort;    // DRUSEL_PORT for the run ("@PORT" allowed), null: unset
    int exitCode;
    const char* phrase;             // in stdout or stderr
};

class CliArgumentTest : public CliE2ETest, public ::testing::WithParamInterface<ArgumentCase> {
protected:
    void TearDown() override {
        unsetenv("DRUSEL_PORT");
        std::filesystem::current_path(cwd);
        CliE2ETest::TearDown();
    }
    // The tool runs in the image folder, so that "-dash.enc" names a file there.
    std::filesystem::path cwd = std::filesystem::current_path();
};

std::string Substitute(std::string text, const std::string& key, const std::string& value) {
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
        text.replace(at, key.size(), value);
    return text;
}

TEST_P(CliArgumentTest, GivesTheCodeAndTheWords) {
    const ArgumentCase& c = GetParam();
    bench.Configure(1, Unit("kestrale:U"));
    const std::string image = WriteImage("fw.enc", GoodImage(600));
    WriteImage("-dash.enc", GoodImage(600));
    const auto fill = [&](const std::string& word) {
        return Substitute(Substitute(word, "@PORT", bench.PortName(1)), "@IMAGE", image);
    };
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(fill(arg));
    if (c.environmentPort != nullptr) setenv("DRUSEL_PORT", fill(c.environmentPort).c_str(), 1);
    else unsetenv("DRUSEL_PORT");

    std::filesystem::current_path(dir);
    const CliRun run = RunCli(args, {}, 30);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
    EXPECT_NE((run.out + run.err).find(c.phrase), std::string::npos) << run.out << run.err;
    EXPECT_TRUE(bench.ReceivedImage(1).empty()) << "no case here flashes";
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CliArgumentTest,
    ::testing::Values(
        ArgumentCase{"short_port_before_command", {"-p", "@PORT", "info"}, nullptr, 0, "Kestrale USB v1.5.A"},
        ArgumentCase{"port_after_command", {"info", "--port", "@PORT"}, nullptr, 0, "Kestrale USB v1.5.A"},
        ArgumentCase{"options_on_both_sides", {"--json", "-q", "flash", "-p", "@PORT", "-s", "921600", "--dry-run", "@IMAGE"},
                     nullptr, 0, "\"dry_run\":true,\"speed\":921600"},
        ArgumentCase{"speed_after_flash", {"flash", "--dry-run", "-s", "460800", "-p", "@PORT", "@IMAGE"}, nullptr, 0,
                     "The upload would go at 460800 bit/s."},
        ArgumentCase{"environment_port", {"info"}, "@PORT", 0, "Kestrale USB v1.5.A"},
        ArgumentCase{"port_option_wins", {"info", "-p", "/nonexistent/port"}, "@PORT", 5,
                     "Port /nonexistent/port cannot be used: no such port"},
        ArgumentCase{"empty_port", {"--port", "", "info"}, nullptr, 2, "--port: an empty value is not allowed"},
        ArgumentCase{"empty_port_after", {"info", "-p", ""}, nullptr, 2, "--port: an empty value is not allowed"},
        ArgumentCase{"empty_port_with_equals", {"--port=", "info"}, nullptr, 2, "--port: an empty value is not allowed"},
        ArgumentCase{"port_with_equals", {"--port=@PORT", "info"}, nullptr, 0, "Kestrale USB v1.5.A"},
        ArgumentCase{"empty_speed", {"-p", "@PORT", "--speed", "", "flash", "@IMAGE"}, nullptr, 2,
                     "--speed: an empty value is not allowed"},
        ArgumentCase{"unknown_speed", {"flash", "-s", "9600", "@IMAGE"}, nullptr, 2, "9600 not in"},
        ArgumentCase{"speed_after_list", {"list", "-s", "921600"}, nullptr, 2,
                     "--speed sets the upload speed of flash; list, info and check take no speed."},
        ArgumentCase{"speed_before_info", {"--speed", "460800", "info", "-p", "@PORT"}, nullptr, 2,
                     "--speed sets the upload speed of flash"},
        ArgumentCase{"unknown_command", {"frobnicate"}, nullptr, 2,
                     "\"frobnicate\" is not a command. The commands are: list, info, check, flash."},
        ArgumentCase{"no_command", {"-p", "@PORT"}, nullptr, 2, "A command is required: list, info, check, flash."},
        ArgumentCase{"leading_dash_without_separator", {"check", "-dash.enc"}, nullptr, 2,
                     "A file name that begins with '-' goes after --: drusel-update check -- -dash.enc"},
        ArgumentCase{"leading_dash_after_separator", {"check", "--", "-dash.enc"}, nullptr, 0, "Image is good."},
        ArgumentCase{"no_image", {"check"}, nullptr, 2, "check needs the IMAGE file"},
        ArgumentCase{"two_images", {"check", "@IMAGE", "@IMAGE"}, nullptr, 2, "Not understood after check"},
        ArgumentCase{"flash_help_lists_its_options", {"flash", "--help"}, nullptr, 0, "-s,--speed"},
        ArgumentCase{"info_help_lists_the_port", {"info", "--help"}, nullptr, 0, "-p,--port PORT"},
        ArgumentCase{"help_gives_the_usage", {"--help"}, nullptr, 0,
                     "Usage: drusel-update [OPTIONS] COMMAND [OPTIONS] [--] [IMAGE]"},
        ArgumentCase{"version_is_the_projects", {"--version"}, nullptr, 0, "drusel-update " DRUSEL_VERSION_TEXT "\n"}),
    [](const ::testing::TestParamInfo<ArgumentCase>& param) { return std::string(param.param.name); });

// The shell's completion asks for the scan's port names: device names only, and the
// command is not run: nothing goes to a port, not even one named with --port.
TEST_F(CliE2ETest, PortNamesAreListedWithoutOpeningAPort) {
    bench.Configure(1, Unit("kestrale:U"));
    const CliRun run = RunCli({"--port-names", "-p", bench.PortName(1), "info"}, {}, 30);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("/dev/", 0), 0u) << line;
    EXPECT_TRUE(bench.HostBytes(1).empty()) << "nothing was sent to the named port";
}

}  // namespace
