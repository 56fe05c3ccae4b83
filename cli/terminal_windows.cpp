#include <io.h>
#include <windows.h>

#include <cstdio>

#include "terminal.h"

bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

bool PrepareTerminalRedraw() {
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return false;
    return SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 80;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? columns : 80;
}
