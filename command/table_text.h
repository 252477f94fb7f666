#pragma once

#include "cadlink/cad_link.h"
#include "caseconv/caseconv.h"
#include "command/case_dialog.h"

namespace morvane {

// Rewrites every text cell of a table in the given case, as formatted text with its fields kept,
// in one undo step (which a "Cancel" on the dialog stops before the next write), the table
// regenerated once. A block cell, a cell that shows a field or a formula, a locked or linked cell
// and a cell whose value is a number or a date are left as they are; a merged range is read and
// written once, through its first cell; a cell whose text the case does not change is not written.
// Every cell is read and converted before any is written; the table entity is redrawn once when a
// cell was written. Throws morvane::Failure: 6 for a size out of range or a cell over the underline
// code's limit, with nothing written.
void ChangeTable(CadDocument& document, CaseDialog& dialog, CadEntity& entity, CaseMode mode);

}  // namespace morvane
