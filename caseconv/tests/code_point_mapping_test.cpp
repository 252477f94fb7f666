#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "caseconv/code_point_mapping.h"
#include "caseconv/utf16.h"
#include "caseconv/tests/case_table.h"

namespace {

using namespace std::string_literals;

// A mapping that tries everything a locale's table could get wrong.
char32_t Hostile(char32_t c) {
    switch (c) {
    case U'a': return U'A';
    case U'b': return U'\U00010400';   // one unit to two
    case U'c': return 0xD800;          // to a surrogate code point
    case U'\U00010428': return U'\U00010400';
    case U'\U00010429': return U'x';   // two units to one
    case U'\U0001042A': return 0x110000;  // beyond Unicode
    default: return c;
    }
}

using morvane::testing::RunCase;

const RunCase kRunCases[] = {
    {"Bmp", u"a"s, u"A"s},
    {"BmpToPairKept", u"b"s, u"b"s},
    {"BmpToSurrogateKept", u"c"s, u"c"s},
    {"Pair", u"\U00010428"s, u"\U00010400"s},
    {"PairToBmpKept", u"\U00010429"s, u"\U00010429"s},
    {"PairBeyondUnicodeKept", u"\U0001042A"s, u"\U0001042A"s},
    {"LoneHigh", u"\xD801" u"a"s, u"\xD801" u"A"s},
    {"LoneLow", u"\xDC28" u"a"s, u"\xDC28" u"A"s},
    {"ReversedPair", u"\xDC28\xD801"s, u"\xDC28\xD801"s},
    {"Mixed", u"abc\U00010428\U00010429\0a"s, u"Abc\U00010400\U00010429\0A"s},
};

class CodePointMapping : public ::testing::TestWithParam<RunCase> {};

// Every character is mapped one to one; whatever would change the length is left as it is.
TEST_P(CodePointMapping, MapsOnlyWhatKeepsTheLength) {
    std::u16string run = GetParam().run;
    morvane::MapCodePoints(run, Hostile);
    EXPECT_EQ(run, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, CodePointMapping, ::testing::ValuesIn(kRunCases), morvane::testing::RowName());

// A lone surrogate is never handed to the mapping; a pair is handed over as one code point.
TEST(CodePointMappingCalls, SeesCodePointsNeverLoneSurrogates) {
    std::u16string run = u"a\xD801\U00010428\xDC00"s;
    std::vector<char32_t> seen;
    morvane::MapCodePoints(run, [&](char32_t c) { seen.push_back(c); return c; });
    EXPECT_EQ(seen, (std::vector<char32_t>{U'a', U'\U00010428'}));
}

}  // namespace
