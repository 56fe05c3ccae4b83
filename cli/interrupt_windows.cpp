// Ctrl-C and its kin on Windows: the console runs the handler on a thread of its own,
// where the decision is taken as ordinary code. Ctrl-Break stops an upload between blocks
// as a second Ctrl-C does. Closing the console (or a logoff or shutdown) is not a request
// to stop the update, but Windows ends the process a few seconds after the handler
// returns: the handler waits for the run to finish, and when it will not in time, stops
// it between blocks and waits for the port to be let go.
#include <windows.h>

#include <cstdio>

#include "exit_codes.h"
#include "interrupt_control.h"

namespace {

// Of the five seconds or so Windows allows after a close event.
constexpr int kCloseFinishMs = 3000;
constexpr int kCloseStopMs = 1500;

void ExitInterrupted() { ExitProcess(static_cast<UINT>(ToInt(ExitCode::Interrupted))); }

BOOL OnConsoleClosing() {
    InterruptControl& control = InterruptControl::Instance();
    if (control.OnHangUp() == InterruptAction::ExitNow) ExitInterrupted();
    if (control.WaitForPortRelease(kCloseFinishMs)) return TRUE;
    control.OnStopRequest();
    control.WaitForPortRelease(kCloseStopMs);
    return TRUE;
}

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        return OnConsoleClosing();
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    InterruptControl& control = InterruptControl::Instance();
    const InterruptAction action = type == CTRL_C_EVENT ? control.OnInterrupt() : control.OnStopRequest();
    std::fprintf(stderr, "\n%s\n", InterruptControl::Message(action));
    std::fflush(stderr);
    // Nothing is at stake: the system releases the port with the process.
    if (action == InterruptAction::ExitNow) ExitInterrupted();
    return TRUE;
}

}  // namespace

void InstallInterruptHandling() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }
