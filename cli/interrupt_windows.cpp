// Ctrl-C on Windows: the console runs the handler on a thread of its own, where the
// decision is taken as ordinary code.
#include <windows.h>

#include <cstdio>

#include "exit_codes.h"
#include "interrupt_control.h"

namespace {

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    const InterruptAction action = InterruptControl::Instance().OnInterrupt();
    std::fprintf(stderr, "\n%s\n", InterruptControl::Message(action));
    std::fflush(stderr);
    // Nothing is at stake: the system releases the port with the process.
    if (action == InterruptAction::ExitNow) ExitProcess(static_cast<UINT>(ToInt(ExitCode::Interrupted)));
    return TRUE;
}

}  // namespace

void InstallInterruptHandling() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }
