// What each Ctrl-C press does in each phase of a run.
#include <gtest/gtest.h>

#include <vector>

#include "interrupt_control.h"

namespace {

struct PressCase {
    const char* name;
    InterruptPhase phase;
    std::vector<InterruptAction> actions;  // one per press
    bool stopRequested;
    bool cancelled;
};

TEST(CliInterruptControl, EachPressInEachPhase) {
    const PressCase cases[] = {
        {"free: at once", InterruptPhase::Free, {InterruptAction::ExitNow}, true, false},
        {"fast speed: after the step", InterruptPhase::Guarded,
         {InterruptAction::Deferred, InterruptAction::Deferred}, true, false},
        {"upload, once: only a warning", InterruptPhase::Uploading, {InterruptAction::Warned}, false, false},
        {"upload, twice: cancel", InterruptPhase::Uploading, {InterruptAction::Warned, InterruptAction::Cancel},
         true, true},
        {"upload, three times: still cancel", InterruptPhase::Uploading,
         {InterruptAction::Warned, InterruptAction::Cancel, InterruptAction::Cancel}, true, true},
    };
    for (const PressCase& c : cases) {
        InterruptControl control;
        control.SetPhase(c.phase);
        for (InterruptAction expected : c.actions) EXPECT_EQ(control.OnInterrupt(), expected) << c.name;
        EXPECT_EQ(control.StopRequested(), c.stopRequested) << c.name;
        EXPECT_EQ(control.Cancelled(), c.cancelled) << c.name;
        EXPECT_EQ(control.CancelFlag()->load(), c.cancelled) << c.name;
    }
}

// SIGTERM or Ctrl-Break is the second Ctrl-C at once; a hang-up stops nothing at stake.
TEST(CliInterruptControl, StopRequestsAndHangUpsInEachPhase) {
    struct Case {
        const char* name;
        InterruptPhase phase;
        bool hangUp;
        InterruptAction action;
        bool stopRequested;
        bool cancelled;
    };
    const Case cases[] = {
        {"stop, free", InterruptPhase::Free, false, InterruptAction::ExitNow, true, false},
        {"stop, fast speed", InterruptPhase::Guarded, false, InterruptAction::Deferred, true, false},
        {"stop, upload", InterruptPhase::Uploading, false, InterruptAction::Cancel, true, true},
        {"hang-up, free", InterruptPhase::Free, true, InterruptAction::ExitNow, true, false},
        {"hang-up, fast speed", InterruptPhase::Guarded, true, InterruptAction::Ignored, false, false},
        {"hang-up, upload", InterruptPhase::Uploading, true, InterruptAction::Ignored, false, false},
    };
    for (const Case& c : cases) {
        InterruptControl control;
        control.SetPhase(c.phase);
        EXPECT_EQ(c.hangUp ? control.OnHangUp() : control.OnStopRequest(), c.action) << c.name;
        EXPECT_EQ(control.StopRequested(), c.stopRequested) << c.name;
        EXPECT_EQ(control.Cancelled(), c.cancelled) << c.name;
    }
}

TEST(CliInterruptControl, AWarningBeforeTheUploadDoesNotCountTowardsCancelling) {
    InterruptControl control;
    control.SetPhase(InterruptPhase::Uploading);
    EXPECT_EQ(control.OnInterrupt(), InterruptAction::Warned);
    control.SetPhase(InterruptPhase::Guarded);
    control.SetPhase(InterruptPhase::Uploading);  // a new upload starts counting again
    EXPECT_EQ(control.OnInterrupt(), InterruptAction::Warned);
    EXPECT_FALSE(control.Cancelled());
}

TEST(CliInterruptControl, TheWarningSaysWhatStoppingCosts) {
    EXPECT_STREQ(InterruptControl::Message(InterruptAction::Warned),
                 "Stopping now leaves the unit without firmware. The upload goes on; press Ctrl-C again to stop "
                 "it anyway.");
}

}  // namespace
