// Whether standard output is a terminal (a progress bar) or a pipe or file (lines).
#pragma once

bool StdoutIsTerminal();
