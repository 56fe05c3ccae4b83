// Ctrl-C on POSIX: SIGINT is blocked in every thread and taken by one thread of its own
// with sigwait, so no serial read or write is ever cut short by a signal, and the
// decision runs as ordinary code rather than in a signal handler.
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
        const InterruptAction action = InterruptControl::Instance().OnInterrupt();
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
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(WaitForInterrupts, signals).detach();
}
