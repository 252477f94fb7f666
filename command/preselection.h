#pragma once

#include <cstdint>

#include "cadlink/cad_link.h"
#include "caseconv/caseconv.h"
#include "command/case_dialog.h"
#include "command/text_kinds.h"

namespace morvane {

// What converting a pre-selection came to: the objects in it, and those left as they were because
// they are on a locked layer (or their layer could not be read).
struct PreselectionResult {
    std::int32_t objects;
    std::int32_t leftOnLockedLayers;
};

// Converts every entity of the selection (count of them, as its Count answered) in the case, as a
// click on each would (ReadTextChanges, without the underline code's box); an entity without text
// is passed over, one the set gives twice is converted once, one on a locked layer is left as it
// is. Every text is read before the first is written, and the writes are one undo step, which a
// "Cancel" on the dialog stops before the next call. Then has the CAD application redraw them (the
// set's Update, else each written entity's) and clears the set. Throws morvane::Failure: 6 for a
// count out of range, with nothing read.
PreselectionResult ChangePreselection(CaseDialog& dialog, CadDocument& document, CadSelection& selection,
                                      std::int32_t count, CaseMode mode, const TextKinds& kinds);

}  // namespace morvane
