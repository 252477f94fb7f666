#include "caseconv/letter_or_digit.h"

#include <algorithm>
#include <iterator>

namespace morvane {
namespace {

struct CodePointRange {
    char32_t first;
    char32_t last;
};

// Sorted, disjoint and not adjacent.
constexpr CodePointRange kLettersAndDigits[] = {
#include "caseconv/letter_or_digit_ranges.inc"
};

}  // namespace

bool IsLetterOrDigit(char32_t codePoint) noexcept {
    if (codePoint < 0x80) {
        return (codePoint >= u'0' && codePoint <= u'9') || ((codePoint | 0x20) >= u'a' && (codePoint | 0x20) <= u'z');
    }
    // The first range that ends at or after the code point is the only one that can hold it.
    const auto* range = std::lower_bound(std::begin(kLettersAndDigits), std::end(kLettersAndDigits), codePoint,
                                         [](const CodePointRange& r, char32_t c) { return r.last < c; });
    return range != std::end(kLettersAndDigits) && range->first <= codePoint;
}

}  // namespace morvane
