#include "output.h"

#include <cstdio>

namespace {

// One call per line: lines written by several units' threads at once stay whole.
void WriteLine(FILE* stream, const std::string& text) {
    const std::string line = text + "\n";
    std::fputs(line.c_str(), stream);
    std::fflush(stream);
}

}  // namespace

void Output::Say(const std::string& text) const {
    if (json_ || quiet_) return;
    WriteLine(stdout, text);
}

void Output::Complain(const std::string& text) const {
    if (json_) return;
    WriteLine(stderr, text);
}

void Output::Emit(const JsonLine& line) const {
    if (!json_) return;
    WriteLine(stdout, line.Text());
}

int Output::Finish(const char* command, ExitCode exit, const std::string& message, const std::string& detail,
                   const JsonLine& extra) const {
    if (json_) {
        JsonLine line;
        line.Add("event", "result").Add("command", command).Add("exit", static_cast<int64_t>(ToInt(exit)));
        line.Add("message", message).Add("detail", detail);
        std::string text = line.Text();
        const std::string more = extra.Text();
        if (more.size() > 2) text = text.substr(0, text.size() - 1) + "," + more.substr(1);
        WriteLine(stdout, text);
        return ToInt(exit);
    }
    std::string text = message;
    if (!detail.empty()) text += (text.empty() ? "" : "\n  ") + detail;
    if (text.empty()) return ToInt(exit);
    if (exit == ExitCode::Success) Say(text);
    else Complain(text);
    return ToInt(exit);
}
