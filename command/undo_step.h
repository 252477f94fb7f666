#pragma once

#include <cstddef>

#include "cadlink/cad_link.h"
#include "command/case_dialog.h"
#include "command/run_between.h"
#include "failure/failure.h"

namespace morvane {

// Runs the writes of one pick as one undo step in the CAD application when they write more than
// one text, so that one Undo takes them all back; a pick that writes one text makes no extra call.
// A document that does not answer StartUndoMark (438) writes without. Once StartUndoMark went
// through, EndUndoMark runs on every way out, before the failure reaches the dispatch; when a write
// failed, its failure is the one reported, else EndUndoMark's own.
//
// writes(beforeEachCall) makes the writes, calling beforeEachCall() before each of its calls:
// after "Cancel" inside the group it throws kUserInterrupt, so that nothing more is written and
// the group is closed at once. The dialog knows the group is open from before StartUndoMark is
// sent (a "Cancel" while that call waits closes the group it may open) until EndUndoMark is back.
template <class Writes>
void InOneUndoStep(CadDocument& document, CaseDialog& dialog, std::size_t texts, Writes writes) {
    const auto beforeEachCall = [&dialog] {
        if (dialog.CancelRequested()) throw Failure(error_number::kUserInterrupt);
    };
    struct OpenGroup {
        CaseDialog& dialog;
        ~OpenGroup() { dialog.UndoGroup(false); }
    };
    const OpenGroup group{dialog};
    if (texts > 1) dialog.UndoGroup(true);
    // A group StartUndoMark did not open (438) is no group. When EndUndoMark fails after a failed
    // write, the step ends with the CAD application's next undo mark or command.
    (void)RunBetween(
        texts > 1,
        [&] {
            try {
                document.StartUndoMark();
            } catch (...) {
                dialog.UndoGroup(false);
                throw;
            }
        },
        [&] { writes(beforeEachCall); }, [&] { document.EndUndoMark(); });
    // Cancelled while the last write or EndUndoMark waited: the command goes no further.
    beforeEachCall();
}

}  // namespace morvane
