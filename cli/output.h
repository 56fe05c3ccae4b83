// Where the tool's words go: text for a person, one JSON object per line for a script,
// or (with --quiet) only the failures.
//
// Text mode: information on stdout, failures on stderr. JSON mode: everything on stdout
// as JSON lines, the last one the result. Every line is flushed at once, so a script or
// a test reading a pipe sees progress as it happens.
#pragma once
#include <string>

#include "exit_codes.h"
#include "json_line.h"

class Output {
public:
    Output(bool json, bool quiet) : json_(json), quiet_(quiet) {}

    bool Json() const { return json_; }
    bool Quiet() const { return quiet_; }

    // Information for a person; nothing with --quiet or --json.
    void Say(const std::string& text) const;
    // A failure for a person, on stderr, also with --quiet; nothing with --json (the
    // result object carries it).
    void Complain(const std::string& text) const;
    // One JSON object on its own line; only with --json.
    void Emit(const JsonLine& line) const;

    // Reports the outcome and returns the exit code to end with. Text: the message,
    // then the detail on the next line, indented (stdout on success, stderr otherwise).
    // JSON: {"event":"result","command":...,"exit":...,"message":...,"detail":...} plus
    // the fields of extra.
    int Finish(const char* command, ExitCode exit, const std::string& message, const std::string& detail,
               const JsonLine& extra = JsonLine()) const;

private:
    bool json_;
    bool quiet_;
};
