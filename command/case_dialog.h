#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "cadlink/cad_link.h"
#include "caseconv/caseconv.h"
#include "command/command_phase.h"

namespace morvane {

// What the select-text command needs of the window it steps aside from, and the record of where
// the command stands, which the command and the window share.
class CaseDialog {
public:
    virtual ~CaseDialog() = default;

    // The first selected option, Option1 to Option4, as a CaseMode; none when no option is selected.
    [[nodiscard]] virtual std::optional<CaseMode> SelectedCase() const = 0;
    // Before the pick.
    virtual void Hide() = 0;
    // Modeless; the window keeps its selection and position.
    virtual void Show() = 0;
    [[nodiscard]] virtual bool Visible() const = 0;
    // A modal box with the text, the caption, an OK button only and no icon; returns once closed.
    virtual void ShowMessage(std::u16string_view text, std::u16string_view caption) = 0;
    // The dialog's reference to the last picked entity; the command empties and fills it.
    [[nodiscard]] virtual std::shared_ptr<CadEntity>& PickedEntity() = 0;

    // The command's step, moved by the command itself (Attaching, Picking, Writing, Ending).
    void EnterPhase(CommandPhase phase) noexcept {
        phases_.Enter(phase);
        PhaseEntered(phase);
    }
    [[nodiscard]] CommandPhase Phase() const noexcept { return phases_.Phase(); }
    // The command has sent StartUndoMark (open), or its EndUndoMark has come back (closed).
    void UndoGroup(bool open) noexcept { phases_.UndoGroup(open); }
    // Whether "Cancel" came inside an undo group: the command makes no further write and shows
    // nothing; the program ends once the command has returned.
    [[nodiscard]] bool CancelRequested() const noexcept { return phases_.CancelRequested(); }

protected:
    [[nodiscard]] CommandPhases& Phases() noexcept { return phases_; }
    // What the window does as the command enters a phase (the long-call timer at Writing).
    virtual void PhaseEntered(CommandPhase) noexcept {}

private:
    CommandPhases phases_;
};

}  // namespace morvane
