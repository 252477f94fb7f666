#include "dialog/command_phase.h"

namespace morvane {

PhaseAction CommandPhases::On(PhaseInput input) noexcept {
    // Cancelled inside an undo group, the window stays hidden until the program ends.
    if (cancelRequested_ && input == PhaseInput::LongCallTimer) return PhaseAction::Ignore;
    const PhaseAction action = PhaseRule(phase_, input, inUndoGroup_);
    if (action == PhaseAction::Act && input == PhaseInput::SelectText) {
        phase_ = CommandPhase::Attaching;
    } else if (action == PhaseAction::Act && input == PhaseInput::LongCallTimer) {
        phase_ = CommandPhase::WaitingLong;
    } else if (action == PhaseAction::CloseUndoGroupFirst) {
        cancelRequested_ = true;
        remembered_ = input;
    } else if (action == PhaseAction::Remember && remembered_ != PhaseInput::Cancel) {
        remembered_ = input;
    }
    return action;
}

std::optional<PhaseInput> CommandPhases::End() noexcept {
    phase_ = CommandPhase::Idle;
    inUndoGroup_ = false;
    cancelRequested_ = false;
    const std::optional<PhaseInput> remembered = remembered_;
    remembered_.reset();
    return remembered;
}

}  // namespace morvane
