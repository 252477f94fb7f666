#pragma once

#include <string>
#include <string_view>

#include "caseconv/caseconv.h"

namespace morvane {

// Whether field expressions "%<…>%" in a text are kept unit for unit: always where Morvane writes a
// text back, never for ConvertMTextCase, which reads formatted text alone.
enum class FieldExpressions { AsText, Kept };

// The text in the given case with what it keeps unit for unit untouched: formatting codes and the
// characters of symbol fonts (formatted text), field expressions (when kept). Each kept piece
// reads to the word and sentence rules as what it draws. The length is kept; throws only
// std::bad_alloc.
[[nodiscard]] std::u16string ConvertKeepingCodes(std::u16string_view text, CaseMode mode, const CaseMapper& mapper,
                                                 TextFormat format, FieldExpressions fields);

}  // namespace morvane
