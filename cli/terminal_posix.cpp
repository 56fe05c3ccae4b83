#include <sys/ioctl.h>
#include <unistd.h>

#include "terminal.h"

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
bool StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool PrepareTerminalRedraw() { return true; }

int TerminalColumns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}
