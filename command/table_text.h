#pragma once

#include "cadlink/cad_link.h"
#include "caseconv/caseconv.h"
#include "command/text_kinds.h"
#include "command/writes.h"

namespace morvane {

// Reads every text cell of a table and what it becomes in the given case, as the table of kinds'
// row for its cells says (formatted text, its fields kept). A block cell, a cell that shows a field
// or a formula, a locked or linked cell and a cell whose value is a number or a date are left as
// they are; a merged range is read once, through its first cell; a cell whose text the case does not
// change is not written. Throws morvane::Failure: 6 for a size out of range or a cell over the
// underline code's limit.
[[nodiscard]] TableWrite ReadTable(CadEntity& entity, CaseMode mode, const TextKind& cells);

}  // namespace morvane
