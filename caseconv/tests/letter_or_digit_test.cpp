#include "caseconv/letter_or_digit.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct CodePointRange {
    char32_t first;
    char32_t last;
};

constexpr CodePointRange kRanges[] = {
#include "caseconv/letter_or_digit_ranges.inc"
};

// Rule: every range of the table counts from its first to its last code point, and neither
// neighbour outside it counts (the ranges are not adjacent).
TEST(LetterOrDigit, EveryRangeHoldsExactlyItsEdges) {
    for (const CodePointRange& range : kRanges) {
        const auto first = static_cast<std::uint32_t>(range.first);
        const auto last = static_cast<std::uint32_t>(range.last);
        EXPECT_TRUE(morvane::IsLetterOrDigit(range.first)) << std::hex << first;
        EXPECT_TRUE(morvane::IsLetterOrDigit(range.last)) << std::hex << last;
        EXPECT_FALSE(morvane::IsLetterOrDigit(range.first - 1)) << std::hex << first - 1;
        EXPECT_FALSE(morvane::IsLetterOrDigit(range.last + 1)) << std::hex << last + 1;
    }
}

}  // namespace
