#pragma once

#include <cstddef>

#include "cadlink/cad_link.h"
#include "dialog/answers.h"

namespace morvane {

// Runs the writes of one pick as one undo step in the CAD application when they write more than
// one text, so that one Undo takes them all back; a pick that writes one text makes no extra call.
// A document that does not answer StartUndoMark (438) writes without. Once StartUndoMark went
// through, EndUndoMark runs on every way out, before the failure reaches the dispatch; when a write
// failed, its failure is the one reported, else EndUndoMark's own.
template <class Writes>
void InOneUndoStep(CadDocument& document, std::size_t texts, Writes writes) {
    const bool marked = texts > 1 && IfAnswered([&] {
                                         document.StartUndoMark();
                                         return true;
                                     }).has_value();
    if (!marked) {
        writes();
        return;
    }
    try {
        writes();
    } catch (...) {
        try {
            document.EndUndoMark();
        } catch (...) {
            // The write's failure is the one to report; the step ends with the CAD application's
            // next undo mark or command.
        }
        throw;
    }
    document.EndUndoMark();
}

}  // namespace morvane
