#include <gtest/gtest.h>

#include <string>

#include "caseconv/whole_run_mapping.h"
#include "caseconv/tests/case_table.h"

namespace {

using namespace std::string_literals;

// Maps unit by unit the ways a locale's table could go wrong, and answers as LCMapStringEx does:
// the number of units written, or 0 when the result needs more room.
int Hostile(std::span<const char16_t> source, std::span<char16_t> destination) {
    std::u16string out;
    for (const char16_t unit : source) {
        switch (unit) {
        case u'a': out += u'A'; break;
        case u'b': out += u"BB"; break;                       // one character to two
        case u'c': out += char16_t{0xD800}; break;            // to a surrogate
        case char16_t{0xDC28}: out += char16_t{0xDC00}; break;  // U+10428 to U+10400
        case char16_t{0xD802}: out += u'X'; break;            // breaks a pair, or maps a lone surrogate
        default: out += unit; break;
        }
    }
    if (out.size() > destination.size()) {
        return 0;
    }
    std::copy(out.begin(), out.end(), destination.begin());
    return static_cast<int>(out.size());
}

using morvane::testing::RunCase;

const RunCase kRunCases[] = {
    {"Empty", u""s, u""s},
    {"WholeRun", u"a\U00010428a"s, u"A\U00010400A"s},
    {"GrowingCharacterKept", u"ab"s, u"Ab"s},
    {"SurrogateResultKept", u"ac"s, u"Ac"s},
    {"BrokenPairKept", u"a\U00010828"s, u"A\U00010828"s},
    {"LoneSurrogateRestored", u"a\xD802"s, u"A\xD802"s},
    {"LoneSurrogateKeptOneByOne", u"b\xD802" u"a"s, u"b\xD802" u"A"s},
};

class WholeRunMapping : public ::testing::TestWithParam<RunCase> {};

// A whole-run mapping is taken only where it keeps every character in place, else character by character.
TEST_P(WholeRunMapping, KeepsEveryCharacterInPlace) {
    std::u16string run = GetParam().run;
    morvane::MapRunKeepingCharacters(run, Hostile);
    EXPECT_EQ(run, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, WholeRunMapping, ::testing::ValuesIn(kRunCases), morvane::testing::RowName());

// A run whose mapping keeps its length goes in one call; otherwise one more call per character.
TEST(WholeRunMappingCalls, OneCallUnlessACharacterDoesNotFit) {
    int calls = 0;
    const auto counting = [&](std::span<const char16_t> source, std::span<char16_t> destination) {
        ++calls;
        return Hostile(source, destination);
    };
    std::u16string fits = u"a\U00010428a"s;
    morvane::MapRunKeepingCharacters(fits, counting);
    EXPECT_EQ(calls, 1);

    calls = 0;
    std::u16string grows = u"ab\U00010428"s;
    morvane::MapRunKeepingCharacters(grows, counting);
    EXPECT_EQ(calls, 1 + 3);
    EXPECT_EQ(grows, u"Ab\U00010400"s);
}

}  // namespace
