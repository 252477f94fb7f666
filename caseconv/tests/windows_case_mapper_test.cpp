#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "caseconv/caseconv.h"
#include "caseconv/tests/case_table.h"

namespace {

using namespace std::string_literals;
using morvane::CaseMode;

struct WindowsCase {
    const char* name;
    const wchar_t* locale;  // nullptr: the default mapper, under the user's default locale
    std::u16string text;
    CaseMode mode;
    std::u16string expected;
};

void PrintTo(const WindowsCase& c, std::ostream* os) { *os << c.name; }

const WindowsCase kWindowsCases[] = {
    // Linguistic casing: the Turkish dotted and dotless i follow the locale.
    {"TurkishUpper", L"tr-TR", u"istanbul ılık"s, CaseMode::Upper, u"İSTANBUL ILIK"s},
    {"TurkishLower", L"tr-TR", u"İSTANBUL ILIK"s, CaseMode::Lower, u"istanbul ılık"s},
    {"TurkishTitle", L"tr-TR", u"istanbul ılık"s, CaseMode::Title, u"İstanbul Ilık"s},
    {"EnglishUpper", L"en-US", u"istanbul ılık"s, CaseMode::Upper, u"ISTANBUL ILIK"s},
    {"EnglishLower", L"en-US", u"İSTANBUL ILIK"s, CaseMode::Lower, u"istanbul ilik"s},
    // The default mapper.
    {"Latin", nullptr, u"Élan vital"s, CaseMode::Upper, u"ÉLAN VITAL"s},
    {"SharpSStaysOneCharacter", nullptr, u"straße"s, CaseMode::Upper, u"STRAßE"s},
    {"Greek", nullptr, u"ΣΟΦΊΑ"s, CaseMode::Lower, u"σοφία"s},
    {"DeseretUpper", nullptr, u"\U00010428\U00010429"s, CaseMode::Upper, u"\U00010400\U00010401"s},
    {"DeseretLower", nullptr, u"\U00010400\U00010401"s, CaseMode::Lower, u"\U00010428\U00010429"s},
    {"LoneSurrogates", nullptr, u"a\xD801" u"b\xDC28" u"c"s, CaseMode::Upper, u"A\xD801" u"B\xDC28" u"C"s},
    {"EmbeddedNul", nullptr, u"a\0b\0"s, CaseMode::Upper, u"A\0B\0"s},
    {"Sentence", nullptr, u"¿QUÉ? SÍ."s, CaseMode::Sentence, u"¿Qué? Sí."s},
};

class WindowsCaseMapping : public ::testing::TestWithParam<WindowsCase> {};

// LCMapStringEx with linguistic casing maps one character to one under the chosen locale.
TEST_P(WindowsCaseMapping, ConvertsThroughLCMapStringEx) {
    const WindowsCase& c = GetParam();
    const std::u16string result = c.locale == nullptr
                                      ? morvane::ConvertCase(c.text, c.mode)
                                      : morvane::ConvertCase(c.text, c.mode, morvane::WindowsCaseMapper(c.locale));
    EXPECT_EQ(result, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, WindowsCaseMapping, ::testing::ValuesIn(kWindowsCases), morvane::testing::RowName());

// A run far longer than the CAD application's limit goes through in one piece.
TEST(WindowsCaseMapperRun, MapsLongRuns) {
    const std::u16string text = std::u16string(70000, u'a') + u"\U00010428";
    EXPECT_EQ(morvane::ConvertCase(text, CaseMode::Upper), std::u16string(70000, u'A') + u"\U00010400");
}

// The code is found by its upper-case form under the locale, which the Turkish one keeps for "u".
TEST(WindowsCaseMapperPrefix, FindsTheCodeUnderTurkish) {
    const morvane::UnderlineSplit split = morvane::SplitUnderlinePrefix(u"%%uistanbul"s, morvane::WindowsCaseMapper(L"tr-TR"));
    EXPECT_TRUE(split.underlined);
    EXPECT_EQ(split.rest, u"istanbul"s);
}

}  // namespace
