#pragma once

#include <optional>

#include "cadlink/cad_link.h"
#include "caseconv/caseconv.h"
#include "command/case_dialog.h"

namespace morvane {

// Rewrites the text that the picked entity holds in the case chosen for this pick (none: nothing is
// converted or written), each kind as the table of kinds (text_kinds.h) says: its TextString (the
// text behind an underline code shown first), else a block's attributes, a dimension's override or
// a table's cells, silently; writes of more than one text make one undo step in the document.
// Field expressions are always kept; an entity whose field is kept in its extension dictionary, a
// tolerance, an empty text and an entity that holds none of these stay as they are. Throws
// morvane::Failure for the dispatch; a 438 only where the entity was expected to answer.
void ChangePickedText(CaseDialog& dialog, CadDocument& document, CadEntity& entity, std::optional<CaseMode> mode);

}  // namespace morvane
