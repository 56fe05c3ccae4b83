// What Ctrl-C means at each moment of a run.
//
// While nothing is at stake the tool stops at once. While the unit talks at a fast speed
// the stop waits for the current step, so the unit can be asked back to 115200 first.
// While an image is going out, stopping leaves the unit without firmware: the first
// Ctrl-C only warns, the second raises the cancel flag that the upload checks between
// blocks. SIGTERM and Ctrl-Break count as that second press; a hang-up or a closed
// output does not stop an update at all. The platform files (interrupt_posix.cpp, interrupt_windows.cpp) deliver the
// presses; the decisions are here, in one place, and tested without signals.
#pragma once
#include <atomic>
#include <condition_variable>
#include <mutex>

enum class InterruptPhase {
    Free,       // stop at once
    Guarded,    // the unit may be at a fast speed: stop after the current step
    Uploading,  // an image is going out: warn first, cancel on the second press
};

enum class InterruptAction {
    ExitNow,   // end the process at once (exit 7)
    Deferred,  // the run stops after its current step
    Warned,    // the first press during an upload: explained, nothing stopped
    Cancel,    // the cancel flag is raised; the upload ends after its current block
    Ignored,   // nothing changes: the run goes on to its end
};

class InterruptControl {
public:
    // The one instance the platform handler reports to.
    static InterruptControl& Instance();

    void SetPhase(InterruptPhase phase);
    InterruptPhase Phase() const { return phase_.load(); }

    // One press of Ctrl-C; safe to call from the handler's thread.
    InterruptAction OnInterrupt();
    // A request to stop that is not a key press (SIGTERM, Ctrl-Break, the console closing
    // with no time left): at once when nothing is at stake, otherwise as the second Ctrl-C.
    InterruptAction OnStopRequest();
    // The terminal or the output went away (SIGHUP, the console closing): not a request
    // to stop the unit's update. Ends the process only while nothing is at stake.
    InterruptAction OnHangUp();

    // The run let its port go: a handler that waits for that (the console's close event,
    // which allows only a few seconds) wakes up.
    void MarkPortReleased();
    // Waits at most `milliseconds` for MarkPortReleased; true when it came.
    bool WaitForPortRelease(int milliseconds);

    // True once the user asked to stop (any press outside Free).
    bool StopRequested() const { return stopRequested_.load(); }
    // The flag the device link's upload checks between blocks.
    const std::atomic<bool>* CancelFlag() const { return &cancel_; }
    bool Cancelled() const { return cancel_.load(); }

    // What to print for an action (one line, no line break).
    static const char* Message(InterruptAction action);

    // Back to the state of a new run (tests).
    void Reset();

private:
    // A press (warned first during an upload) or a request that cancels at once.
    InterruptAction Stop(bool cancelAtOnce);

    std::atomic<InterruptPhase> phase_{InterruptPhase::Free};
    std::atomic<int> uploadPresses_{0};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> cancel_{false};
    std::mutex releaseMutex_;
    std::condition_variable releaseSignal_;
    bool portReleased_ = false;
};

// Installs the platform's Ctrl-C handling, which reports each press to
// InterruptControl::Instance() and acts on its answer. Call once, early in main, before
// any other thread starts.
void InstallInterruptHandling();
