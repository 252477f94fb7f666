#include "dialog/command_phase.h"

namespace morvane {

PhaseAction CommandPhases::On(PhaseInput input) noexcept {
    const PhaseAction action = PhaseRule(phase_, input);
    if (action == PhaseAction::Act && input == PhaseInput::SelectText) {
        phase_ = CommandPhase::Attaching;
    } else if (action == PhaseAction::Act && input == PhaseInput::LongCallTimer) {
        phase_ = CommandPhase::WaitingLong;
    } else if (action == PhaseAction::Remember && remembered_ != PhaseInput::Cancel) {
        remembered_ = input;
    }
    return action;
}

void CommandPhases::Hidden() noexcept {
    if (phase_ == CommandPhase::Attaching) {
        phase_ = CommandPhase::Picking;
    }
}

bool CommandPhases::PickDone() noexcept {
    if (phase_ != CommandPhase::Picking) {
        return false;
    }
    phase_ = CommandPhase::Writing;
    return true;
}

void CommandPhases::Shown() noexcept {
    if (phase_ != CommandPhase::Idle) {
        phase_ = CommandPhase::Ending;
    }
}

std::optional<PhaseInput> CommandPhases::End() noexcept {
    phase_ = CommandPhase::Idle;
    const std::optional<PhaseInput> remembered = remembered_;
    remembered_.reset();
    return remembered;
}

}  // namespace morvane
