// drusel-update: the command-line updater. Parses the command line, sets up the outlets
// (text or JSON, --log, Ctrl-C) and runs one command.
#include <cstdio>

#include "cli_options.h"
#include "commands.h"
#include "interrupt_control.h"

namespace {

void PrintLogLine(void*, const char* line) {
    std::fputs(line, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
    InstallInterruptHandling();
    CliOptions options;
    const int early = ParseCommandLine(argc, argv, &options);
    if (early >= 0) return early;
    if (options.portNames) {
        std::fputs(PortNamesListing(DefaultPorts()).c_str(), stdout);
        return ToInt(ExitCode::Success);
    }

    const Output out(options.json, options.quiet);
    LogSink sink;
    sink.callback = PrintLogLine;
    std::vector<PortCandidate> ports;
    if (options.ports.empty()) ports = DefaultPorts();
    else
        for (const std::string& name : options.ports) ports.push_back({name, ""});
    const RunContext context{options, out, options.log ? &sink : nullptr, DistinctPorts(ports)};

    switch (options.command) {
    case CliCommand::List: return RunList(context);
    case CliCommand::Info: return RunInfo(context);
    case CliCommand::Check: return RunCheck(context);
    case CliCommand::Flash: return RunFlash(context);
    case CliCommand::None: break;
    }
    return ToInt(ExitCode::Usage);
}
