// Ctrl-C and its kin on POSIX: SIGINT, SIGTERM and SIGHUP are blocked in every thread and
// taken by one thread of its own with sigwait, so no serial read or write is ever cut
// short by a signal, and the decision runs as ordinary code rather than in a handler.
// SIGTERM stops an upload between blocks as a second Ctrl-C does; SIGHUP (a closed
// terminal) stops nothing once a unit is at stake. SIGPIPE is ignored: a closed output
// (`| head`) makes writes fail, which stops the output, never the update.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "exit_codes.h"
#include "interrupt_control.h"

namespace {

void WriteErrorLine(const char* text) {
    const size_t length = std::strlen(text);
    if (write(STDERR_FILENO, "\n", 1) < 0) return;
    if (write(STDERR_FILENO, text, length) < 0) return;
    if (write(STDERR_FILENO, "\n", 1) < 0) return;
}

void WaitForInterrupts(sigset_t signals) {
    for (;;) {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0) continue;
        InterruptControl& control = InterruptControl::Instance();
        const InterruptAction action = signal == SIGINT    ? control.OnInterrupt()
                                       : signal == SIGTERM ? control.OnStopRequest()
                                                           : control.OnHangUp();
        if (action == InterruptAction::Ignored) continue;
        // After a hang-up stderr may be gone too; a failed write is harmless.
        WriteErrorLine(InterruptControl::Message(action));
        // Nothing is at stake: the system releases the port and its lock with the process.
        if (action == InterruptAction::ExitNow) _exit(ToInt(ExitCode::Interrupted));
    }
}

}  // namespace

void InstallInterruptHandling() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    signal(SIGPIPE, SIG_IGN);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(WaitForInterrupts, signals).detach();
}
