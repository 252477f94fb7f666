#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "cadlink/cad_link.h"
#include "caseconv/caseconv.h"

namespace morvane {

// What the select-text command needs of the window it steps aside from. Hide, PickDone and Show
// also tell the window where the command stands (CommandPhase in dialog/command_phase.h): the
// pick is under way, the pick has gone through, the command is ending.
class CaseDialog {
public:
    virtual ~CaseDialog() = default;

    // The first selected option, Option1 to Option4, as a CaseMode; none when no option is selected.
    [[nodiscard]] virtual std::optional<CaseMode> SelectedCase() const = 0;
    // Before the pick.
    virtual void Hide() = 0;
    // Modeless; the window keeps its selection and position. When the command calls it, it is the
    // command's last act.
    virtual void Show() = 0;
    // A modal box with the text, the caption, an OK button only and no icon; returns once closed.
    virtual void ShowMessage(std::u16string_view text, std::u16string_view caption) = 0;
    // The pick has gone through; the command's remaining steps (reading and writing the texts)
    // follow while the dialog is still hidden.
    virtual void PickDone() {}
    // The dialog's reference to the last picked entity; the command empties and fills it.
    [[nodiscard]] virtual std::shared_ptr<CadEntity>& PickedEntity() = 0;
};

}  // namespace morvane
