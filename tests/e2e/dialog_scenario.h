// One scenario of the Windows dialog end to end: emulated units on pty ports mapped as
// COM1..COM5 of a private wine prefix, DruselUpdater.exe (the win64 build) under wine64
// on a virtual display, and dialog_driver.exe pressing its buttons and reading its texts.
//
// The runner is a native program: the units run in-process (SimBench), so a scenario
// can look at every byte the program sent and at the image a unit received.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dialog_driver_client.h"
#include "dialog_process.h"
#include "dialog_wine_session.h"
#include "unit_config.h"

// The dialog's control ids and texts, as a user sees them.
constexpr int IDOK_BUTTON = 1;
constexpr int IDCANCEL_BUTTON = 2;
constexpr int ID_IMAGE_PATH = 2745;
constexpr int ID_BROWSE = 2746;
constexpr int ID_FW_VERSION = 2747;
constexpr int ID_PROGRESS = 2777;
constexpr int ID_HW_DESCRIPTION = 1000;

constexpr int kComPorts = 5;

struct MessageBoxSeen {
    std::string caption;
    std::string text;
};

// What a static control without SS_NOPREFIX draws for `text`: "&&" shows one ampersand,
// a single '&' is swallowed (it marks the next letter as a mnemonic).
std::string DrawnStaticText(const std::string& text, uint32_t style);

// An image that passes the check: `size` bytes, the last the additive checksum of the rest.
std::vector<uint8_t> ValidImage(size_t size, uint32_t seed);

class DialogScenario : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts `units` on their COM ports (1-based); every other port does not exist.
    void PlaceUnits(const std::map<int, UnitConfig>& units);
    // Starts the program and the driver, and waits until the dialog is visible.
    ::testing::AssertionResult StartDialog();

    // One driver command; on success *value (if given) holds its answer.
    ::testing::AssertionResult Drive(const std::string& command, std::string* value = nullptr);
    // A control's text, or "<driver: REASON>" so that a failure shows in the comparison.
    std::string Text(int id);
    // "1" or "0", or "<driver: REASON>".
    std::string Enabled(int id);
    ::testing::AssertionResult SetPath(const std::string& windowsPath);
    // Opens the picker once and cancels it: the first picker of a process loads the shell,
    // which can hold the interface thread for seconds, so a scenario that times an update
    // does this first, as a user who browsed once before has.
    ::testing::AssertionResult LoadTheShell();
    // Types the path, presses "Update!" and waits until the dialog says it is updating.
    ::testing::AssertionResult StartUpdate(const std::string& windowsPath);
    // Waits for a message box of the program (at most timeoutMs) and reads it.
    ::testing::AssertionResult WaitMessageBox(MessageBoxSeen* seen, int timeoutMs = 60000);
    // Presses OK on the message box and waits until the buttons are back.
    ::testing::AssertionResult AcknowledgeMessageBox();
    // The state after every reported result: "Update!" on an enabled button, Cancel enabled.
    void ExpectButtonsRestored();

    // Presses Cancel; the dialog must go and the program must end with exit code 0.
    ::testing::AssertionResult EndWithCancel();

    // Writes an image file under the scenario's folder; returns its Windows path.
    std::string WriteImage(const std::string& name, const std::vector<uint8_t>& bytes);
    std::string ScenarioDir() const;
    // A screenshot saved under the work folder (and copied into docs/ when asked for).
    void Screenshot(const std::string& name, bool forDocs);

    // Waits until no process holds port `port` open (bounded); false if it stays held.
    bool WaitPortReleased(int port, int timeoutMs = 10000);

    static std::string Bytes(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

    WineSession* session_ = nullptr;
    ChildProcess program_;
    // One driver for the whole run (a wine start saved per scenario); `attach` points it
    // at each new dialog.
    DialogDriverClient* driver_ = nullptr;
};
