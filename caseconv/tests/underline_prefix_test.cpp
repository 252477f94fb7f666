#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "caseconv/caseconv.h"
#include "caseconv/tests/case_table.h"
#include "caseconv/tests/fixed_case_mapper.h"

namespace {

using namespace std::string_literals;
using morvane::CaseMode;
using morvane::Failure;
using morvane::SplitUnderlinePrefix;
using morvane::ConvertText;
using morvane::testing::FixedCaseMapper;
using morvane::testing::RecordingCaseMapper;

struct PrefixCase {
    const char* name;
    std::u16string text;
    bool underlined;
    std::u16string rest;
};

void PrintTo(const PrefixCase& c, std::ostream* os) { *os << c.name; }

const PrefixCase kPrefixCases[] = {
    {"Empty", u""s, false, u""s},
    {"OnePercent", u"%"s, false, u"%"s},
    {"TwoPercents", u"%%"s, false, u"%%"s},
    {"UpperCodeAlone", u"%%U"s, true, u""s},
    {"LowerCodeAlone", u"%%u"s, true, u""s},
    {"UpperCode", u"%%Unote"s, true, u"note"s},
    {"LowerCode", u"%%uNote"s, true, u"Note"s},
    {"CodeThenCode", u"%%U%%Ux"s, true, u"%%Ux"s},
    {"CodeThenNul", u"%%u\0x"s, true, u"\0x"s},
    {"OnePercentCode", u"%U text"s, false, u"%U text"s},
    {"LeadingSpace", u" %%Unote"s, false, u" %%Unote"s},
    {"InnerCode", u"ab%%Ucd"s, false, u"ab%%Ucd"s},
    {"OtherLetter", u"%%V"s, false, u"%%V"s},
    {"FullwidthCode", u"％％Ｕx"s, false, u"％％Ｕx"s},
    {"PairInThirdPlace", u"%%\U00010428"s, false, u"%%\U00010428"s},
    {"NulInThirdPlace", u"%%\0"s, false, u"%%\0"s},
};

class UnderlinePrefix : public ::testing::TestWithParam<PrefixCase> {};

// The code is "%%U" in any case at the very start; the rest is everything behind it, or the whole text.
TEST_P(UnderlinePrefix, FindsTheLeadingCode) {
    const PrefixCase& c = GetParam();
    const morvane::UnderlineSplit split = SplitUnderlinePrefix(c.text, FixedCaseMapper());
    EXPECT_EQ(split.underlined, c.underlined);
    EXPECT_EQ(split.rest, c.rest);
}

INSTANTIATE_TEST_SUITE_P(Table, UnderlinePrefix, ::testing::ValuesIn(kPrefixCases), morvane::testing::RowName());

// The failure's number, or 0 when the call does not fail.
template <typename Call>
std::int32_t FailureNumberOf(Call call) {
    try {
        call();
    } catch (const Failure& failure) {
        return failure.number();
    }
    return 0;
}

// The rest behind the code may hold 32,767 units: a prefixed text of 32,770 converts.
TEST(UnderlineLimit, LongestPrefixedTextConverts) {
    const std::u16string text = u"%%U" + std::u16string(32767, u'a');
    const std::u16string result = ConvertText(text, CaseMode::Upper, FixedCaseMapper(), morvane::TextFormat::Plain);
    EXPECT_EQ(result, u"%%u" + std::u16string(32767, u'A'));
}

// One more unit behind the code (in either case of the code) fails with 6 before anything is converted.
TEST(UnderlineLimit, LongerPrefixedTextFailsWithOverflowBeforeConverting) {
    for (const std::u16string& code : {u"%%U"s, u"%%u"s}) {
        const std::u16string text = code + std::u16string(32768, u'a');
        const RecordingCaseMapper mapper;
        EXPECT_EQ(FailureNumberOf([&] { (void)ConvertText(text, CaseMode::Upper, mapper, morvane::TextFormat::Plain); }), 6);
        EXPECT_LE(mapper.LongestRun(), 3u) << "only the code may have been looked at";
    }
}

// Without the code there is no limit.
TEST(UnderlineLimit, UnprefixedTextOfAnyLengthConverts) {
    const std::u16string text = u"%U" + std::u16string(100000, u'a');
    const std::u16string result = ConvertText(text, CaseMode::Upper, FixedCaseMapper(), morvane::TextFormat::Plain);
    EXPECT_EQ(result, u"%U" + std::u16string(100000, u'A'));
}

// The overloads without a mapper use the default locale's.
TEST(UnderlineDefaultMapper, FindsTheCodeAndConverts) {
    const morvane::UnderlineSplit split = SplitUnderlinePrefix(u"%%uNote. text"s);
    EXPECT_TRUE(split.underlined);
    EXPECT_EQ(morvane::ConvertCase(split.rest, CaseMode::Sentence), u"Note. Text"s);
}

}  // namespace
