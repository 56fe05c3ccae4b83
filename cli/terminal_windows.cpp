#include <io.h>

#include <cstdio>

#include "terminal.h"

bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
