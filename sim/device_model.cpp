// The emulated unit's protocol state machine; see device_model.h for what it understands.
// The unit keeps its own checksum and speed table on purpose: it must not share code with
// the device link it is there to check.
#include "device_model.h"

#include <algorithm>
#include <utility>

namespace {

constexpr size_t kBlockSize = 256;

uint8_t Sum(const uint8_t* data, size_t n) {
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) sum += data[i];
    return static_cast<uint8_t>(sum);
}

bool LetterIsSuccess(uint8_t b) { return b == 'O' || b == 'C'; }

}  // namespace

int32_t UnitSpeedOfCode(uint8_t code) {
    switch (code) {
        case 0: return 921600;
        case 1: return 460800;
        case 3: return 230400;
        case 7: return 115200;
        default: return 0;
    }
}

DeviceModel::DeviceModel(const UnitConfig& config)
    : config_(config), version_(config.version), speed_(config.startSpeed) {}

void DeviceModel::Feed(const uint8_t* data, size_t n, std::vector<ModelAction>* actions) {
    for (size_t i = 0; i < n; ++i) Feed(data[i], actions);
}

void DeviceModel::Feed(uint8_t byte, std::vector<ModelAction>* actions) {
    ++stats_.bytesIn;
    if (!config_.answers) return;  // a port with nothing behind it
    switch (state_) {
        case State::Idle:
            StartCommand(byte);
            break;
        case State::Frame:
            // A two-letter command whose second letter does not follow was noise: the
            // byte that broke it may itself start a command.
            if (frame_.size() == 1 && ((frame_[0] == 'V' && byte != 'V') ||
                                       (frame_[0] == 'H' && byte != 'R'))) {
                state_ = State::Idle;
                frame_.clear();
                StartCommand(byte);
                break;
            }
            frame_.push_back(byte);
            if (frame_[0] == 'E' && frame_.size() == 2) {
                const size_t n = byte == 0 ? 256 : byte;
                frameLength_ = 4 + n + 1;
            }
            if (frameLength_ != 0 && frame_.size() == frameLength_) FinishFrame(actions);
            break;
        case State::UploadData:
            TakeUploadByte(byte, actions);
            break;
    }
}

std::vector<uint8_t> DeviceModel::Exchange(const std::vector<uint8_t>& request) {
    std::vector<ModelAction> actions;
    Feed(request.data(), request.size(), &actions);
    std::vector<uint8_t> out;
    for (const ModelAction& a : actions) {
        if (a.kind == ModelAction::Kind::Send) out.insert(out.end(), a.bytes.begin(), a.bytes.end());
    }
    return out;
}

void DeviceModel::AbandonPartialRequest() {
    state_ = State::Idle;
    frame_.clear();
    frameLength_ = 0;
    image_.clear();
}

bool DeviceModel::InRequest() const { return state_ != State::Idle; }

void DeviceModel::StartCommand(uint8_t byte) {
    size_t length = 0;
    switch (byte) {
        case 'V': length = 2; break;
        case 'H': length = 6; break;
        case 'E': length = 0; break;  // known once the length byte is in
        case 'S': length = 3; break;
        case 'f': length = 4; break;
        default: return;  // not a command: ignored, the unit keeps waiting
    }
    state_ = State::Frame;
    frame_.assign(1, byte);
    frameLength_ = length;
}

void DeviceModel::FinishFrame(std::vector<ModelAction>* actions) {
    std::vector<uint8_t> f;
    f.swap(frame_);
    state_ = State::Idle;
    frameLength_ = 0;
    const bool checksumOk = Sum(f.data(), f.size() - 1) == f.back();
    switch (f[0]) {
        case 'V':
            AnswerVersion(actions);
            break;
        case 'H':
            AnswerMemoryRead(f[2], static_cast<uint16_t>(f[3] << 8 | f[4]), checksumOk, actions);
            break;
        case 'E':
            AnswerMemoryRead(f[1], static_cast<uint16_t>(f[2] << 8 | f[3]), checksumOk, actions);
            break;
        case 'S':
            ++stats_.speedCommands;
            AnswerSpeed(f[1], checksumOk, actions);
            break;
        case 'f':
            AnswerUploadHeader(static_cast<uint16_t>(f[1] << 8 | f[2]), checksumOk, actions);
            break;
        default:
            break;
    }
}

void DeviceModel::AnswerVersion(std::vector<ModelAction>* actions) {
    std::vector<uint8_t> reply{version_.major, version_.minor, static_cast<uint8_t>(version_.letter)};
    const Fault* fault = FindFault(FaultStep::Version, -1);
    if (fault && fault->action == FaultAction::AnswerByte) reply[2] = fault->byte;
    SendReply(std::move(reply), fault, actions);
}

void DeviceModel::AnswerMemoryRead(uint8_t lengthByte, uint16_t address, bool checksumOk,
                                   std::vector<ModelAction>* actions) {
    if (!checksumOk) {
        Send({'?', '?'}, actions);  // the refusal and its own sum
        return;
    }
    const size_t n = lengthByte == 0 ? 256 : lengthByte;
    std::vector<uint8_t> reply(n + 1);
    for (size_t i = 0; i < n; ++i) reply[i] = MemoryAt(address + static_cast<uint32_t>(i));
    const Fault* fault = FindFault(FaultStep::MemoryRead, address);
    if (fault && fault->action == FaultAction::AnswerByte) reply[0] = fault->byte;
    reply[n] = Sum(reply.data(), n);
    if (fault && fault->action == FaultAction::BadChecksum) reply[n] = static_cast<uint8_t>(reply[n] + 1);
    SendReply(std::move(reply), fault, actions);
}

void DeviceModel::AnswerSpeed(uint8_t code, bool checksumOk, std::vector<ModelAction>* actions) {
    const int32_t newSpeed = checksumOk ? UnitSpeedOfCode(code) : 0;
    std::vector<uint8_t> reply{static_cast<uint8_t>(newSpeed != 0 ? 'O' : '?')};
    const Fault* fault = FindFault(FaultStep::SpeedChange, stats_.speedCommands - 1);
    if (fault && fault->action == FaultAction::AnswerByte) reply[0] = fault->byte;
    const bool accepted = reply[0] == 'O' && newSpeed != 0;
    if (SendReply(std::move(reply), fault, actions) && accepted) SetSpeed(newSpeed, actions);
}

void DeviceModel::AnswerUploadHeader(uint16_t length, bool checksumOk, std::vector<ModelAction>* actions) {
    std::vector<uint8_t> reply{static_cast<uint8_t>(checksumOk ? 'O' : '?')};
    const Fault* fault = FindFault(FaultStep::UploadHeader, -1);
    if (fault && fault->action == FaultAction::AnswerByte) reply[0] = fault->byte;
    const bool accepted = reply[0] == 'O' && checksumOk;
    if (!SendReply(std::move(reply), fault, actions) || !accepted) return;
    imageLength_ = length == 0 ? 65536 : length;
    image_.clear();
    image_.reserve(imageLength_ + 1);
    blockFill_ = 0;
    blockIndex_ = 0;
    state_ = State::UploadData;
}

void DeviceModel::TakeUploadByte(uint8_t byte, std::vector<ModelAction>* actions) {
    image_.push_back(byte);
    ++blockFill_;
    const bool lastBlock = imageLength_ + 1 - (image_.size() - blockFill_) <= kBlockSize + 1;
    if (image_.size() == imageLength_ + 1 || (!lastBlock && blockFill_ == kBlockSize)) FinishBlock(actions);
}

void DeviceModel::FinishBlock(std::vector<ModelAction>* actions) {
    const bool last = image_.size() == imageLength_ + 1;
    const Fault* fault = FindFault(FaultStep::UploadBlock, blockIndex_);
    std::vector<uint8_t> reply{'O'};
    if (fault && fault->action == FaultAction::AnswerByte) reply[0] = fault->byte;
    const uint8_t answer = reply[0];
    ++blockIndex_;
    blockFill_ = 0;
    if (!SendReply(std::move(reply), fault, actions) || answer == '?' || answer == 'R') {
        // The host gives up here (by its answer table, or because the answer never came).
        AbandonPartialRequest();
        return;
    }
    if (last) FinishUpload(actions);
}

void DeviceModel::FinishUpload(std::vector<ModelAction>* actions) {
    const uint8_t t = image_.back();
    image_.pop_back();
    receivedImage_ = std::move(image_);
    image_.clear();
    state_ = State::Idle;
    ++stats_.uploadsCompleted;

    const size_t n = receivedImage_.size();
    uint8_t status = 'O';
    if (Sum(receivedImage_.data(), n) != t) {
        status = 'E';
    } else if (Sum(receivedImage_.data(), n - 1) != receivedImage_[n - 1]) {
        status = 'I';
    }
    std::vector<uint8_t> reply{status};
    const Fault* fault = FindFault(FaultStep::UploadFinal, -1);
    if (fault && fault->action == FaultAction::AnswerByte) reply[0] = fault->byte;
    const bool programmed = status == 'O' && LetterIsSuccess(reply[0]);
    if (!SendReply(std::move(reply), fault, actions) || !programmed) return;
    ++stats_.uploadsProgrammed;
    version_ = config_.versionAfterUpload;
    if (config_.muteAfterUpload) config_.answers = false;
    if (!config_.staysAtFastSpeedAfterUpload && speed_ != kDefaultSpeed) SetSpeed(kDefaultSpeed, actions);
}

const Fault* DeviceModel::FindFault(FaultStep step, int index) const {
    for (const Fault& f : config_.faults) {
        if (f.step != step) continue;
        const bool indexed =
            step == FaultStep::MemoryRead || step == FaultStep::SpeedChange || step == FaultStep::UploadBlock;
        if (!indexed || f.index < 0 || f.index == index) return &f;
    }
    return nullptr;
}

bool DeviceModel::SendReply(std::vector<uint8_t> reply, const Fault* fault, std::vector<ModelAction>* actions) {
    if (fault) {
        switch (fault->action) {
            case FaultAction::Silence:
                state_ = State::Idle;
                return false;
            case FaultAction::HangUp:
                AbandonPartialRequest();
                actions->push_back(ModelAction{ModelAction::Kind::HangUp, {}, 0, false});
                return false;
            case FaultAction::ShortReply:
                if (static_cast<size_t>(std::max(fault->count, 0)) < reply.size()) {
                    reply.resize(static_cast<size_t>(std::max(fault->count, 0)));
                    if (!reply.empty()) Send(reply, actions);
                    state_ = State::Idle;
                    return false;
                }
                break;
            case FaultAction::ExtraAfter:
                reply.push_back(fault->byte);
                Send(reply, actions, true);
                return true;
            case FaultAction::ExtraBefore:
                reply.insert(reply.begin(), fault->byte);
                Send(reply, actions, true);
                return true;
            case FaultAction::AnswerByte:
            case FaultAction::BadChecksum:
                break;  // already applied to the reply's content by the caller
        }
    }
    Send(reply, actions);
    return true;
}

void DeviceModel::Send(const std::vector<uint8_t>& bytes, std::vector<ModelAction>* actions, bool together) {
    stats_.bytesOut += bytes.size();
    if (!actions->empty() && actions->back().kind == ModelAction::Kind::Send) {
        auto& last = actions->back().bytes;
        last.insert(last.end(), bytes.begin(), bytes.end());
        actions->back().together = actions->back().together || together;
        return;
    }
    actions->push_back(ModelAction{ModelAction::Kind::Send, bytes, 0, together});
}

void DeviceModel::SetSpeed(int32_t speed, std::vector<ModelAction>* actions) {
    speed_ = speed;
    actions->push_back(ModelAction{ModelAction::Kind::SetSpeed, {}, speed, false});
}

uint8_t DeviceModel::MemoryAt(uint32_t address) const {
    return address < config_.memory.size() ? config_.memory[address] : 0xFF;
}
