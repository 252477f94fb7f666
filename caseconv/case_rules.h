#pragma once

#include <string>

#include "caseconv/caseconv.h"

namespace morvane {

// ConvertCase on a text the caller owns, in place: the one home of the four modes' rules, also for
// the visible characters of a formatted text. Never throws; the length is kept.
void ConvertCaseInPlace(std::u16string& text, CaseMode mode, const CaseMapper& mapper);

}  // namespace morvane
