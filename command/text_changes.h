#pragma once

#include <optional>

#include "cadlink/cad_link.h"
#include "caseconv/caseconv.h"
#include "command/case_dialog.h"
#include "command/text_kinds.h"
#include "command/writes.h"

namespace morvane {

// When the entity's kind (its ObjectName) is asked: only where the answer matters (a click, which
// costs no extra call so), or first (where the binding knows it already).
enum class KindAsked { WhereItMatters, First };

// Reads the text the entity holds and adds what it becomes in the case (none: nothing is converted)
// to the writes, each kind as the table of kinds says: its TextString (with a box on `box` showing
// the text behind an underline code first, where a box is given), else a block's attributes, a
// dimension's override or a table's cells, silently. Field expressions are always kept; an entity
// whose field is kept in its extension dictionary, a tolerance, an empty text and an entity that
// holds none of these add nothing. Throws morvane::Failure for the dispatch; a 438 only where the
// entity was expected to answer.
void ReadTextChanges(CaseDialog* box, CadEntity& entity, std::optional<CaseMode> mode, const TextKinds& kinds,
                     Writes& writes, KindAsked asked = KindAsked::WhereItMatters);

// Rewrites the text that the picked entity holds in the case chosen for this pick (ReadTextChanges,
// the box shown on the dialog), then writes it; writes of more than one text make one undo step in
// the document. Throws morvane::Failure for the dispatch.
void ChangePickedText(CaseDialog& dialog, CadDocument& document, CadEntity& entity, std::optional<CaseMode> mode,
                      const TextKinds& kinds = kTextKinds);

}  // namespace morvane
