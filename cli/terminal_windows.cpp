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
