#pragma once

#include "cadlink/cad_link.h"
#include "command/case_dialog.h"
#include "command/text_kinds.h"

namespace morvane {

// Runs the select-text command on the dialog against the CAD application: the objects selected in
// the drawing before the press, where there are any, else the entity the user picks. Every failure
// ends in the command's own failure dispatch; nothing leaves it.
void cmdSelect_Click(CaseDialog& dialog, CadLink& cad) noexcept;
// The same with another table of kinds than the program's.
void cmdSelect_Click(CaseDialog& dialog, CadLink& cad, const TextKinds& kinds) noexcept;

}  // namespace morvane
