// The Windows dialog end to end: what a user sees and what reaches the unit, for start-up,
// updates, failures, the picker and closing. Each scenario starts the program afresh.
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "dialog_scenario.h"
#include "sim_bench.h"

namespace {

const std::string kUpdating = "Updating...";
const char kVersionQuery[] = "VV";

Fault FaultAt(FaultStep step, int index, FaultAction action, uint8_t byte = 0) {
    Fault fault;
    fault.step = step;
    fault.index = index;
    fault.action = action;
    fault.byte = byte;
    return fault;
}

// "max=M distinct=D range=R samples=S" from watch-progress.
struct ProgressWatch {
    long max = -1, distinct = -1, range = -1, samples = -1;
};

ProgressWatch ParseProgressWatch(const std::string& text) {
    ProgressWatch watch;
    std::istringstream in(text);
    std::string field;
    while (in >> field) {
        size_t eq = field.find('=');
        if (eq == std::string::npos) continue;
        long value = std::stol(field.substr(eq + 1));
        std::string key = field.substr(0, eq);
        if (key == "max") watch.max = value;
        if (key == "distinct") watch.distinct = value;
        if (key == "range") watch.range = value;
        if (key == "samples") watch.samples = value;
    }
    return watch;
}

std::string Id(int id) { return std::to_string(id); }

}  // namespace

// --- Start-up -------------------------------------------------------------------------

TEST_F(DialogScenario, ShowsTheKestraleOnCom2AfterTryingCom1AndCancelEndsWithExitCode0) {
    UnitConfig silent = UnitConfig::Silent();
    PlaceUnits({{1, silent}, {2, UnitConfig::Kestrale('U', {1, 5, 'A'})}, {3, UnitConfig::GristPell()}});
    ASSERT_TRUE(StartDialog());

    EXPECT_EQ(Text(ID_HW_DESCRIPTION), "Kestrale USB v1.5.A");
    EXPECT_EQ(Text(ID_FW_VERSION), "01.05.A");
    EXPECT_EQ(Text(ID_IMAGE_PATH), "");
    ExpectButtonsRestored();
    // COM1 was asked first and stayed silent; the search ended at COM2.
    EXPECT_EQ(Bytes(SimBench::Get().HostBytes(1)), kVersionQuery);
    EXPECT_EQ(Bytes(SimBench::Get().HostBytes(2)).substr(0, 2), kVersionQuery);
    EXPECT_TRUE(SimBench::Get().HostBytes(3).empty()) << "COM3 was tried after COM2 answered";
    EXPECT_TRUE(WaitPortReleased(1)) << "COM1 stayed open after the search moved on";
    EXPECT_TRUE(SimBench::Get().PortInUse(2)) << "the found unit's port is not held";
    Screenshot("dialog-found", /*forDocs=*/true);

    ASSERT_TRUE(EndWithCancel());
    EXPECT_TRUE(WaitPortReleased(2)) << "COM2 still open after the program ended";
    EXPECT_EQ(SimBench::Get().SpeedCommands(2), 0) << "a speed command at 115200 is not needed";
}

TEST_F(DialogScenario, NothingAnsweringShowsNotFoundAndUpdateRescansBeforeRefusing) {
    PlaceUnits({{5, UnitConfig::Silent()}});
    ASSERT_TRUE(StartDialog());

    EXPECT_EQ(Text(ID_FW_VERSION), "Not Found");
    EXPECT_EQ(Text(ID_HW_DESCRIPTION), "Not Found!");
    ExpectButtonsRestored();
    EXPECT_EQ(Bytes(SimBench::Get().HostBytes(5)), kVersionQuery);
    EXPECT_TRUE(WaitPortReleased(5)) << "COM5 (opened, silent) was not closed";

    // "Update!" stays available; it looks for a unit again first, and with none the
    // dialog says what to do about it.
    ASSERT_TRUE(SetPath(WriteImage("fw.enc", ValidImage(300, 1))));
    ASSERT_TRUE(Drive("click " + Id(IDOK_BUTTON)));
    MessageBoxSeen box;
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Approved Device Not Connected");
    EXPECT_EQ(box.text, "Device not found. Be sure it is connected and configured.");
    EXPECT_EQ(Bytes(SimBench::Get().HostBytes(5)), std::string(kVersionQuery) + kVersionQuery)
        << "the port was not asked again, or was sent more than the version query";
    EXPECT_EQ(Enabled(IDCANCEL_BUTTON), "0") << "the buttons are enabled under the message box";
    ASSERT_TRUE(AcknowledgeMessageBox());
    ExpectButtonsRestored();
    EXPECT_EQ(Text(ID_FW_VERSION), "Not Found");
    EXPECT_EQ(Text(ID_HW_DESCRIPTION), "Not Found!");
    EXPECT_TRUE(WaitPortReleased(5)) << "COM5 was not closed after the rescan";

    ASSERT_TRUE(EndWithCancel());
}

TEST_F(DialogScenario, AUnitPluggedInAfterNotFoundIsFoundWhenUpdateIsPressedAndUpdated) {
    PlaceUnits({{2, UnitConfig::Silent()}});
    ASSERT_TRUE(StartDialog());
    ASSERT_EQ(Text(ID_FW_VERSION), "Not Found");

    UnitConfig kestrale = UnitConfig::Kestrale('U', {1, 5, 'A'});
    kestrale.versionAfterUpload = {1, 6, 'A'};
    SimBench::Get().Configure(2, kestrale);  // plugged in on the port that was silent
    const std::vector<uint8_t> image = ValidImage(900, 2);
    ASSERT_TRUE(SetPath(WriteImage("fw.enc", image)));
    ASSERT_TRUE(Drive("click " + Id(IDOK_BUTTON)));
    MessageBoxSeen box;
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Success");
    EXPECT_EQ(box.text, "Update Successful. New version is 01.06.A");
    EXPECT_EQ(Text(ID_HW_DESCRIPTION), "Kestrale USB v1.5.A") << "the rescan's find is shown";
    EXPECT_EQ(Text(ID_FW_VERSION), "01.06.A");
    ASSERT_TRUE(AcknowledgeMessageBox());
    ExpectButtonsRestored();
    EXPECT_TRUE(SimBench::Get().ReceivedImage(2) == image) << "the unit did not receive the image byte for byte";
    ASSERT_TRUE(EndWithCancel());
}

TEST_F(DialogScenario, ATamberlinAnsweringFirstIsShownAsNotFound) {
    struct Row {
        const char* name;
        UnitConfig unit;
    };
    const Row rows[] = {{"Tamberlin I", UnitConfig::TamberlinI()}, {"Tamberlin II", UnitConfig::TamberlinII()}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PlaceUnits({{1, row.unit}, {3, UnitConfig::Kestrale()}});
        ASSERT_TRUE(StartDialog());
        EXPECT_EQ(Text(ID_FW_VERSION), "Not Found");
        EXPECT_EQ(Text(ID_HW_DESCRIPTION), "Not Found!");
        EXPECT_TRUE(WaitPortReleased(1)) << "the Tamberlin's port was not closed";
        EXPECT_TRUE(SimBench::Get().HostBytes(3).empty()) << "the search went on after COM1 answered";
        ASSERT_TRUE(EndWithCancel());
    }
}

TEST_F(DialogScenario, ASecondStartBringsTheFirstDialogToTheFrontAndEnds) {
    PlaceUnits({{1, UnitConfig::Kestrale()}});
    ASSERT_TRUE(StartDialog());
    const size_t sentByFirst = SimBench::Get().HostBytes(1).size();
    std::string value;
    ASSERT_TRUE(Drive("take-foreground"));
    ASSERT_TRUE(Drive("foreground", &value));
    ASSERT_EQ(value, "0") << "the dialog could not be put behind for the check";

    ChildProcess second;
    std::string error;
    ASSERT_TRUE(session_->StartProgram(&second, "DruselUpdater.exe", {}, /*pipes=*/false, &error)) << error;
    std::optional<int> code = second.WaitExit(30000);
    ASSERT_TRUE(code.has_value()) << "the second instance did not end";
    EXPECT_EQ(*code, 0);

    ASSERT_TRUE(Drive("count-dialogs", &value));
    EXPECT_EQ(value, "1");
    ASSERT_TRUE(Drive("foreground", &value));
    EXPECT_EQ(value, "1") << "the first dialog was not brought to the front";
    EXPECT_EQ(SimBench::Get().HostBytes(1).size(), sentByFirst) << "the second instance spoke to the port";
    EXPECT_EQ(Text(ID_FW_VERSION), "01.05.A");
    ASSERT_TRUE(EndWithCancel());
}

TEST_F(DialogScenario, APortInUseIsPassedOver) {
    PlaceUnits({{2, UnitConfig::Kestrale()}});
    // wine opens a directory as a port with "access denied": the answer of a port that
    // another program holds.
    std::string error;
    ASSERT_TRUE(session_->MapPort(1, ScenarioDir(), &error)) << error;
    ASSERT_TRUE(StartDialog());
    EXPECT_EQ(Text(ID_HW_DESCRIPTION), "Kestrale USB v1.5.A");
    EXPECT_EQ(Text(ID_FW_VERSION), "01.05.A");
    ASSERT_TRUE(EndWithCancel());
}

TEST_F(DialogScenario, AGristAndPellIsDescribedWithItsAmpersandShown) {
    PlaceUnits({{1, UnitConfig::GristPell({12, 0, 'F'})}});
    ASSERT_TRUE(StartDialog());
    std::string style;
    ASSERT_TRUE(Drive("style " + Id(ID_HW_DESCRIPTION), &style));
    uint32_t styleBits = static_cast<uint32_t>(std::stoul(style, nullptr, 16));
    EXPECT_EQ(DrawnStaticText(Text(ID_HW_DESCRIPTION), styleBits), "Grist & Pell v12.0.F");
    EXPECT_EQ(Text(ID_FW_VERSION), "12.00.F");
    ASSERT_TRUE(EndWithCancel());
}

// --- Updates --------------------------------------------------------------------------

TEST_F(DialogScenario, APacedUpdateMovesTheBarAndReportsTheNewVersion) {
    UnitConfig kestrale = UnitConfig::Kestrale('U', {1, 5, 'A'});
    kestrale.versionAfterUpload = {1, 6, 'A'};
    kestrale.paced = true;
    PlaceUnits({{2, kestrale}});
    // 24000 bytes: 93 full blocks and a short one, about two seconds at the line rate.
    const std::vector<uint8_t> image = ValidImage(24000, 5);
    const std::string path = WriteImage("release.enc", image);
    ASSERT_TRUE(StartDialog());
    ASSERT_TRUE(SetPath(path));
    ASSERT_TRUE(Drive("caret-end " + Id(ID_IMAGE_PATH)));

    ASSERT_TRUE(Drive("click " + Id(IDOK_BUTTON)));
    ASSERT_TRUE(Drive("wait-text " + Id(IDOK_BUTTON) + " 10000 " + kUpdating));
    EXPECT_EQ(Enabled(IDOK_BUTTON), "0");
    EXPECT_EQ(Enabled(IDCANCEL_BUTTON), "0");
    Screenshot("dialog-updating", /*forDocs=*/true);

    std::string watched;
    ASSERT_TRUE(Drive("watch-progress 60000", &watched));
    ProgressWatch watch = ParseProgressWatch(watched);
    EXPECT_EQ(watch.range, 94) << watched;
    EXPECT_GE(watch.distinct, 5) << "the bar was not seen moving: " << watched;
    EXPECT_LE(watch.max, 94) << watched;

    MessageBoxSeen box;
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Success");
    EXPECT_EQ(box.text, "Update Successful. New version is 01.06.A");
    EXPECT_EQ(Text(ID_FW_VERSION), "01.06.A");
    EXPECT_EQ(Text(ID_HW_DESCRIPTION), "Kestrale USB v1.5.A");
    Screenshot("dialog-success", /*forDocs=*/false);
    ASSERT_TRUE(AcknowledgeMessageBox());

    ExpectButtonsRestored();
    EXPECT_EQ(Text(ID_IMAGE_PATH), path) << "the path must stay for another run";
    std::string progress;
    ASSERT_TRUE(Drive("progress", &progress));
    EXPECT_EQ(progress.substr(0, progress.find(' ')), "0") << "the bar is reset at the end";
    EXPECT_TRUE(SimBench::Get().ReceivedImage(2) == image) << "the unit did not receive the image byte for byte";

    ASSERT_TRUE(EndWithCancel());
    EXPECT_TRUE(WaitPortReleased(2));
}

TEST_F(DialogScenario, CloseRequestsAndASessionEndAreRefusedWhileAnUpdateRuns) {
    UnitConfig kestrale = UnitConfig::Kestrale();
    kestrale.paced = true;
    PlaceUnits({{1, kestrale}});
    const std::vector<uint8_t> image = ValidImage(40000, 6);  // about 3.5 s at the line rate
    ASSERT_TRUE(StartDialog());
    ASSERT_TRUE(SetPath(WriteImage("long.enc", image)));
    ASSERT_TRUE(Drive("click " + Id(IDOK_BUTTON)));
    ASSERT_TRUE(Drive("wait-text " + Id(IDOK_BUTTON) + " 10000 " + kUpdating));

    // Cancel (as Escape sends it), Escape itself, WM_CLOSE (Alt+F4) and the close box.
    ASSERT_TRUE(Drive("command " + Id(IDCANCEL_BUTTON)));
    ASSERT_TRUE(Drive("key " + Id(ID_IMAGE_PATH) + " 27"));
    ASSERT_TRUE(Drive("close"));
    ASSERT_TRUE(Drive("sys-close"));
    std::string endSession;
    ASSERT_TRUE(Drive("query-end-session", &endSession));
    EXPECT_EQ(endSession, "0") << "a logoff would end the program with the unit half-programmed";
    // The block reason given with the refusal cannot be read back here: wine 8 has no
    // ShutdownBlockReasonQuery (calling it ends the caller).
    ASSERT_TRUE(Drive("sync 10000")) << "the dialog went away or stopped handling messages";
    ASSERT_EQ(Text(IDOK_BUTTON), kUpdating) << "the update ended before the close requests were handled: "
                                               "the image is too short for this machine";
    EXPECT_EQ(Text(ID_FW_VERSION), "01.05.A");

    MessageBoxSeen box;
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Success");
    EXPECT_EQ(box.text, "Update Successful. New version is 01.06.A");
    ASSERT_TRUE(AcknowledgeMessageBox());
    std::string exists;
    ASSERT_TRUE(Drive("exists", &exists));
    EXPECT_EQ(exists, "1");
    ExpectButtonsRestored();
    EXPECT_TRUE(SimBench::Get().ReceivedImage(1) == image) << "the upload was cut short";
    ASSERT_TRUE(Drive("query-end-session", &endSession));
    EXPECT_EQ(endSession, "1") << "the session end is still refused after the update";
    ASSERT_TRUE(EndWithCancel());
}

TEST_F(DialogScenario, EnterInThePathFieldStartsTheUpdateAndTheSameUpdateCanRunAgain) {
    PlaceUnits({{1, UnitConfig::Kestrale('S', {2, 0, 'A'})}});
    const std::vector<uint8_t> image = ValidImage(700, 7);
    ASSERT_TRUE(StartDialog());
    EXPECT_EQ(Text(ID_HW_DESCRIPTION), "Kestrale Serial v2.0.A");
    ASSERT_TRUE(SetPath(WriteImage("enter.enc", image)));
    ASSERT_TRUE(Drive("key " + Id(ID_IMAGE_PATH) + " 13"));
    MessageBoxSeen box;
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Success");
    EXPECT_EQ(box.text, "Update Successful. New version is 02.01.A");
    ASSERT_TRUE(AcknowledgeMessageBox());
    EXPECT_TRUE(SimBench::Get().ReceivedImage(1) == image);

    // The path stays in its field: "Update!" runs the same update again.
    const size_t sentBefore = SimBench::Get().HostBytes(1).size();
    ASSERT_TRUE(Drive("click " + Id(IDOK_BUTTON)));
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Success");
    ASSERT_TRUE(AcknowledgeMessageBox());
    ExpectButtonsRestored();
    EXPECT_GT(SimBench::Get().HostBytes(1).size(), sentBefore + image.size()) << "the second update sent no image";
    EXPECT_TRUE(SimBench::Get().ReceivedImage(1) == image);
    ASSERT_TRUE(EndWithCancel());
}

TEST_F(DialogScenario, AnEmptyPathFailsWithoutAnUploadAndTheUnitIsIdentifiedAgain) {
    PlaceUnits({{1, UnitConfig::Kestrale()}});
    ASSERT_TRUE(StartDialog());
    const size_t sentAtStart = SimBench::Get().HostBytes(1).size();
    ASSERT_TRUE(Drive("click " + Id(IDOK_BUTTON)));
    MessageBoxSeen box;
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Error!");
    EXPECT_EQ(box.text, "Update Failed!");
    ASSERT_TRUE(AcknowledgeMessageBox());
    ExpectButtonsRestored();
    EXPECT_EQ(Text(ID_FW_VERSION), "01.05.A");
    // -1 is rescanned: the unit hears a second identification, exactly the first, and
    // nothing of an upload.
    const std::vector<uint8_t> sent = SimBench::Get().HostBytes(1);
    ASSERT_EQ(sent.size(), 2 * sentAtStart) << "bytes other than an identification went to the unit";
    EXPECT_TRUE(std::equal(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(sentAtStart),
                           sent.begin() + static_cast<std::ptrdiff_t>(sentAtStart)));
    EXPECT_TRUE(SimBench::Get().ReceivedImage(1).empty());
    ASSERT_TRUE(EndWithCancel());
}

TEST_F(DialogScenario, ATamberlinAnsweringAfterASuccessShowsItsVersion) {
    UnitConfig kestrale = UnitConfig::Kestrale('U', {1, 5, 'A'});
    kestrale.versionAfterUpload = {3, 1, '2'};  // what answers now reports a Tamberlin II
    PlaceUnits({{1, kestrale}});
    ASSERT_TRUE(StartDialog());
    ASSERT_TRUE(SetPath(WriteImage("fw.enc", ValidImage(512, 9))));
    ASSERT_TRUE(Drive("click " + Id(IDOK_BUTTON)));
    MessageBoxSeen box;
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Success");
    EXPECT_EQ(box.text, "Update Successful. New version is 03.01.2");
    EXPECT_EQ(Text(ID_FW_VERSION), "03.01.2");
    EXPECT_EQ(Text(ID_HW_DESCRIPTION), "Kestrale USB v1.5.A");
    ASSERT_TRUE(AcknowledgeMessageBox());
    ExpectButtonsRestored();
    ASSERT_TRUE(EndWithCancel());
}

TEST_F(DialogScenario, ASuccessWhoseVersionCannotBeReadNeverShowsTheOldVersionAsNewAndRescans) {
    UnitConfig kestrale = UnitConfig::Kestrale('U', {1, 5, 'A'});
    kestrale.versionAfterUpload = {1, 6, 'Z'};  // answers, but as no unit this program knows
    PlaceUnits({{1, kestrale}});
    ASSERT_TRUE(StartDialog());
    ASSERT_TRUE(SetPath(WriteImage("fw.enc", ValidImage(300, 10))));
    ASSERT_TRUE(Drive("click " + Id(IDOK_BUTTON)));
    MessageBoxSeen box;
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Success");
    EXPECT_EQ(box.text, "Update Successful. The new firmware version could not be read.");
    EXPECT_EQ(Text(ID_FW_VERSION), "01.05.A") << "the version shown before stays";
    ASSERT_TRUE(AcknowledgeMessageBox());
    ExpectButtonsRestored();
    // Then discovery runs again: what answers is no unit this program knows.
    EXPECT_EQ(Text(ID_FW_VERSION), "Not Found");
    EXPECT_EQ(Text(ID_HW_DESCRIPTION), "Not Found!");
    EXPECT_TRUE(WaitPortReleased(1)) << "the unknown unit's port stayed open";
    ASSERT_TRUE(EndWithCancel());
}

TEST_F(DialogScenario, AnUnplugAndReplugBetweenTwoUpdatesIsFoundAgainAfterOneFailure) {
    UnitConfig kestrale = UnitConfig::Kestrale('U', {1, 5, 'A'});
    kestrale.versionAfterUpload = {1, 6, 'A'};
    PlaceUnits({{1, kestrale}});
    const std::vector<uint8_t> image = ValidImage(800, 3);
    ASSERT_TRUE(StartDialog());
    ASSERT_TRUE(SetPath(WriteImage("fw.enc", image)));
    ASSERT_TRUE(Drive("click " + Id(IDOK_BUTTON)));
    MessageBoxSeen box;
    ASSERT_TRUE(WaitMessageBox(&box));
    ASSERT_EQ(box.text, "Update Successful. New version is 01.06.A");
    ASSERT_TRUE(AcknowledgeMessageBox());

    // Unplugged (the held handle hangs up), then plugged in again and given another COM
    // number, as a USB adapter may be.
    SimBench::Get().Configure(1, UnitConfig::Absent());
    UnitConfig replugged = UnitConfig::Kestrale('U', {2, 0, 'A'});
    replugged.versionAfterUpload = {2, 1, 'A'};
    SimBench::Get().Configure(3, replugged);

    // The dialog still holds the dead handle: this update fails on the port...
    ASSERT_TRUE(Drive("click " + Id(IDOK_BUTTON)));
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Error!");
    EXPECT_EQ(box.text, "Update Failed!");
    ASSERT_TRUE(AcknowledgeMessageBox());
    // ...and the rescan that follows shows what is there now.
    ExpectButtonsRestored();
    EXPECT_EQ(Text(ID_HW_DESCRIPTION), "Kestrale USB v2.0.A");
    EXPECT_EQ(Text(ID_FW_VERSION), "02.00.A");
    EXPECT_TRUE(SimBench::Get().PortInUse(3)) << "the replugged unit's port is not held";

    ASSERT_TRUE(Drive("click " + Id(IDOK_BUTTON)));
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Success");
    EXPECT_EQ(box.text, "Update Successful. New version is 02.01.A");
    ASSERT_TRUE(AcknowledgeMessageBox());
    ExpectButtonsRestored();
    EXPECT_TRUE(SimBench::Get().ReceivedImage(3) == image) << "the replugged unit did not receive the image";
    ASSERT_TRUE(EndWithCancel());
    EXPECT_TRUE(WaitPortReleased(3));
}

// --- Failure answers --------------------------------------------------------------------

struct FailureRow {
    const char* name;
    std::vector<Fault> faults;
    bool corruptImage;
    const char* caption;
    const char* text;
};

class DialogFailureAnswer : public DialogScenario, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(DialogFailureAnswer, IsReportedWithItsCaptionAndTextAndTheDialogIsReadyAgain) {
    const FailureRow& row = GetParam();
    UnitConfig kestrale = UnitConfig::Kestrale();
    kestrale.faults = row.faults;
    PlaceUnits({{1, kestrale}});
    std::vector<uint8_t> image = ValidImage(600, 11);
    if (row.corruptImage) image.back() = static_cast<uint8_t>(image.back() + 1);
    ASSERT_TRUE(StartDialog());
    ASSERT_TRUE(SetPath(WriteImage("fw.enc", image)));
    ASSERT_TRUE(Drive("click " + Id(IDOK_BUTTON)));
    MessageBoxSeen box;
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, row.caption);
    EXPECT_EQ(box.text, row.text);
    ASSERT_TRUE(AcknowledgeMessageBox());
    ExpectButtonsRestored();
    EXPECT_EQ(Text(ID_FW_VERSION), "01.05.A") << "a failed update changed the version shown";
    ASSERT_TRUE(EndWithCancel());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DialogFailureAnswer,
    ::testing::Values(
        FailureRow{"FinalE", {FaultAt(FaultStep::UploadFinal, -1, FaultAction::AnswerByte, 'E')}, false,
                   "Update failed", "Firmware image is invalid or corrupt, or upload failed. (Ext. CS)."},
        FailureRow{"FinalW", {FaultAt(FaultStep::UploadFinal, -1, FaultAction::AnswerByte, 'W')}, false,
                   "Flash failed",
                   "Firmware failed during flash process.\nYou will need to cold-reboot the Kestrale and try again."},
        FailureRow{"FinalF", {FaultAt(FaultStep::UploadFinal, -1, FaultAction::AnswerByte, 'F')}, false,
                   "Update failed", "Kestrale returned an invalid response."},
        FailureRow{"FinalI", {FaultAt(FaultStep::UploadFinal, -1, FaultAction::AnswerByte, 'I')}, false,
                   "Update failed", "Firmware image is invalid or corrupt. (Int. CS)."},
        FailureRow{"BlockR", {FaultAt(FaultStep::UploadBlock, 1, FaultAction::AnswerByte, 'R')}, false,
                   "Update failed", "Firmware buffering failed. You may try again. If it fails, contact support."},
        FailureRow{"BlockRefused", {FaultAt(FaultStep::UploadBlock, 0, FaultAction::AnswerByte, '?')}, false,
                   "Error!", "Update Failed!"},
        FailureRow{"HeaderRefused", {FaultAt(FaultStep::UploadHeader, -1, FaultAction::AnswerByte, '?')}, false,
                   "Update failed", "Kestrale returned an invalid response."},
        FailureRow{"BadImage", {}, true, "Error!", "Invalid Image File. Firmware update not performed."}),
    [](const ::testing::TestParamInfo<FailureRow>& row) { return std::string(row.param.name); });

// --- The picker and editing while busy -----------------------------------------------------

TEST_F(DialogScenario, ThePickerReturnsATypedNameWithEncAppended) {
    PlaceUnits({});
    const std::string folder = WineSession::WindowsPath(ScenarioDir());
    WriteImage("firmware.enc", ValidImage(300, 12));
    ASSERT_TRUE(StartDialog());

    // An existing file typed without its extension.
    ASSERT_TRUE(Drive("click " + Id(ID_BROWSE)));
    ASSERT_TRUE(Drive("wait-popup 20000 Select Firmware Image..."));
    ASSERT_TRUE(Drive("popup-set-text 1148 " + DialogDriverClient::Escape(folder + "\\firmware")));
    ASSERT_TRUE(Drive("popup-click 1"));
    ASSERT_TRUE(Drive("wait-popup-gone 20000"));
    EXPECT_EQ(Text(ID_IMAGE_PATH), folder + "\\firmware.enc");

    // A name of a file that does not exist comes back once the user agrees to create it,
    // and nothing is created. (wine's open picker appends the default extension only when
    // the file so named exists, so this name comes back as typed.)
    ASSERT_TRUE(Drive("click " + Id(ID_BROWSE)));
    ASSERT_TRUE(Drive("wait-popup 20000 Select Firmware Image..."));
    ASSERT_TRUE(Drive("popup-set-text 1148 " + DialogDriverClient::Escape(folder + "\\fresh")));
    ASSERT_TRUE(Drive("popup-click 1"));
    MessageBoxSeen prompt;
    ASSERT_TRUE(WaitMessageBox(&prompt, 20000));
    ASSERT_TRUE(Drive("msgbox-press 6")) << "the create prompt has no Yes button: " << prompt.text;
    ASSERT_TRUE(Drive("wait-popup-gone 20000"));
    EXPECT_EQ(Text(ID_IMAGE_PATH), folder + "\\fresh");
    EXPECT_FALSE(std::filesystem::exists(ScenarioDir() + "/fresh")) << "the picker created the file";
    EXPECT_FALSE(std::filesystem::exists(ScenarioDir() + "/fresh.enc")) << "the picker created the file";
    ASSERT_TRUE(EndWithCancel());
}

TEST_F(DialogScenario, BrowsingAndEditingWhileBusyLeaveTheRunningUpdateItsPath) {
    UnitConfig kestrale = UnitConfig::Kestrale();
    kestrale.paced = true;
    PlaceUnits({{1, kestrale}});
    const std::vector<uint8_t> image = ValidImage(65536, 13);  // the largest image: about 6 s paced
    const std::string path = WriteImage("first.enc", image);
    const std::string folder = WineSession::WindowsPath(ScenarioDir());
    WriteImage("second.enc", ValidImage(300, 14));
    ASSERT_TRUE(StartDialog());
    // The worker's progress messages wait for the interface thread, and the emulated unit
    // drops an upload whose next block is 1.5 s late: load the shell first.
    ASSERT_TRUE(LoadTheShell());
    ASSERT_TRUE(StartUpdate(path));
    EXPECT_EQ(Enabled(ID_BROWSE), "1");
    EXPECT_EQ(Enabled(ID_IMAGE_PATH), "1");

    ASSERT_TRUE(Drive("click " + Id(ID_BROWSE)));
    ASSERT_TRUE(Drive("wait-popup 20000 Select Firmware Image..."));
    ASSERT_TRUE(Drive("popup-set-text 1148 " + DialogDriverClient::Escape(folder + "\\second.enc")));
    ASSERT_TRUE(Drive("popup-click 1"));
    ASSERT_TRUE(Drive("wait-popup-gone 20000"));
    EXPECT_EQ(Text(ID_IMAGE_PATH), folder + "\\second.enc");
    ASSERT_TRUE(SetPath(folder + "\\typed-while-busy.enc"));
    ASSERT_EQ(Text(IDOK_BUTTON), kUpdating) << "the update ended before the edits: too fast to show anything";

    MessageBoxSeen box;
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Success");
    ASSERT_TRUE(AcknowledgeMessageBox());
    EXPECT_TRUE(SimBench::Get().ReceivedImage(1) == image) << "the running update did not keep its path";
    EXPECT_EQ(Text(ID_IMAGE_PATH), folder + "\\typed-while-busy.enc");
    ASSERT_TRUE(EndWithCancel());
}

TEST_F(DialogScenario, AResultArrivingWhileThePickerIsOpenIsShownWhenItClosesOverTheDialogAlone) {
    UnitConfig kestrale = UnitConfig::Kestrale();
    kestrale.paced = true;
    PlaceUnits({{1, kestrale}});
    const std::vector<uint8_t> image = ValidImage(40000, 15);  // about 3.5 s at the line rate
    const std::string folder = WineSession::WindowsPath(ScenarioDir());
    const std::string path = WriteImage("first.enc", image);
    WriteImage("second.enc", ValidImage(300, 16));
    ASSERT_TRUE(StartDialog());
    ASSERT_TRUE(LoadTheShell());
    ASSERT_TRUE(StartUpdate(path));
    ASSERT_TRUE(Drive("click " + Id(ID_BROWSE)));
    ASSERT_TRUE(Drive("wait-popup 20000 Select Firmware Image..."));
    std::string count;
    ASSERT_TRUE(Drive("popup-count", &count));
    ASSERT_EQ(count, "1") << "the update ended before the picker opened: the image is too short for this machine";

    // The update ends while the picker is open: its result waits.
    ASSERT_TRUE(Drive("wait-progress-done 60000"));
    ASSERT_TRUE(Drive("sync 10000"));
    ASSERT_TRUE(Drive("popup-count", &count));
    EXPECT_EQ(count, "1") << "a message box stacked on the picker";
    EXPECT_EQ(Text(IDOK_BUTTON), kUpdating) << "the dialog made itself ready behind the picker";
    // Cancel (as a posted command, the dialog being disabled) cannot end it under the picker.
    ASSERT_TRUE(Drive("command " + Id(IDCANCEL_BUTTON)));
    ASSERT_TRUE(Drive("sync 10000"));
    std::string exists;
    ASSERT_TRUE(Drive("exists", &exists));
    EXPECT_EQ(exists, "1") << "the dialog ended with the picker open";

    ASSERT_TRUE(Drive("popup-set-text 1148 " + DialogDriverClient::Escape(folder + "\\second.enc")));
    ASSERT_TRUE(Drive("popup-click 1"));
    ASSERT_TRUE(Drive("wait-popup-gone 20000"));
    MessageBoxSeen box;
    ASSERT_TRUE(WaitMessageBox(&box));
    EXPECT_EQ(box.caption, "Success");
    EXPECT_EQ(box.text, "Update Successful. New version is 01.06.A");
    std::string owner;
    ASSERT_TRUE(Drive("msgbox-owner", &owner));
    EXPECT_EQ(owner, "1") << "the result is not owned by the dialog";
    ASSERT_TRUE(Drive("popup-count", &count));
    EXPECT_EQ(count, "1") << "the message box is not the only window beside the dialog";
    EXPECT_EQ(Text(ID_IMAGE_PATH), folder + "\\second.enc") << "the picker's choice was lost";
    ASSERT_TRUE(AcknowledgeMessageBox());
    ExpectButtonsRestored();
    ASSERT_TRUE(Drive("popup-count", &count));
    EXPECT_EQ(count, "0") << "a stray window was left";
    EXPECT_TRUE(SimBench::Get().ReceivedImage(1) == image);
    ASSERT_TRUE(EndWithCancel());
}
