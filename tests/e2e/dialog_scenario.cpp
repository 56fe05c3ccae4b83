#include "dialog_scenario.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "sim_bench.h"

namespace fs = std::filesystem;

namespace {

const int kDialogAppearsMs = 60000;  // wine start and the scan of five ports, on a busy machine
const int kProgramEndsMs = 30000;
const int kPollMs = 20;

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// The run's one display, prefix and wine server, set up once per test process.
class WineEnvironment : public ::testing::Environment {
public:
    static WineSession* session;
    static DialogDriverClient* driver;
    static std::string skipReason;

    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);  // a driver that died must fail a call, not end the runner
        WineSessionPaths paths;
        paths.wineRun = std::string(DRUSEL_SOURCE_DIR) + "/script/wine-run";
        paths.windowsBin = EnvOr("DRUSEL_WIN64_BIN", DRUSEL_WIN64_BIN_DIR);
        paths.workDir = DRUSEL_DIALOG_E2E_DIR;
        for (const char* exe : {"DruselUpdater.exe", "dialog_driver.exe"}) {
            if (!fs::exists(paths.windowsBin + "/" + exe)) {
                skipReason = paths.windowsBin + "/" + exe +
                             " is missing: build the win64 preset first (or set DRUSEL_WIN64_BIN)";
                return;
            }
        }
        owned_ = std::make_unique<WineSession>(paths);
        std::string error;
        if (!owned_->Start(&error)) {
            ADD_FAILURE() << "cannot start the wine session: " << error;
            return;
        }
        session = owned_.get();
        driver = &driver_;
    }

    void TearDown() override {
        driver_.Stop();
        driver = nullptr;
        session = nullptr;
        owned_.reset();
    }

private:
    std::unique_ptr<WineSession> owned_;
    DialogDriverClient driver_;
};

WineSession* WineEnvironment::session = nullptr;
DialogDriverClient* WineEnvironment::driver = nullptr;
std::string WineEnvironment::skipReason;

[[maybe_unused]] ::testing::Environment* const kWineEnvironment =
    ::testing::AddGlobalTestEnvironment(new WineEnvironment);

}  // namespace

std::string DrawnStaticText(const std::string& text, uint32_t style) {
    const uint32_t kNoPrefix = 0x80;  // SS_NOPREFIX
    if (style & kNoPrefix) return text;
    std::string drawn;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                drawn += '&';
                ++i;
            }
            continue;
        }
        drawn += text[i];
    }
    return drawn;
}

std::vector<uint8_t> ValidImage(size_t size, uint32_t seed) {
    std::vector<uint8_t> image(size);
    uint32_t state = seed * 2654435761u + 1;
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < size; ++i) {
        state = state * 1664525u + 1013904223u;
        image[i] = static_cast<uint8_t>(state >> 24);
        sum = static_cast<uint8_t>(sum + image[i]);
    }
    if (size > 0) image[size - 1] = sum;
    return image;
}

void DialogScenario::SetUp() {
    if (!WineEnvironment::skipReason.empty()) GTEST_SKIP() << WineEnvironment::skipReason;
    session_ = WineEnvironment::session;
    driver_ = WineEnvironment::driver;
    ASSERT_NE(session_, nullptr) << "the wine session did not start";
    std::error_code ignored;
    fs::remove_all(ScenarioDir(), ignored);
    fs::create_directories(ScenarioDir(), ignored);
}

void DialogScenario::TearDown() {
    if (session_ == nullptr) return;
    if (HasFailure() && program_.Running()) {
        // What was on the screen when the scenario failed, for whoever reads the log.
        std::string name = fs::path(ScenarioDir()).filename().string();
        std::string path = session_->Paths().workDir + "/screenshots/failed-" + name + ".png";
        std::string error;
        if (session_->Screenshot(path, &error)) std::printf("screen at the failure: %s\n", path.c_str());
        DriverReply windows = driver_->Call("windows", 20000);
        std::printf("windows of the program at the failure:\n%s\n", windows.value.c_str());
    }
    if (program_.Running()) {
        // A scenario that failed half-way leaves the dialog up; it must not stay.
        program_.Kill();
    }
}

std::string DialogScenario::ScenarioDir() const {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    return session_->Paths().workDir + "/scenarios/" + name;
}

void DialogScenario::PlaceUnits(const std::map<int, UnitConfig>& units) {
    SimBench& bench = SimBench::Get();
    for (int port = 1; port <= kComPorts; ++port) {
        auto unit = units.find(port);
        std::string target;
        if (port <= bench.PortCount()) {
            bench.Configure(port, unit != units.end() ? unit->second : UnitConfig::Absent());
            target = bench.PortName(port);
        } else {
            ASSERT_TRUE(unit == units.end()) << "the bench has no port " << port;
        }
        std::string error;
        ASSERT_TRUE(session_->MapPort(port, target, &error)) << error;
    }
}

::testing::AssertionResult DialogScenario::StartDialog() {
    std::string error;
    if (!session_->StartProgram(&program_, "DruselUpdater.exe", {}, /*pipes=*/false, &error)) {
        return ::testing::AssertionFailure() << "cannot start DruselUpdater.exe: " << error;
    }
    if (!driver_->Running() && !driver_->Start(*session_, &error)) {
        return ::testing::AssertionFailure() << "cannot start dialog_driver.exe: " << error;
    }
    return Drive("attach " + std::to_string(kDialogAppearsMs));
}

::testing::AssertionResult DialogScenario::Drive(const std::string& command, std::string* value) {
    DriverReply reply = driver_->Call(command);
    if (!reply.ok) return ::testing::AssertionFailure() << reply.value;
    if (value != nullptr) *value = reply.value;
    return ::testing::AssertionSuccess();
}

std::string DialogScenario::Text(int id) {
    DriverReply reply = driver_->Call("text " + std::to_string(id));
    return reply.ok ? reply.value : "<driver: " + reply.value + ">";
}

std::string DialogScenario::Enabled(int id) {
    DriverReply reply = driver_->Call("enabled " + std::to_string(id));
    return reply.ok ? reply.value : "<driver: " + reply.value + ">";
}

::testing::AssertionResult DialogScenario::SetPath(const std::string& windowsPath) {
    return Drive("set-text " + std::to_string(ID_IMAGE_PATH) + " " + DialogDriverClient::Escape(windowsPath));
}

::testing::AssertionResult DialogScenario::LoadTheShell() {
    for (const std::string& command : {"click " + std::to_string(ID_BROWSE),
                                       std::string("wait-popup 20000 Select Firmware Image..."),
                                       std::string("popup-click 2"), std::string("wait-popup-gone 20000")}) {
        ::testing::AssertionResult step = Drive(command);
        if (!step) return step;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult DialogScenario::StartUpdate(const std::string& windowsPath) {
    ::testing::AssertionResult step = SetPath(windowsPath);
    if (step) step = Drive("click " + std::to_string(IDOK_BUTTON));
    if (step) step = Drive("wait-text " + std::to_string(IDOK_BUTTON) + " 10000 Updating...");
    return step;
}

::testing::AssertionResult DialogScenario::WaitMessageBox(MessageBoxSeen* seen, int timeoutMs) {
    DriverReply reply = driver_->Call("wait-msgbox " + std::to_string(timeoutMs), timeoutMs + 30000);
    if (!reply.ok) return ::testing::AssertionFailure() << reply.value;
    size_t tab = reply.raw.find('\t');
    if (tab == std::string::npos) return ::testing::AssertionFailure() << "malformed answer: " << reply.raw;
    seen->caption = DialogDriverClient::Unescape(reply.raw.substr(0, tab));
    seen->text = DialogDriverClient::Unescape(reply.raw.substr(tab + 1));
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult DialogScenario::AcknowledgeMessageBox() {
    ::testing::AssertionResult pressed = Drive("msgbox-press 1");
    if (!pressed) return pressed;
    return Drive("wait-enabled " + std::to_string(IDCANCEL_BUTTON) + " 1 10000");
}

void DialogScenario::ExpectButtonsRestored() {
    EXPECT_EQ(Text(IDOK_BUTTON), "Update!");
    EXPECT_EQ(Enabled(IDOK_BUTTON), "1");
    EXPECT_EQ(Enabled(IDCANCEL_BUTTON), "1");
}

::testing::AssertionResult DialogScenario::EndWithCancel() {
    ::testing::AssertionResult clicked = Drive("click " + std::to_string(IDCANCEL_BUTTON));
    if (!clicked) return clicked;
    ::testing::AssertionResult gone = Drive("wait-gone 20000");
    if (!gone) return gone;
    std::optional<int> code = program_.WaitExit(kProgramEndsMs);
    if (!code) return ::testing::AssertionFailure() << "the program did not end after the dialog closed";
    if (*code != 0) return ::testing::AssertionFailure() << "the program ended with exit code " << *code;
    return ::testing::AssertionSuccess();
}

std::string DialogScenario::WriteImage(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = ScenarioDir() + "/" + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    EXPECT_TRUE(file.good()) << "cannot write " << path;
    return WineSession::WindowsPath(path);
}

void DialogScenario::Screenshot(const std::string& name, bool forDocs) {
    std::string path = session_->Paths().workDir + "/screenshots/" + name + ".png";
    std::string error;
    ASSERT_TRUE(session_->Screenshot(path, &error)) << error;
    if (forDocs && EnvOr("DRUSEL_E2E_DOCS", "0") == "1") {
        std::error_code code;
        fs::create_directories(std::string(DRUSEL_SOURCE_DIR) + "/docs", code);
        fs::copy_file(path, std::string(DRUSEL_SOURCE_DIR) + "/docs/" + name + ".png",
                      fs::copy_options::overwrite_existing, code);
        EXPECT_FALSE(code) << "cannot copy the screenshot into docs/: " << code.message();
    }
}

bool DialogScenario::WaitPortReleased(int port, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // The bench has no event for "closed": poll its answer with a bound.
    while (SimBench::Get().PortInUse(port)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return true;
}
