#pragma once

#include "command/answers.h"

namespace morvane {

// Runs work() between begin() and end() where wanted and where the CAD application answers begin
// (a 438 from it: work runs without). Once begin went through, end() runs on every way out, before
// a failure goes on to the dispatch; when work failed, its failure is the one reported, else end's
// own. Gives whether begin went through.
template <class Begin, class Work, class End>
bool RunBetween(bool wanted, Begin begin, Work work, End end) {
    const bool begun = wanted && IfAnswered(AnswerRule::MemberUnknown, [&] {
                                     begin();
                                     return true;
                                 }).has_value();
    if (!begun) {
        work();
        return false;
    }
    try {
        work();
    } catch (...) {
        try {
            end();
        } catch (...) {
            // The work's failure is the one to report.
        }
        throw;
    }
    end();
    return true;
}

}  // namespace morvane
