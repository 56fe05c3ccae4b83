#include "cli_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "exit_codes.h"

#ifndef DRUSEL_VERSION_TEXT
#define DRUSEL_VERSION_TEXT "0"
#endif

const char* CommandName(CliCommand command) {
    switch (command) {
    case CliCommand::List: return "list";
    case CliCommand::Info: return "info";
    case CliCommand::Check: return "check";
    case CliCommand::Flash: return "flash";
    case CliCommand::None: break;
    }
    return "";
}

namespace {

constexpr const char* COMMAND_LIST = "list, info, check, flash";

// The options that apply to every command. They are taken before the command's name and
// after it, so each place gets its own copy (one option per App in CLI11), merged after.
struct CommonOptions {
    std::vector<std::string> ports;
    int32_t speed = 0;  // 0: not given here
    bool log = false;
    bool json = false;
    bool quiet = false;
};

const CLI::Validator& NotEmpty() {
    static const CLI::Validator check(
        [](std::string& value) { return value.empty() ? std::string("an empty value is not allowed") : std::string(); },
        "", "NOT_EMPTY");
    return check;
}

// Where --speed is shown: the root and flash; list and info take it only to say it does
// not apply to them.
enum class SpeedOption { Shown, Hidden };

void AddCommonOptions(CLI::App* app, CommonOptions* common, SpeedOption speedOption) {
    app->add_option("-p,--port", common->ports,
                    "A port to try; repeat for several, in scan order (default: $DRUSEL_PORT, else the system's "
                    "serial devices, USB adapters first; on Windows COM1 to COM5, then the further COM ports the "
                    "system lists)")
        ->type_name("PORT")
        ->check(NotEmpty())
        ->allow_extra_args(false);
    CLI::Option* speed =
        app->add_option("-s,--speed", common->speed,
                        "Upload speed in bit/s, switched to after identification at 115200 (default 115200)")
            ->check(NotEmpty())
            ->check(CLI::IsMember({115200, 230400, 460800, 921600}))
            ->type_name("BPS");
    if (speedOption == SpeedOption::Hidden) speed->group("");
    app->add_flag("--log", common->log, "Write the device link's diagnostic lines to stderr");
    app->add_flag("--json", common->json,
                  "One JSON object per line for progress events and the result (with --quiet, JSON wins)");
    app->add_flag("-q,--quiet", common->quiet, "Print nothing but failures");
}

// Both copies into the options; the one after the command wins for --speed, and ports
// are taken in the order they were written.
void Merge(const CommonOptions& before, const CommonOptions& after, CliOptions* options) {
    options->ports = before.ports;
    options->ports.insert(options->ports.end(), after.ports.begin(), after.ports.end());
    if (before.speed != 0) options->speed = before.speed;
    if (after.speed != 0) options->speed = after.speed;
    options->log = before.log || after.log;
    options->json = before.json || after.json;
    options->quiet = before.quiet || after.quiet;
}

int UsageError(const std::string& text);

constexpr const char* USAGE = "drusel-update [OPTIONS] COMMAND [OPTIONS] [--] [IMAGE]";

// The root's usage line names the commands' place; the commands keep CLI11's own.
class UsageFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string name) const override {
        if (app->get_parent() == nullptr) return std::string("\nUsage: ") + USAGE + "\n";
        return CLI::Formatter::make_usage(app, name);
    }
};

// What was left over after a command's IMAGE: a name that looks like an option gets the
// way to write it.
int LeftOver(const char* command, const std::vector<std::string>& remaining, bool imageGiven) {
    const std::string& first = remaining.front();
    if (!imageGiven && !first.empty() && first[0] == '-')
        return UsageError("\"" + first + "\" is not an option of " + command +
                          ". A file name that begins with '-' goes after --: drusel-update " + command + " -- " +
                          first);
    std::string words;
    for (const std::string& word : remaining) words += (words.empty() ? "" : " ") + word;
    return UsageError(std::string("Not understood after ") + command + ": " + words);
}

int UsageError(const std::string& text) {
    std::fprintf(stderr, "%s\nRun with --help for more information.\n", text.c_str());
    return ToInt(ExitCode::Usage);
}

}  // namespace

int ParseCommandLine(int argc, char** argv, CliOptions* options) {
    CLI::App app{"drusel-update: finds a Drusel unit on a serial port, says what it is, checks firmware\n"
                 "images and flashes them. Options go before or after the command; a file name that\n"
                 "begins with '-' goes after --.",
                 "drusel-update"};
    app.set_version_flag("--version", std::string("drusel-update ") + DRUSEL_VERSION_TEXT);
    app.footer(std::string("Examples:\n"
                           "  drusel-update list\n"
                           "  drusel-update -p /dev/ttyUSB0 info\n"
                           "  drusel-update check firmware.enc\n"
                           "  drusel-update check -- -firmware.enc\n"
                           "  drusel-update flash -s 921600 firmware.enc\n"
                           "  drusel-update --json --port COM3 flash --dry-run firmware.enc\n\n"
                           "The port can also be given as DRUSEL_PORT in the environment; --port wins.\n\n") +
               ExitCodeHelpText());
    app.formatter(std::make_shared<UsageFormatter>());
    app.require_subcommand(0, 1);

    CommonOptions before;
    AddCommonOptions(&app, &before, SpeedOption::Shown);
    // A word that is no command lands here, so it can be named.
    std::string unknownCommand;
    app.add_option("COMMAND", unknownCommand)->group("");
    // For the shell's completion, so that Tab offers ports without opening any; kept out
    // of --help.
    app.add_flag("--port-names", options->portNames, "Print the names of the ports a scan would try")->group("");

    CommonOptions list, info, check, flash;
    auto* listCommand = app.add_subcommand("list", "Scan the ports and say what is on each");
    AddCommonOptions(listCommand, &list, SpeedOption::Hidden);
    auto* infoCommand = app.add_subcommand("info", "Identify the unit and show all the link knows about it");
    AddCommonOptions(infoCommand, &info, SpeedOption::Hidden);
    auto* checkCommand = app.add_subcommand("check", "Check an image file without touching a unit");
    checkCommand->add_option("IMAGE", options->imagePath, "The firmware image file (after -- if it begins with '-')");
    checkCommand->allow_extras();
    checkCommand->add_flag("--json", check.json, "One JSON object with the result");
    checkCommand->add_flag("-q,--quiet", check.quiet, "Print nothing but failures");
    auto* flashCommand = app.add_subcommand("flash", "Identify the unit, upload the image and show the new version");
    flashCommand->add_option("IMAGE", options->imagePath, "The firmware image file (after -- if it begins with '-')");
    flashCommand->allow_extras();
    flashCommand->add_flag("--dry-run", options->dryRun, "Identify the unit and check the image; send nothing");
    flashCommand->add_flag("--all", options->all,
                           "Flash every unit found that can take firmware, all at once (with --port: every unit "
                           "among those ports)");
    flashCommand->add_flag("-y,--yes", options->yes, "Do not ask before flashing several units");
    AddCommonOptions(flashCommand, &flash, SpeedOption::Shown);

    // CLI11 would take the next word as the value of "--port="; an empty value is refused
    // here as it is for --port "".
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--") break;
        if (word == "--port=" || word == "--speed=")
            return UsageError(word.substr(0, word.size() - 1) + ": an empty value is not allowed");
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? ToInt(ExitCode::Success) : ToInt(ExitCode::Usage);
    }
    if (options->portNames) return -1;
    if (!unknownCommand.empty())
        return UsageError("\"" + unknownCommand + "\" is not a command. The commands are: " + COMMAND_LIST + ".");

    const CommonOptions* after = nullptr;
    if (listCommand->parsed()) {
        options->command = CliCommand::List;
        after = &list;
    } else if (infoCommand->parsed()) {
        options->command = CliCommand::Info;
        after = &info;
    } else if (checkCommand->parsed()) {
        options->command = CliCommand::Check;
        after = &check;
    } else if (flashCommand->parsed()) {
        options->command = CliCommand::Flash;
        after = &flash;
    } else {
        return UsageError(std::string("A command is required: ") + COMMAND_LIST + ".");
    }
    for (CLI::App* command : {checkCommand, flashCommand}) {
        if (!command->parsed()) continue;
        const char* name = command == checkCommand ? "check" : "flash";
        // CLI11 keeps the "--" it honoured among the extras.
        std::vector<std::string> remaining = command->remaining();
        remaining.erase(std::remove(remaining.begin(), remaining.end(), std::string("--")), remaining.end());
        if (!remaining.empty()) return LeftOver(name, remaining, !options->imagePath.empty());
        if (options->imagePath.empty())
            return UsageError(std::string(name) + " needs the IMAGE file: drusel-update " + name + " IMAGE");
    }
    if (options->command != CliCommand::Flash && (before.speed != 0 || after->speed != 0))
        return UsageError("--speed sets the upload speed of flash; list, info and check take no speed.");
    Merge(before, *after, options);
    if (options->ports.empty()) {
        const char* fromEnvironment = std::getenv("DRUSEL_PORT");
        if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') options->ports.push_back(fromEnvironment);
    }
    return -1;
}
