#include <unistd.h>

#include "terminal.h"

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
bool StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool PrepareTerminalRedraw() { return true; }
