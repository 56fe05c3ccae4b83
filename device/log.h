// The diagnostic log: printf-style lines delivered to an optional sink.
//
// A sink has two targets, either or both may be set: a multi-line edit control (Windows
// dialog) and a plain callback (command-line tool, tests). The link never touches a
// window itself: whoever names the edit control also hands over the function that writes
// into it (the UI layer's AttachEditControl). With no sink, or a sink with neither target,
// a log call returns before formatting anything.
#pragma once

using LogLineCallback = void (*)(void* context, const char* line);

struct LogSink {
    void* editWindow = nullptr;          // HWND of a multi-line edit control, or null
    LogLineCallback callback = nullptr;  // receives each finished line, or null
    void* context = nullptr;             // handed back to the callback
    LogLineCallback editWriter = nullptr;  // writes a line into editWindow (given as context)
};

constexpr int LOG_LINE_CAPACITY = 4096;  // 4095 characters and the terminator

#if defined(__GNUC__)
#define DRUSEL_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define DRUSEL_PRINTF_LIKE(fmt, args)
#endif

void WriteLog(const LogSink* sink, const char* format, ...) DRUSEL_PRINTF_LIKE(2, 3);
