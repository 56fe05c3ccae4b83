// WriteLog: formats one diagnostic line and hands it to the sink's targets.
//
// The buffer lives on the caller's stack: the UI thread and the upload worker may log at
// the same time, and a per-call buffer needs no lock.
#include "log.h"

#include <cstdarg>
#include <cstdio>

void WriteLog(const LogSink* sink, const char* format, ...) {
    // With nowhere to write, not even the format is looked at.
    if (sink == nullptr || (sink->editWindow == nullptr && sink->callback == nullptr)) return;

    char line[LOG_LINE_CAPACITY];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    line[LOG_LINE_CAPACITY - 1] = '\0';  // a longer line is cut to its first 4095 characters

    if (sink->editWindow != nullptr && sink->editWriter != nullptr) sink->editWriter(sink->editWindow, line);
    if (sink->callback != nullptr) sink->callback(sink->context, line);
}
