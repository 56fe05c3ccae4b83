#include "fault_plan.h"

#include <cstdio>

namespace {

// The answer table's bytes, played more often than chance would, and a few others.
constexpr uint8_t kListedAnswers[] = {'O', 'C', '?', 'R', 'E', 'F', 'I', 'W'};
constexpr uint8_t kFailingFinals[] = {'?', 'R', 'E', 'F', 'I', 'W'};

class Dice {
public:
    explicit Dice(uint64_t seed) : engine_(seed) {}
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }
    bool Percent(int p) { return Between(0, 99) < p; }

private:
    std::mt19937_64 engine_;
};

uint8_t AnyAnswerByte(Dice& dice) {
    if (dice.Percent(60)) return kListedAnswers[dice.Between(0, 7)];
    return static_cast<uint8_t>(dice.Between(0, 255));
}

// Adds one fault at an upload step, and its answer to the scenario.
void AddUploadFault(Dice& dice, int silencePercent, PlannedUpdate* plan) {
    const int32_t blocks = UploadBlockCount(plan->imageSize);
    const int32_t step = dice.Between(0, blocks + 1);
    Fault fault;
    fault.step = step == 0 ? FaultStep::UploadHeader : step == blocks + 1 ? FaultStep::UploadFinal : FaultStep::UploadBlock;
    fault.index = fault.step == FaultStep::UploadBlock ? step - 1 : -1;
    StepAnswer answer = StepAnswer::Of('O');
    FaultKind kind;
    bool stray = false;
    if (step <= blocks && dice.Percent(15)) {
        // A byte right behind the step's answer, or just ahead of it, in the same write.
        fault.action = dice.Percent(50) ? FaultAction::ExtraAfter : FaultAction::ExtraBefore;
        fault.byte = AnyAnswerByte(dice);
        kind = FaultKind::StrayByte;
        stray = true;
    } else if (dice.Percent(silencePercent)) {
        fault.action = FaultAction::Silence;
        answer = StepAnswer::Of(StepEvent::Silence);
        kind = FaultKind::Silence;
    } else if (dice.Percent(8)) {
        fault.action = FaultAction::HangUp;
        answer = StepAnswer::Of(StepEvent::HangUp);
        kind = FaultKind::HangUp;
    } else {
        fault.action = FaultAction::AnswerByte;
        fault.byte = AnyAnswerByte(dice);
        answer = StepAnswer::Of(fault.byte);
        kind = FaultKind::AnswerByte;
    }
    // One fault per step: a second draw on a step already faulted is left out.
    auto& answers = plan->upload.answers;
    if (static_cast<size_t>(step) < answers.size() && !(answers[static_cast<size_t>(step)].event == StepEvent::Byte &&
                                                        answers[static_cast<size_t>(step)].byte == 'O'))
        return;
    for (const StrayByte& s : plan->upload.strays)
        if (s.step == step) return;
    // A stray byte rides with an answer: a line fault already at the last block or after
    // it would decide by timing whether the stray is read, so none is drawn then.
    if (stray && step == blocks)
        for (size_t k = static_cast<size_t>(blocks); k < answers.size(); ++k)
            if (answers[k].event != StepEvent::Byte) return;
    if (!stray && step >= blocks)
        for (const StrayByte& s : plan->upload.strays)
            if (s.step == blocks && answer.event != StepEvent::Byte) return;
    if (answers.size() <= static_cast<size_t>(step)) answers.resize(static_cast<size_t>(step) + 1, StepAnswer::Of('O'));
    answers[static_cast<size_t>(step)] = answer;
    if (stray) {
        plan->upload.strays.push_back(
            {step, fault.action == FaultAction::ExtraBefore ? StrayPlace::Before : StrayPlace::After, fault.byte});
        if (step == blocks) plan->finalStatusMasked = true;
    }
    if (fault.step == FaultStep::UploadFinal && fault.action == FaultAction::AnswerByte) plan->finalStatus = fault.byte;
    plan->unit.faults.push_back(fault);
    plan->kinds.push_back(kind);
}

// Adds one fault to the discovery: a cut version reply, another version letter, or a
// memory read cut short, answered '?' or with a wrong sum.
void AddDiscoveryFault(Dice& dice, PlannedUpdate* plan) {
    Fault fault;
    const int which = dice.Between(0, 2);
    if (which == 0) {
        fault.step = FaultStep::Version;
        fault.action = FaultAction::ShortReply;
        fault.count = dice.Between(0, 2);
        plan->unitIdentifies = false;
        plan->kinds.push_back(FaultKind::ShortVersion);
    } else if (which == 1) {
        const char letters[] = {'A', 'F', '1', '2', 'Z'};
        fault.step = FaultStep::Version;
        fault.action = FaultAction::AnswerByte;
        fault.byte = static_cast<uint8_t>(letters[dice.Between(0, 4)]);
        plan->unitTakesFirmware = fault.byte == 'A' || fault.byte == 'F';
        plan->kinds.push_back(FaultKind::VersionLetter);
    } else {
        fault.step = FaultStep::MemoryRead;
        fault.index = dice.Between(1, 7);
        const int how = dice.Between(0, 2);
        fault.action = how == 0 ? FaultAction::ShortReply : how == 1 ? FaultAction::BadChecksum : FaultAction::AnswerByte;
        fault.count = dice.Between(0, 1);
        fault.byte = '?';
        plan->kinds.push_back(FaultKind::CutMemoryRead);
    }
    plan->unit.faults.push_back(fault);
}

}  // namespace

const char* FaultKindName(FaultKind kind) {
    switch (kind) {
    case FaultKind::None: return "none";
    case FaultKind::AnswerByte: return "answer byte";
    case FaultKind::Silence: return "silence";
    case FaultKind::HangUp: return "hang-up";
    case FaultKind::ShortVersion: return "short version reply";
    case FaultKind::VersionLetter: return "other version letter";
    case FaultKind::CutMemoryRead: return "cut memory read";
    case FaultKind::StrayByte: return "stray byte";
    case FaultKind::Count: break;
    }
    return "?";
}

bool FinalStatusMeansSuccess(uint8_t status) {
    for (uint8_t failing : kFailingFinals)
        if (status == failing) return false;
    return true;
}

PlannedUpdate PlanUpdate(uint64_t seed, int silencePercent) {
    Dice dice(seed);
    PlannedUpdate plan;
    plan.seed = seed;
    plan.imageSize = dice.Percent(5) ? 65536u : static_cast<uint32_t>(dice.Between(1, 6000));
    plan.unit = dice.Percent(50) ? UnitConfig::Kestrale('U') : UnitConfig::GristPell();
    plan.upload.imageSize = plan.imageSize;
    plan.upload.hangUp = HangUpSeenAs::ReadFailure;

    const int roll = dice.Between(0, 99);
    if (roll < 10) {
        plan.kinds.push_back(FaultKind::None);
    } else if (roll < 25) {
        AddDiscoveryFault(dice, &plan);
    } else {
        AddUploadFault(dice, silencePercent, &plan);
        if (dice.Percent(20)) AddUploadFault(dice, silencePercent, &plan);
    }
    return plan;
}

std::string PlannedUpdate::Describe() const {
    return "seed " + std::to_string(seed) + ", image " + std::to_string(imageSize) + " bytes, unit \"" +
           FormatUnitConfig(unit) + "\"";
}
