// Whether standard output is a terminal (a progress bar) or a pipe or file (lines), and
// what the live table of several units needs of it.
#pragma once

bool StdoutIsTerminal();
bool StdinIsTerminal();
// Makes the terminal take cursor movements (VT sequences); false when it cannot, and the
// live table then falls back to plain lines.
bool PrepareTerminalRedraw();
// The terminal's width in characters; 80 when it cannot be told.
int TerminalColumns();
