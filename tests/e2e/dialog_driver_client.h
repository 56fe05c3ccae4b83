// The runner's end of dialog_driver.exe: one driver process per scenario, spoken to one
// command line at a time over its stdin and stdout (the command set is listed at the top
// of dialog_driver.cpp).
#pragma once
#include <string>

#include "dialog_process.h"
#include "dialog_wine_session.h"

struct DriverReply {
    bool ok = false;
    std::string value;  // unescaped; the reason when !ok
    std::string raw;    // as the driver wrote it (fields separated by tabs, each escaped)
};

class DialogDriverClient {
public:
    bool Start(WineSession& session, std::string* error);
    bool Running() const { return process_.Running(); }
    // Sends one command and waits for its answer line (at most replyTimeoutMs). A driver
    // that does not answer in time is ended: a late answer must not be taken for the next.
    DriverReply Call(const std::string& command, int replyTimeoutMs = 120000);
    // Closes the driver's stdin and waits for it to end.
    void Stop();

    // The escaping the driver uses for texts in its arguments and answers.
    static std::string Escape(const std::string& text);
    static std::string Unescape(const std::string& text);

private:
    ChildProcess process_;
    std::string pending_;  // bytes read after the last complete line

    bool ReadLine(std::string* line, int timeoutMs);
};
