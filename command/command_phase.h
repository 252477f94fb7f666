#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace morvane {

// Where the select-text command stands: the one record the command and the window share. The
// window starts a command (Attaching); the command moves it at each of its steps (Picking, Writing,
// Ending); the long-call timer moves Writing to WaitingLong. While the command runs, each of its
// calls into the CAD application waits in COM's modal loop, and COM hands whatever arrives for the
// window meanwhile to the window procedure (the message filter delivers it as the message loop
// would), as does the modal loop of each message box the command shows: a press in any phase but
// Idle is delivered from inside the command, and whatever it does happens before the command goes on.
enum class CommandPhase : std::uint8_t {
    Idle,         // no command runs
    Attaching,    // "Select Text" was pressed: reaching the CAD application, bringing its window
                  // forward, hiding the window and taking the document's utility
    Picking,      // the pick (GetEntity) and the box of its failure, the window hidden
    Writing,      // the pick went through: reading and writing the texts and the command's message
                  // boxes, the window hidden, the long-call timer armed (and stopped while one of
                  // the command's own boxes waits on the user)
    WaitingLong,  // the long-call timer fired while Writing: the window showing again, not active,
                  // with the wait cursor, so that "Cancel" is within reach of a call that hangs
    Ending,       // the command has shown the window again (or left it showing): it only lets go
                  // of its references now, and each last release is a call that may wait
};

// What reaches the window.
enum class PhaseInput : std::uint8_t {
    SelectText,     // "Select Text": its click, Enter while it has the focus
    Cancel,         // "Cancel": its click, Enter while it has the focus; the close box and Alt+F4 (WM_CLOSE)
    Escape,         // Escape (the dialog manager's IDCANCEL)
    OptionKey,      // a click on an option, an arrow key among the options
    LongCallTimer,  // the message the long-call timer posts, armed at the pick
    Destroy,        // WM_DESTROY
};

enum class PhaseAction : std::uint8_t {
    Act,         // does what it does: runs the command, closes the window (the program then ends
                 // within a second), selects the option, shows the window while the call waits,
                 // lets go of the picked entity and ends the loop
    Ignore,      // nothing at all
    Remember,    // done once the command has ended
    CloseAfterCommand,  // the window hides at once and closes once the command has ended (it only
                        // lets go of its references then); the program ends within a second,
                        // whatever the CAD application does meanwhile
    EndProcess,  // the process ends at once: going back to the command would let the waiting call
                 // return and the command go on (pick, write), so nothing after that call runs
    CloseUndoGroupFirst,  // inside an undo group: the window hides at once, the command makes no
                          // further write, sends EndUndoMark once the waiting call returns, and the
                          // program ends then; 10 s after the press it ends whatever happens
};

inline constexpr std::size_t kPhaseCount = 6;
inline constexpr std::size_t kPhaseInputCount = 6;
static_assert(static_cast<std::size_t>(CommandPhase::Ending) + 1 == kPhaseCount);
static_assert(static_cast<std::size_t>(PhaseInput::Destroy) + 1 == kPhaseInputCount);

namespace phase_rules {
using enum PhaseAction;
// The rule for each input in each phase, read across a row.
inline constexpr PhaseAction kTable[kPhaseCount][kPhaseInputCount] = {
    //                 SelectText  Cancel      Escape  OptionKey  LongCallTimer  Destroy
    /* Idle */        {Act,        Act,        Ignore, Act,       Ignore,        Act},
    /* Attaching */   {Ignore,     EndProcess, Ignore, Act,       Ignore,        Act},
    /* Picking */     {Ignore,     EndProcess, Ignore, Act,       Ignore,        Act},
    /* Writing */     {Ignore,     EndProcess, Ignore, Act,       Act,           Act},
    /* WaitingLong */ {Ignore,     EndProcess, Ignore, Act,       Ignore,        Act},
    /* Ending */      {Remember,   CloseAfterCommand, Ignore, Act, Ignore,       Act},
};
}  // namespace phase_rules

// Whether the command is inside an undo group (from before its StartUndoMark until its EndUndoMark
// has come back), and whether "Cancel" came while it was (which holds until the command has ended).
enum class UndoGroupState : std::uint8_t { None, Open, Cancelled };

// The rule for the input in the phase. Inside an undo group (the command is Writing or WaitingLong
// then) an input whose rule ends the process closes the group first: ended at once, the program
// would leave the group open in the CAD application, and the drafter's next commands would join it
// and be undone with Morvane's writes. Once cancelled, the window stays hidden until the end.
[[nodiscard]] constexpr PhaseAction PhaseRule(CommandPhase phase, PhaseInput input,
                                              UndoGroupState group = UndoGroupState::None) noexcept {
    const PhaseAction action = phase_rules::kTable[static_cast<std::size_t>(phase)][static_cast<std::size_t>(input)];
    if (group == UndoGroupState::None) return action;
    if (action == PhaseAction::EndProcess) return PhaseAction::CloseUndoGroupFirst;
    if (group == UndoGroupState::Cancelled && input == PhaseInput::LongCallTimer) return PhaseAction::Ignore;
    return action;
}

// The window's wait cursor shows over it while a command runs.
[[nodiscard]] constexpr bool ShowsWaitCursor(CommandPhase phase) noexcept { return phase != CommandPhase::Idle; }

// The command's phase, whether it is inside an undo group, and the press remembered for its end.
// Throws nothing.
class CommandPhases {
public:
    [[nodiscard]] CommandPhase Phase() const noexcept { return phase_; }

    // The rule for the input now, applied here: "Select Text" that acts starts the command
    // (Attaching), the long-call timer that acts moves Writing to WaitingLong, a remembered press is
    // kept for End ("Cancel" over "Select Text"), "Cancel" inside an undo group is remembered and
    // asks the command to stop. The window does the rest of what the answer says.
    [[nodiscard]] PhaseAction On(PhaseInput input) noexcept;

    // The command's own step: where it stands now.
    void Enter(CommandPhase phase) noexcept { phase_ = phase; }
    // The command is about to send StartUndoMark (open) or its EndUndoMark has come back (closed).
    void UndoGroup(bool open) noexcept;
    // Whether "Cancel" came inside an undo group: the command writes nothing more and shows nothing.
    [[nodiscard]] bool CancelRequested() const noexcept { return group_ == UndoGroupState::Cancelled; }

    // The command has returned: back to Idle, with the press remembered meanwhile, to be handed to
    // On now; none when nothing was remembered.
    [[nodiscard]] std::optional<PhaseInput> End() noexcept;

private:
    CommandPhase phase_ = CommandPhase::Idle;
    UndoGroupState group_ = UndoGroupState::None;
    std::optional<PhaseInput> remembered_;
};

}  // namespace morvane
