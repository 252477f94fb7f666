#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "caseconv/caseconv.h"
#include "caseconv/tests/case_table.h"

namespace {

using namespace std::string_literals;
using morvane::CaseMode;

using morvane::testing::ConversionCase;

const ConversionCase kNativeCases[] = {
    {"Latin", u"Élan vital"s, CaseMode::Upper, u"ÉLAN VITAL"s},
    {"SharpSStaysOneCharacter", u"straße"s, CaseMode::Upper, u"STRAßE"s},
    {"Greek", u"ΣΟΦΊΑ"s, CaseMode::Lower, u"σοφία"s},
    {"TitlecaseDigraph", u"ǅ"s, CaseMode::Upper, u"Ǆ"s},
    {"DeseretUpper", u"\U00010428\U00010429"s, CaseMode::Upper, u"\U00010400\U00010401"s},
    {"DeseretLower", u"\U00010400\U00010401"s, CaseMode::Lower, u"\U00010428\U00010429"s},
    {"LoneSurrogates", u"a\xD801" u"b\xDC28" u"c"s, CaseMode::Upper, u"A\xD801" u"B\xDC28" u"C"s},
    {"EmbeddedNul", u"a\0b"s, CaseMode::Upper, u"A\0B"s},
    {"Title", u"élan VITAL"s, CaseMode::Title, u"Élan Vital"s},
    {"Sentence", u"¿QUÉ? SÍ."s, CaseMode::Sentence, u"¿Qué? Sí."s},
};

// The process locale is the program's to set; here the C library's UTF-8 locale, restored afterwards.
class NativeCaseMapping : public ::testing::TestWithParam<ConversionCase> {
protected:
    static void SetUpTestSuite() {
        previous_ = std::setlocale(LC_CTYPE, nullptr);
        ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    }
    static void TearDownTestSuite() { std::setlocale(LC_CTYPE, previous_.c_str()); }

private:
    static inline std::string previous_;
};

// The default mapper follows the C library's tables one character to one, surrogate pairs included.
TEST_P(NativeCaseMapping, ConvertsUnderTheProcessLocale) {
    const ConversionCase& c = GetParam();
    EXPECT_EQ(morvane::ConvertCase(c.text, c.mode), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, NativeCaseMapping, ::testing::ValuesIn(kNativeCases), morvane::testing::RowName());

}  // namespace
