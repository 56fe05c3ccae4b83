#include "interrupt_control.h"

#include <chrono>

InterruptControl& InterruptControl::Instance() {
    static InterruptControl instance;
    return instance;
}

void InterruptControl::SetPhase(InterruptPhase phase) {
    if (phase == InterruptPhase::Uploading) uploadPresses_.store(0);
    phase_.store(phase);
}

InterruptAction InterruptControl::OnInterrupt() { return Stop(false); }

InterruptAction InterruptControl::OnStopRequest() { return Stop(true); }

InterruptAction InterruptControl::Stop(bool cancelAtOnce) {
    switch (phase_.load()) {
    case InterruptPhase::Free:
        stopRequested_.store(true);
        return InterruptAction::ExitNow;
    case InterruptPhase::Guarded:
        stopRequested_.store(true);
        return InterruptAction::Deferred;
    case InterruptPhase::Uploading:
        break;
    }
    if (uploadPresses_.fetch_add(1) == 0 && !cancelAtOnce) return InterruptAction::Warned;
    stopRequested_.store(true);
    cancel_.store(true);
    return InterruptAction::Cancel;
}

InterruptAction InterruptControl::OnHangUp() {
    if (phase_.load() != InterruptPhase::Free) return InterruptAction::Ignored;
    stopRequested_.store(true);
    return InterruptAction::ExitNow;
}

void InterruptControl::MarkPortReleased() {
    {
        std::lock_guard<std::mutex> lock(releaseMutex_);
        portReleased_ = true;
    }
    releaseSignal_.notify_all();
}

bool InterruptControl::WaitForPortRelease(int milliseconds) {
    std::unique_lock<std::mutex> lock(releaseMutex_);
    return releaseSignal_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return portReleased_; });
}

const char* InterruptControl::Message(InterruptAction action) {
    switch (action) {
    case InterruptAction::ExitNow:
        return "Interrupted.";
    case InterruptAction::Deferred:
        return "Interrupted: stopping after the current step, once the unit has been asked back to 115200 bit/s.";
    case InterruptAction::Warned:
        return "Stopping now leaves the unit without firmware. The upload goes on; press Ctrl-C again to stop "
               "it anyway.";
    case InterruptAction::Cancel:
        return "Stopping the upload after the current block. The unit will be left without firmware.";
    case InterruptAction::Ignored:
        return "";
    }
    return "";
}

void InterruptControl::Reset() {
    phase_.store(InterruptPhase::Free);
    uploadPresses_.store(0);
    stopRequested_.store(false);
    cancel_.store(false);
    std::lock_guard<std::mutex> lock(releaseMutex_);
    portReleased_ = false;
}
