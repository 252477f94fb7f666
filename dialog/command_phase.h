#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace morvane {

// Where the select-text command stands, as the window sees it. While the command runs, each of its
// calls into the CAD application waits in COM's modal loop, and COM hands whatever arrives for the
// window meanwhile to the window procedure (the message filter delivers it as the message loop
// would), as does the modal loop of each message box the command shows: a press in any phase but
// Idle is delivered from inside the command, and whatever it does happens before the command goes on.
enum class CommandPhase : std::uint8_t {
    Idle,         // no command runs
    Attaching,    // "Select Text" was pressed: reaching the CAD application, the window showing
    Picking,      // the command hid the window (CaseDialog::Hide): the pick and the call before it
    Writing,      // the pick went through (CaseDialog::PickDone): reading and writing the texts and
                  // the command's message boxes, the window hidden, the long-call timer armed (and
                  // stopped while one of the command's own boxes waits on the user)
    WaitingLong,  // the long-call timer fired while Writing: the window showing again, not active,
                  // with the wait cursor, so that "Cancel" is within reach of a call that hangs
    Ending,       // the command showed the window again (CaseDialog::Show), its last act: it only
                  // lets go of its references now
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
    Act,         // does what it does: runs the command, closes the window, selects the option, shows
                 // the window while the call waits, lets go of the picked entity and ends the loop
    Ignore,      // nothing at all
    Remember,    // done once the command has ended (a "Cancel" wins over a "Select Text")
    EndProcess,  // the process ends at once: going back to the command would let the waiting call
                 // return and the command go on (pick, write), so nothing after that call runs
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
    /* Ending */      {Remember,   Remember,   Ignore, Act,       Ignore,        Act},
};
}  // namespace phase_rules

[[nodiscard]] constexpr PhaseAction PhaseRule(CommandPhase phase, PhaseInput input) noexcept {
    return phase_rules::kTable[static_cast<std::size_t>(phase)][static_cast<std::size_t>(input)];
}

// The window's wait cursor shows over it while a command runs.
[[nodiscard]] constexpr bool ShowsWaitCursor(CommandPhase phase) noexcept { return phase != CommandPhase::Idle; }

// The command's phase and the press remembered for its end; the window's one record of both.
// The command moves it through the window's CaseDialog calls (Hidden, PickDone, Shown); each
// report outside the phase it moves on from changes nothing. Throws nothing.
class CommandPhases {
public:
    [[nodiscard]] CommandPhase Phase() const noexcept { return phase_; }

    // The rule for the input now, applied here: "Select Text" that acts starts the command
    // (Attaching), the long-call timer that acts moves Writing to WaitingLong, a remembered press is
    // kept for End. The window does the rest of what the answer says.
    [[nodiscard]] PhaseAction On(PhaseInput input) noexcept;

    // Attaching to Picking: the command hid the window for the pick.
    void Hidden() noexcept;
    // Picking to Writing: whether it moved, for the window then arms the long-call timer.
    [[nodiscard]] bool PickDone() noexcept;
    // Any phase of a running command to Ending: the command showed the window again.
    void Shown() noexcept;
    // The command has returned: back to Idle, with the press remembered while it ended, to be
    // handed to On now (a "Cancel" over a "Select Text"); none when nothing was remembered.
    [[nodiscard]] std::optional<PhaseInput> End() noexcept;

private:
    CommandPhase phase_ = CommandPhase::Idle;
    std::optional<PhaseInput> remembered_;
};

}  // namespace morvane
