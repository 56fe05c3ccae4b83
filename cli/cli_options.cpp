#include "cli_options.h"

#include <CLI/CLI.hpp>

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

int ParseCommandLine(int argc, char** argv, CliOptions* options) {
    CLI::App app{"drusel-update: finds a Drusel unit on a serial port, says what it is, checks firmware\n"
                 "images and flashes them.",
                 "drusel-update"};
    app.set_version_flag("--version", std::string("drusel-update ") + DRUSEL_VERSION_TEXT);
    app.footer(std::string("Examples:\n"
                           "  drusel-update list\n"
                           "  drusel-update --port /dev/ttyUSB0 info\n"
                           "  drusel-update check firmware.enc\n"
                           "  drusel-update --speed 921600 flash firmware.enc\n"
                           "  drusel-update --json --port COM3 flash --dry-run firmware.enc\n\n") +
               ExitCodeHelpText());
    app.require_subcommand(1);
    app.fallthrough();

    app.add_option("--port", options->ports,
                   "A port to try; repeat for several, in scan order (default: the system's serial devices, "
                   "USB adapters first; on Windows COM1 to COM5, then the further COM ports the system lists)")
        ->type_name("PORT")
        ->allow_extra_args(false);
    app.add_option("--speed", options->speed, "Upload speed in bit/s, switched to after identification at 115200")
        ->check(CLI::IsMember({115200, 230400, 460800, 921600}))
        ->type_name("BPS");
    app.add_flag("--log", options->log, "Write the device link's diagnostic lines to stderr");
    app.add_flag("--json", options->json, "One JSON object per line for progress events and the result");
    app.add_flag("--quiet", options->quiet, "Print nothing but failures");

    auto* list = app.add_subcommand("list", "Scan the ports and say what is on each");
    auto* info = app.add_subcommand("info", "Identify the unit and show all the link knows about it");
    auto* check = app.add_subcommand("check", "Check an image file without touching a unit");
    check->add_option("IMAGE", options->imagePath, "The firmware image file")->required();
    auto* flash = app.add_subcommand("flash", "Identify the unit, upload the image and show the new version");
    flash->add_option("IMAGE", options->imagePath, "The firmware image file")->required();
    flash->add_flag("--dry-run", options->dryRun, "Identify the unit and check the image; send nothing");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? ToInt(ExitCode::Success) : ToInt(ExitCode::Usage);
    }
    if (list->parsed()) options->command = CliCommand::List;
    else if (info->parsed()) options->command = CliCommand::Info;
    else if (check->parsed()) options->command = CliCommand::Check;
    else if (flash->parsed()) options->command = CliCommand::Flash;
    return -1;
}
