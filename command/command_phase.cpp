#include "command/command_phase.h"

namespace morvane {

PhaseAction CommandPhases::On(PhaseInput input) noexcept {
    const PhaseAction action = PhaseRule(phase_, input, group_);
    if (action == PhaseAction::Act && input == PhaseInput::SelectText) {
        phase_ = CommandPhase::Attaching;
    } else if (action == PhaseAction::Act && input == PhaseInput::LongCallTimer) {
        phase_ = CommandPhase::WaitingLong;
    } else if (action == PhaseAction::CloseUndoGroupFirst) {
        group_ = UndoGroupState::Cancelled;
        remembered_ = input;
    } else if (action == PhaseAction::CloseAfterCommand) {
        remembered_ = PhaseInput::Cancel;
    } else if (action == PhaseAction::Remember && remembered_ != PhaseInput::Cancel) {
        remembered_ = input;
    }
    return action;
}

void CommandPhases::UndoGroup(bool open) noexcept {
    if (group_ != UndoGroupState::Cancelled) {
        group_ = open ? UndoGroupState::Open : UndoGroupState::None;
    }
}

std::optional<PhaseInput> CommandPhases::End() noexcept {
    phase_ = CommandPhase::Idle;
    group_ = UndoGroupState::None;
    const std::optional<PhaseInput> remembered = remembered_;
    remembered_.reset();
    return remembered;
}

}  // namespace morvane
