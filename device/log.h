// The diagnostic log: printf-style lines delivered to an optional sink.
//
// A sink has two targets, either or both may be set: a multi-line edit control (Windows
// dialog) and a plain callback (command-line tool, tests). With no sink, or a sink with
// neither target, a log call returns before formatting anything.
#pragma once

using LogLineCallback = void (*)(void* context, const char* line);

struct LogSink {
    void* editWindow = nullptr;          // HWND of a multi-line edit control, or null
    LogLineCallback callback = nullptr;  // receives each finished line, or null
    void* context = nullptr;             // handed back to the callback
};

constexpr int LOG_LINE_CAPACITY = 4096;  // 4095 characters and the terminator

#if defined(__GNUC__)
#define DRUSEL_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define DRUSEL_PRINTF_LIKE(fmt, args)
#endif

void WriteLog(const LogSink* sink, const char* format, ...) DRUSEL_PRINTF_LIKE(2, 3);

// Appends one finished line to an edit control, with CR LF before it when the control
// already holds text. Defined by the Windows UI layer; a no-op where there are no windows.
void WriteLogLineToEditControl(void* editWindow, const char* line);
