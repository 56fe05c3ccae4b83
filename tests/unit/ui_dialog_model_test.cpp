// The updater dialog's states and what it shows for each event.
#include <gtest/gtest.h>

#include <string>

#include "dialog_model.h"

namespace {

UpdaterDialogModel ReadyWithKestrale() {
    UpdaterDialogModel model;
    model.OnStartupDiscovery(KIND_KESTRALE | KIND_SERIAL, VersionTriple{1, 5, 'A'}, "Kestrale Serial v1.5.A");
    return model;
}

TEST(DialogStartup, FlashableUnitsAreShown) {
    struct Case {
        DeviceKind kind;
        VersionTriple version;
        const char* description;
        const char* shownVersion;
        const char* shownDescription;
    };
    const Case cases[] = {
        {0x81, {1, 5, 'A'}, "Kestrale Serial v1.5.A", "01.05.A", "Kestrale Serial v1.5.A"},
        {0x41, {2, 0, 'A'}, "Kestrale USB v2.0.A", "02.00.A", "Kestrale USB v2.0.A"},
        {0x02, {12, 0, 'F'}, "Grist & Pell v12.0.F", "12.00.F", "Grist && Pell v12.0.F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        UpdaterDialogModel model;
        const StartupView view = model.OnStartupDiscovery(c.kind, c.version, c.description);
        EXPECT_TRUE(view.deviceFound);
        EXPECT_STREQ(view.firmwareVersion, c.shownVersion);
        EXPECT_STREQ(view.hardwareDescription, c.shownDescription);
        EXPECT_EQ(model.state, DialogState::Ready);
    }
}

TEST(DialogStartup, AnythingElseIsNotFound) {
    // Nothing answered, a Tamberlin I or II, or an unknown letter: all the same.
    const DeviceKind kinds[] = {0, KIND_TAMBERLIN_I, KIND_TAMBERLIN_II, KIND_USB | KIND_SERIAL};
    for (DeviceKind kind : kinds) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        UpdaterDialogModel model;
        const StartupView view = model.OnStartupDiscovery(kind, VersionTriple{3, 1, '1'}, "Tamberlin I v3.1.1");
        EXPECT_FALSE(view.deviceFound);
        EXPECT_STREQ(view.firmwareVersion, "Not Found");  // no '!': the description keeps "Not Found!"
        EXPECT_STREQ(view.hardwareDescription, "Not Found!") << "a description discovery wrote is not shown";
        EXPECT_EQ(model.state, DialogState::ReadyWithoutDevice);
    }
}

TEST(DialogUpdate, CloseAndSecondUpdateAreRefusedUntilTheReportIsClosed) {
    UpdaterDialogModel model = ReadyWithKestrale();
    ASSERT_TRUE(model.BeginUpdate());
    EXPECT_EQ(model.state, DialogState::Busy);
    EXPECT_FALSE(model.RequestClose()) << "IDCANCEL or WM_CLOSE while Busy";
    EXPECT_FALSE(model.BeginUpdate()) << "a second worker while one runs";
    EXPECT_EQ(model.state, DialogState::Busy);

    model.OnUpdateDone(RESULT_BAD_IMAGE, 2, 0, VersionTriple{});
    EXPECT_EQ(model.state, DialogState::Reporting);
    EXPECT_FALSE(model.RequestClose()) << "while the result is being shown";
    EXPECT_FALSE(model.BeginUpdate());

    model.OnReportClosed();
    EXPECT_EQ(model.state, DialogState::Ready);
    EXPECT_TRUE(model.RequestClose());
    EXPECT_EQ(model.state, DialogState::Ended);
}

TEST(DialogUpdate, ReturnsToTheReadyStateItCameFrom) {
    UpdaterDialogModel model;
    model.OnStartupDiscovery(0, VersionTriple{}, "");
    ASSERT_TRUE(model.BeginUpdate());  // the path and the device are not tested first
    model.OnUpdateDone(RESULT_REFUSED, 1, 0, VersionTriple{});
    model.OnReportClosed();
    EXPECT_EQ(model.state, DialogState::ReadyWithoutDevice);
    EXPECT_TRUE(model.BeginUpdate()) << "the same update can be started again";
}

TEST(DialogUpdate, WorkerThatCannotStartIsReportedAndTheDialogIsReadyAgain) {
    UpdaterDialogModel model = ReadyWithKestrale();
    ASSERT_TRUE(model.BeginUpdate());
    const ReportView view = model.OnWorkerNotStarted();
    EXPECT_STREQ(view.text, "Update Failed!");
    EXPECT_STREQ(view.caption, "Error!");
    EXPECT_EQ(view.icon, 0x10u);
    EXPECT_FALSE(view.updateFirmwareVersion);
    EXPECT_EQ(model.state, DialogState::Reporting);
    model.OnReportClosed();
    EXPECT_EQ(model.state, DialogState::Ready);
    EXPECT_TRUE(model.RequestClose());
}

TEST(DialogReport, SuccessShowsTheReidentifiedVersion) {
    struct Case {
        DeviceKind kindAfter;
        VersionTriple versionAfter;
        const char* text;
        bool updatesVersion;
        const char* version;
    };
    const Case cases[] = {
        {KIND_KESTRALE | KIND_SERIAL, {1, 6, 'A'}, "Update Successful. New version is 01.06.A", true, "01.06.A"},
        // After an update any answering unit counts, a Tamberlin too.
        {KIND_TAMBERLIN_II, {4, 2, '2'}, "Update Successful. New version is 04.02.2", true, "04.02.2"},
        // No unit answered: the old version stays and is not passed off as the new one.
        {0, {0, 0, 0}, "Update Successful. The new firmware version could not be read.", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        UpdaterDialogModel model = ReadyWithKestrale();
        ASSERT_TRUE(UpdaterDialogModel::NeedsReidentification(RESULT_OK));
        ASSERT_TRUE(model.BeginUpdate());
        const ReportView view = model.OnUpdateDone(RESULT_OK, 2, c.kindAfter, c.versionAfter);
        EXPECT_STREQ(view.text, c.text);
        EXPECT_STREQ(view.caption, "Success");
        EXPECT_EQ(view.icon, 0x40u);
        EXPECT_EQ(view.updateFirmwareVersion, c.updatesVersion);
        if (c.updatesVersion) {
            EXPECT_STREQ(view.firmwareVersion, c.version);
        }
    }
}

TEST(DialogReport, FailuresUseTheTableAndNeverTouchTheVersion) {
    struct Case {
        ResultCode result;
        int32_t protocolFlags;
        const char* text;
        const char* caption;
    };
    const Case cases[] = {
        {RESULT_REFUSED, 1, "Device not found. Be sure it is connected and configured.",
         "Approved Device Not Connected"},
        {RESULT_REFUSED, 2, "Update Failed!", "Error!"},  // '?' from a capable unit
        {RESULT_BAD_RESPONSE, 2, "Kestrale returned an invalid response.", "Update failed"},
        {RESULT_FAILED, 2, "Update Failed!", "Error!"},  // empty path, missing file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("result " + std::to_string(c.result));
        EXPECT_FALSE(UpdaterDialogModel::NeedsReidentification(c.result));
        UpdaterDialogModel model = ReadyWithKestrale();
        ASSERT_TRUE(model.BeginUpdate());
        const ReportView view = model.OnUpdateDone(c.result, c.protocolFlags, KIND_KESTRALE, VersionTriple{9, 9, 'A'});
        EXPECT_STREQ(view.text, c.text);
        EXPECT_STREQ(view.caption, c.caption);
        EXPECT_EQ(view.icon, 0x10u);
        EXPECT_FALSE(view.updateFirmwareVersion);
    }
}

// --- Rescans ---------------------------------------------------------------------------

TEST(DialogRescan, BeforeAnUpdateOnlyWhenNoFlashableUnitIsOpen) {
    struct Case {
        const char* name;
        DeviceKind startupKind;
        bool portOpen;
        bool rescan;
    };
    const Case cases[] = {
        {"Kestrale open", KIND_KESTRALE | KIND_USB, true, false},
        {"Kestrale, port closed", KIND_KESTRALE | KIND_USB, false, true},
        {"nothing found", 0, false, true},
        {"Tamberlin found", KIND_TAMBERLIN_II, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdaterDialogModel model;
        model.OnStartupDiscovery(c.startupKind, VersionTriple{1, 5, 'A'}, "x");
        EXPECT_FALSE(model.NeedsRescanBeforeUpdate(c.portOpen)) << "only once \"Update!\" was pressed";
        ASSERT_TRUE(model.BeginUpdate());
        EXPECT_EQ(model.NeedsRescanBeforeUpdate(c.portOpen), c.rescan);
    }
}

TEST(DialogRescan, BeforeAnUpdateFindingAUnitGoesOnAndFindingNoneShowsTheNotConnectedRow) {
    UpdaterDialogModel model;
    model.OnStartupDiscovery(0, VersionTriple{}, "");
    ASSERT_TRUE(model.BeginUpdate());
    StartupView found = model.OnRescan(KIND_GRIST_PELL, VersionTriple{12, 0, 'F'}, "Grist & Pell v12.0.F");
    EXPECT_TRUE(found.deviceFound);
    EXPECT_STREQ(found.firmwareVersion, "12.00.F");
    EXPECT_STREQ(found.hardwareDescription, "Grist && Pell v12.0.F");
    EXPECT_TRUE(model.FlashableUnitIdentified());
    EXPECT_EQ(model.state, DialogState::Busy) << "the update goes on";
    model.OnWorkerStarted();
    model.OnUpdateDone(RESULT_BAD_RESPONSE, 2, 0, VersionTriple{});
    model.OnReportClosed();
    EXPECT_EQ(model.state, DialogState::Ready) << "back to the state the rescan found";

    ASSERT_TRUE(model.BeginUpdate());
    StartupView gone = model.OnRescan(0, VersionTriple{}, "");
    EXPECT_FALSE(gone.deviceFound);
    EXPECT_STREQ(gone.firmwareVersion, "Not Found");
    EXPECT_STREQ(gone.hardwareDescription, "Not Found!");
    EXPECT_FALSE(model.FlashableUnitIdentified());
    const ReportView view = model.OnNoUnitForUpdate();
    EXPECT_STREQ(view.text, "Device not found. Be sure it is connected and configured.");
    EXPECT_STREQ(view.caption, "Approved Device Not Connected");
    EXPECT_EQ(view.icon, 0x10u);
    EXPECT_FALSE(model.RefusesSessionEnd()) << "no worker was started";
    EXPECT_FALSE(model.NeedsRescanAfterReport()) << "the rescan was just made";
    model.OnReportClosed();
    EXPECT_EQ(model.state, DialogState::ReadyWithoutDevice);
}

TEST(DialogRescan, AfterAPortFailureOrASuccessThatFoundNothing) {
    struct Case {
        ResultCode result;
        DeviceKind kindAfter;
        bool rescan;
    };
    const Case cases[] = {
        {RESULT_FAILED, KIND_KESTRALE, true},       {RESULT_NOT_OPEN, KIND_KESTRALE, true},
        {RESULT_WRITE_FAILED, KIND_KESTRALE, true}, {RESULT_READ_FAILED, KIND_KESTRALE, true},
        {RESULT_OK, 0, true},                        {RESULT_OK, KIND_KESTRALE | KIND_USB, false},
        {RESULT_OK, KIND_TAMBERLIN_I, false},        {RESULT_REFUSED, 0, false},
        {RESULT_BAD_RESPONSE, 0, false},             {RESULT_DEVICE_ERROR, 0, false},
        {RESULT_EXT_CHECKSUM, 0, false},             {RESULT_BUFFERING_FAILED, 0, false},
        {RESULT_INT_CHECKSUM, 0, false},             {RESULT_BAD_IMAGE, 0, false},
        {RESULT_FLASH_FAILED, 0, false},             {RESULT_SHORT_READ, 0, false},
        {RESULT_BAD_ARGUMENT, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("result " + std::to_string(c.result) + ", kind after " + std::to_string(c.kindAfter));
        EXPECT_EQ(UpdaterDialogModel::NeedsRescanAfter(c.result, c.kindAfter), c.rescan);
        UpdaterDialogModel model = ReadyWithKestrale();
        ASSERT_TRUE(model.BeginUpdate());
        model.OnWorkerStarted();
        ASSERT_TRUE(model.OnResultArrived(c.result));
        model.OnUpdateDone(c.result, 2, c.kindAfter, VersionTriple{1, 6, 'A'});
        EXPECT_EQ(model.NeedsRescanAfterReport(), c.rescan);
        if (c.rescan) model.OnRescan(0, VersionTriple{}, "");
        model.OnReportClosed();
        EXPECT_FALSE(model.NeedsRescanAfterReport());
        EXPECT_EQ(model.state, c.rescan ? DialogState::ReadyWithoutDevice : DialogState::Ready);
    }
}

TEST(DialogRescan, ATamberlinAnsweringAfterASuccessIsRescannedAtTheNextUpdate) {
    UpdaterDialogModel model = ReadyWithKestrale();
    ASSERT_TRUE(model.BeginUpdate());
    EXPECT_FALSE(model.NeedsRescanBeforeUpdate(true));
    model.OnUpdateDone(RESULT_OK, 2, KIND_TAMBERLIN_II, VersionTriple{3, 1, '2'});
    model.OnReportClosed();
    ASSERT_TRUE(model.BeginUpdate());
    EXPECT_TRUE(model.NeedsRescanBeforeUpdate(true)) << "the unit that answers cannot take firmware";
}

// --- One window at a time, session end -------------------------------------------------

TEST(DialogPicker, AResultArrivingWhileItIsOpenIsHeldUntilItCloses) {
    UpdaterDialogModel model = ReadyWithKestrale();
    ASSERT_TRUE(model.BeginUpdate());
    model.OnWorkerStarted();
    ASSERT_TRUE(model.BeginBrowse()) << "\"...\" stays usable during an update";
    EXPECT_TRUE(model.PickerOpen());
    EXPECT_FALSE(model.BeginBrowse()) << "a second picker";
    EXPECT_FALSE(model.OnResultArrived(RESULT_READ_FAILED)) << "shown over the picker";
    EXPECT_FALSE(model.RefusesSessionEnd()) << "the update has ended";
    EXPECT_EQ(model.state, DialogState::Busy);
    EXPECT_FALSE(model.RequestClose());

    ResultCode held = RESULT_OK;
    ASSERT_TRUE(model.EndBrowse(&held));
    EXPECT_EQ(held, RESULT_READ_FAILED);
    EXPECT_FALSE(model.PickerOpen());
    model.OnUpdateDone(held, 2, 0, VersionTriple{});
    EXPECT_FALSE(model.BeginBrowse()) << "not over the message box";
    model.OnReportClosed();

    ASSERT_TRUE(model.BeginBrowse());
    EXPECT_FALSE(model.EndBrowse(&held)) << "nothing held when no result arrived";
}

TEST(DialogPicker, WhileItIsOpenTheDialogNeitherEndsNorStartsAnUpdate) {
    UpdaterDialogModel model = ReadyWithKestrale();
    ASSERT_TRUE(model.BeginBrowse());
    EXPECT_FALSE(model.RequestClose()) << "the picker would be left alone on screen";
    EXPECT_FALSE(model.BeginUpdate());
    EXPECT_EQ(model.state, DialogState::Ready);
    ASSERT_FALSE(model.EndBrowse(nullptr));
    EXPECT_TRUE(model.RequestClose());
}

TEST(DialogSessionEnd, IsRefusedFromTheWorkersStartUntilItsResult) {
    UpdaterDialogModel model = ReadyWithKestrale();
    EXPECT_FALSE(model.RefusesSessionEnd());
    ASSERT_TRUE(model.BeginUpdate());
    EXPECT_FALSE(model.RefusesSessionEnd()) << "nothing runs yet";
    model.OnWorkerStarted();
    EXPECT_TRUE(model.RefusesSessionEnd());
    ASSERT_TRUE(model.OnResultArrived(RESULT_OK));
    EXPECT_FALSE(model.RefusesSessionEnd());
    model.OnUpdateDone(RESULT_OK, 2, KIND_KESTRALE, VersionTriple{1, 6, 'A'});
    model.OnReportClosed();
    EXPECT_FALSE(model.RefusesSessionEnd());
    EXPECT_EQ(std::wstring(SESSION_END_BLOCK_REASON),
              L"Updating the unit's firmware. Please wait until it finishes.");

    ASSERT_TRUE(model.BeginUpdate());
    model.OnWorkerStarted();
    model.OnWorkerNotStarted();
    EXPECT_FALSE(model.RefusesSessionEnd()) << "a worker that never ran holds nothing up";
}

}  // namespace
