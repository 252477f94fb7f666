#pragma once

#include "cadlink/cad_link.h"
#include "command/case_dialog.h"

namespace morvane {

// Runs the select-text command on the dialog against the CAD application. Every failure ends in
// the command's own failure dispatch; nothing leaves it.
void cmdSelect_Click(CaseDialog& dialog, CadLink& cad) noexcept;

}  // namespace morvane
