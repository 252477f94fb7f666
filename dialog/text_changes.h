#pragma once

#include <optional>

#include "cadlink/cad_link.h"
#include "caseconv/caseconv.h"
#include "dialog/case_dialog.h"

namespace morvane {

// Rewrites the text that the picked entity holds in the case chosen for this pick (none: nothing is
// converted or written): its TextString
// (the text behind an underline code shown first, fields kept), else a block's attributes or a
// dimension's override, silently; writes of more than one text make one undo step in the
// document. An entity that holds none of these, or a tolerance, stays as it is. Throws
// morvane::Failure for the dispatch; a 438 only where the entity was expected to answer.
void ChangePickedText(CaseDialog& dialog, CadDocument& document, CadEntity& entity, std::optional<CaseMode> mode);

}  // namespace morvane
