// The scripted serial layer: serial.h on top of the FakeSerial singleton.
#include "serial_fake.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

thread_local uint32_t lastError = 0;

std::string TimeoutText(const SerialTimeouts& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%u %u %u %u %u", t.readIntervalTimeout, t.readTotalTimeoutMultiplier,
                  t.readTotalTimeoutConstant, t.writeTotalTimeoutMultiplier, t.writeTotalTimeoutConstant);
    return text;
}

}  // namespace

std::string HexBytes(const uint8_t* data, size_t n) {
    std::string text;
    char pair[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", data[i]);
        if (i > 0) text += ' ';
        text += pair;
    }
    return text;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) { return HexBytes(bytes.data(), bytes.size()); }

SerialLineSettings FakeSerial::DriverDefaultLineSettings() {
    SerialLineSettings s{};
    s.baudRate = 9600;
    s.byteSize = 7;
    s.parity = 2;
    s.outxCtsFlow = true;
    s.outxDsrFlow = true;
    s.dsrSensitivity = true;
    s.dtrControl = 2;
    s.rtsControl = 2;
    for (size_t i = 0; i < sizeof s.native; ++i) s.native[i] = static_cast<unsigned char>(0xA0 + i % 16);
    return s;
}

SerialTimeouts FakeSerial::DriverDefaultTimeouts() { return SerialTimeouts{1, 2, 3, 4, 5}; }

FakeSerial& FakeSerial::Get() {
    static FakeSerial instance;
    return instance;
}

FakeSerial::FakeSerial() { Reset(); }

void FakeSerial::Reset() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    ports_.clear();
    scripts_.clear();
    shortWrites_.clear();
    replies_.clear();
    defaultPeer_ = nullptr;
    handles_.clear();
    calls_.clear();
    writes_.clear();
    SetExistingPorts({"COM1", "COM2", "COM3", "COM4", "COM5"});
}

void FakeSerial::SetExistingPorts(const std::vector<std::string>& names) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (auto& [name, port] : ports_) port.exists = false;
    for (const auto& name : names) ports_[name].exists = true;
}

void FakeSerial::FailNth(Step step, int n, uint32_t osError) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    StepScript& script = scripts_[step];
    script.failAt[script.calls + n] = osError;
}

void FakeSerial::FailAlways(Step step, uint32_t osError) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    scripts_[step].failAlways = true;
    scripts_[step].alwaysError = osError;
}

void FakeSerial::ShortWriteNth(int n, uint32_t count) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    shortWrites_[scripts_[Step::Write].calls + n] = count;
}

void FakeSerial::SetPeer(Peer peer) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    defaultPeer_ = std::move(peer);
}

void FakeSerial::SetPortPeer(const std::string& name, Peer peer) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    ports_[name].peer = std::move(peer);
}

void FakeSerial::QueueReply(std::vector<uint8_t> bytes) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    replies_.push_back(std::move(bytes));
}

void FakeSerial::DeliverNow(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto& input = ports_[name].input;
    input.insert(input.end(), bytes.begin(), bytes.end());
}

std::vector<std::string> FakeSerial::Calls() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return calls_;
}

std::vector<std::vector<uint8_t>> FakeSerial::Writes() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return writes_;
}

std::vector<uint8_t> FakeSerial::AllWrittenBytes() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<uint8_t> all;
    for (const auto& w : writes_) all.insert(all.end(), w.begin(), w.end());
    return all;
}

size_t FakeSerial::CountCalls(const std::string& prefix) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return static_cast<size_t>(std::count_if(calls_.begin(), calls_.end(), [&](const std::string& call) {
        return call.compare(0, prefix.size(), prefix) == 0;
    }));
}

void FakeSerial::ClearCalls() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    calls_.clear();
    writes_.clear();
}

SerialTimeouts FakeSerial::Timeouts(const std::string& name) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = ports_.find(name);
    return it == ports_.end() ? DriverDefaultTimeouts() : it->second.timeouts;
}

SerialLineSettings FakeSerial::LineSettings(const std::string& name) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = ports_.find(name);
    return it == ports_.end() ? DriverDefaultLineSettings() : it->second.line;
}

bool FakeSerial::IsOpen(const std::string& name) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = ports_.find(name);
    return it != ports_.end() && it->second.open;
}

int FakeSerial::OpenHandleCount() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return static_cast<int>(handles_.size());
}

bool FakeSerial::TakeScriptedFailure(Step step) {
    StepScript& script = scripts_[step];
    ++script.calls;
    auto it = script.failAt.find(script.calls);
    if (it != script.failAt.end()) {
        lastError = it->second;
        script.failAt.erase(it);
        return true;
    }
    if (script.failAlways) {
        lastError = script.alwaysError;
        return true;
    }
    return false;
}

FakeSerial::PortState* FakeSerial::PortOf(PortHandle port) {
    auto it = handles_.find(port);
    if (it == handles_.end()) {
        lastError = kDriverError;  // an invalid handle, as a driver would report it
        return nullptr;
    }
    return &ports_[it->second];
}

void FakeSerial::Log(std::string line) { calls_.push_back(std::move(line)); }

PortHandle FakeSerial::Open(const char* name) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::string portName = name == nullptr ? "" : name;
    if (TakeScriptedFailure(Step::Open)) {
        Log("open " + portName + " -> fail");
        return nullptr;
    }
    auto it = ports_.find(portName);
    if (it == ports_.end() || !it->second.exists) {
        lastError = kNoSuchPortError;
        Log("open " + portName + " -> fail");
        return nullptr;
    }
    if (it->second.open) {
        lastError = kBusyError;
        Log("open " + portName + " -> fail");
        return nullptr;
    }
    it->second.open = true;
    it->second.input.clear();
    PortHandle handle = reinterpret_cast<PortHandle>(++nextHandle_);
    handles_[handle] = portName;
    Log("open " + portName);
    return handle;
}

bool FakeSerial::SetupQueues(PortHandle port, uint32_t inputBytes, uint32_t outputBytes) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::string args = std::to_string(inputBytes) + " " + std::to_string(outputBytes);
    if (PortOf(port) == nullptr || TakeScriptedFailure(Step::SetupQueues)) {
        Log("setup " + args + " -> fail");
        return false;
    }
    Log("setup " + args);
    return true;
}

bool FakeSerial::GetLineSettings(PortHandle port, SerialLineSettings* settings) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    PortState* state = PortOf(port);
    if (state == nullptr || TakeScriptedFailure(Step::GetLineSettings)) {
        Log("getstate -> fail");
        return false;
    }
    *settings = state->line;
    Log("getstate");
    return true;
}

bool FakeSerial::SetLineSettings(PortHandle port, const SerialLineSettings* settings) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    PortState* state = PortOf(port);
    const std::string speed = std::to_string(settings->baudRate);
    if (state == nullptr || TakeScriptedFailure(Step::SetLineSettings)) {
        Log("setstate " + speed + " -> fail");
        return false;
    }
    state->line = *settings;
    Log("setstate " + speed);
    return true;
}

bool FakeSerial::GetTimeouts(PortHandle port, SerialTimeouts* timeouts) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    PortState* state = PortOf(port);
    if (state == nullptr || TakeScriptedFailure(Step::GetTimeouts)) {
        Log("gettimeouts -> fail");
        return false;
    }
    *timeouts = state->timeouts;
    Log("gettimeouts");
    return true;
}

bool FakeSerial::SetTimeouts(PortHandle port, const SerialTimeouts* timeouts) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    PortState* state = PortOf(port);
    const std::string values = TimeoutText(*timeouts);
    if (state == nullptr || TakeScriptedFailure(Step::SetTimeouts)) {
        Log("settimeouts " + values + " -> fail");
        return false;
    }
    state->timeouts = *timeouts;
    Log("settimeouts " + values);
    return true;
}

bool FakeSerial::Purge(PortHandle port) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    PortState* state = PortOf(port);
    if (state == nullptr || TakeScriptedFailure(Step::Purge)) {
        Log("purge -> fail");
        return false;
    }
    state->input.clear();
    Log("purge");
    return true;
}

bool FakeSerial::DiscardInput(PortHandle port, uint8_t* data, uint32_t capacity, uint32_t* taken) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    *taken = 0;
    PortState* state = PortOf(port);
    if (state == nullptr || TakeScriptedFailure(Step::DiscardInput)) {
        Log("discard -> fail");
        return false;
    }
    while (*taken < capacity && !state->input.empty()) {
        data[(*taken)++] = state->input.front();
        state->input.pop_front();
    }
    // Silent when nothing waited, so call logs stay as they were for a quiet line.
    if (*taken > 0) Log("discard " + std::to_string(*taken));
    return true;
}

bool FakeSerial::Write(PortHandle port, const void* data, uint32_t count, uint32_t* written) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    *written = 0;
    const auto* bytes = static_cast<const uint8_t*>(data);
    const std::string text = "write " + HexBytes(bytes, count);
    PortState* state = PortOf(port);
    if (state == nullptr) {
        Log(text + " -> fail");
        return false;
    }
    const int callNumber = scripts_[Step::Write].calls + 1;
    if (TakeScriptedFailure(Step::Write)) {
        Log(text + " -> fail");
        return false;
    }
    uint32_t sent = count;
    auto shortIt = shortWrites_.find(callNumber);
    if (shortIt != shortWrites_.end()) {
        sent = std::min(count, shortIt->second);
        shortWrites_.erase(shortIt);
        Log(text + " -> " + std::to_string(sent));
    } else {
        Log(text);
    }
    *written = sent;
    writes_.emplace_back(bytes, bytes + sent);

    std::vector<uint8_t> answer;
    if (!replies_.empty()) {
        answer = std::move(replies_.front());
        replies_.pop_front();
    } else if (state->peer) {
        answer = state->peer(bytes, sent);
    } else if (defaultPeer_) {
        answer = defaultPeer_(bytes, sent);
    }
    state->input.insert(state->input.end(), answer.begin(), answer.end());
    return true;
}

bool FakeSerial::Read(PortHandle port, void* data, uint32_t count, uint32_t* received) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    *received = 0;
    PortState* state = PortOf(port);
    const std::string text = "read " + std::to_string(count);
    if (state == nullptr || TakeScriptedFailure(Step::Read)) {
        Log(text + " -> fail");
        return false;
    }
    const uint32_t taken = static_cast<uint32_t>(std::min<size_t>(count, state->input.size()));
    auto* out = static_cast<uint8_t*>(data);
    for (uint32_t i = 0; i < taken; ++i) {
        out[i] = state->input.front();
        state->input.pop_front();
    }
    *received = taken;
    Log(text + " -> " + std::to_string(taken));
    return true;
}

void FakeSerial::Close(PortHandle port) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = handles_.find(port);
    if (it == handles_.end()) {
        Log("close -> fail");
        return;
    }
    PortState& state = ports_[it->second];
    state.open = false;
    state.input.clear();
    handles_.erase(it);
    Log("close");
}

void FakeSerial::Pause(uint32_t milliseconds) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Log("pause " + std::to_string(milliseconds));
}

// The serial layer itself.

PortHandle SerialOpen(const char* name) { return FakeSerial::Get().Open(name); }
bool SerialSetupQueues(PortHandle port, uint32_t inputBytes, uint32_t outputBytes) {
    return FakeSerial::Get().SetupQueues(port, inputBytes, outputBytes);
}
bool SerialGetLineSettings(PortHandle port, SerialLineSettings* settings) {
    return FakeSerial::Get().GetLineSettings(port, settings);
}
bool SerialSetLineSettings(PortHandle port, const SerialLineSettings* settings) {
    return FakeSerial::Get().SetLineSettings(port, settings);
}
bool SerialGetTimeouts(PortHandle port, SerialTimeouts* timeouts) { return FakeSerial::Get().GetTimeouts(port, timeouts); }
bool SerialSetTimeouts(PortHandle port, const SerialTimeouts* timeouts) {
    return FakeSerial::Get().SetTimeouts(port, timeouts);
}
bool SerialPurge(PortHandle port) { return FakeSerial::Get().Purge(port); }
bool SerialDiscardInput(PortHandle port, uint8_t* data, uint32_t capacity, uint32_t* taken) {
    return FakeSerial::Get().DiscardInput(port, data, capacity, taken);
}
bool SerialWrite(PortHandle port, const void* data, uint32_t count, uint32_t* written) {
    return FakeSerial::Get().Write(port, data, count, written);
}
bool SerialRead(PortHandle port, void* data, uint32_t count, uint32_t* received) {
    return FakeSerial::Get().Read(port, data, count, received);
}
void SerialClose(PortHandle port) { FakeSerial::Get().Close(port); }
void SerialPause(uint32_t milliseconds) { FakeSerial::Get().Pause(milliseconds); }

uint32_t SerialLastError() { return lastError; }

void SerialErrorText(uint32_t error, char* text, size_t capacity) {
    if (text == nullptr || capacity == 0) return;
    const char* what = error == FakeSerial::kNoSuchPortError ? "no such port"
                       : error == FakeSerial::kBusyError     ? "port busy"
                                                             : "driver failure";
    std::snprintf(text, capacity, "%s (fake error %u)", what, error);
}

bool SerialErrorIsNoSuchPort(uint32_t error) { return error == FakeSerial::kNoSuchPortError; }
bool SerialErrorIsBusy(uint32_t error) { return error == FakeSerial::kBusyError; }

// The platform's image-file layer, linked beside this fake, records its errors through the
// serial layer's hook; here the fake's own last error takes them.
#if defined(_WIN32)
#include <windows.h>
void RememberLastWin32Error() { lastError = static_cast<uint32_t>(GetLastError()); }
#else
void RememberPosixError(int error) { lastError = static_cast<uint32_t>(error); }
#endif
