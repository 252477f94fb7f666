#include <gtest/gtest.h>

#include <string>

#include "caseconv/caseconv.h"
#include "caseconv/tests/case_table.h"
#include "caseconv/tests/fixed_case_mapper.h"

namespace {

using namespace std::string_literals;
using morvane::CaseMode;
using morvane::TextFormat;
using morvane::testing::ConversionCase;

const ConversionCase kFormattedCases[] = {
    // The examples a user sees most: fonts, underlining, paragraphs, colour, indents.
    {"FontAndParagraphLower", uR"({\fArial|b1|i0|c0|p34;HELLO}\PWORLD)"s, CaseMode::Lower,
     uR"({\fArial|b1|i0|c0|p34;hello}\Pworld)"s},
    {"FontAndUnderlineUpper", uR"({\fArial|b1;note}: see \Ldetail\l here)"s, CaseMode::Upper,
     uR"({\fArial|b1;NOTE}: SEE \LDETAIL\l HERE)"s},
    {"ParagraphTitle", uR"(first line\Psecond LINE)"s, CaseMode::Title, uR"(First Line\PSecond Line)"s},
    {"ColourTitle", uR"(a {\C1;red} word)"s, CaseMode::Title, uR"(A {\C1;Red} Word)"s},
    {"IndentTitle", uR"(\pxi-3,l3;item ONE)"s, CaseMode::Title, uR"(\pxi-3,l3;Item One)"s},
    {"ParagraphSentence", uR"(END OF NOTE.\PNEXT ONE)"s, CaseMode::Sentence, uR"(End of note.\PNext one)"s},
    {"NonBreakingSpaceSentence", uR"(ok.\~NEXT)"s, CaseMode::Sentence, uR"(Ok.\~Next)"s},
    {"EscapedBackslashLower", uR"(C:\\PLANS)"s, CaseMode::Lower, uR"(c:\\plans)"s},
    {"StackedLower", uR"(DIA \S1/2; IN)"s, CaseMode::Lower, uR"(dia \S1/2; in)"s},
    {"DimensionLinesLower", uR"(<> MAX\XSEE NOTE)"s, CaseMode::Lower, uR"(<> max\Xsee note)"s},
    {"UnderlineCodeLower", uR"(%%U{\C1;ABC})"s, CaseMode::Lower, uR"(%%u{\C1;abc})"s},
    // Every code is kept unit for unit, whatever the mode would make of its letters.
    {"SwitchesUpper", uR"(\Lon\l \Oover\o \Kstrike\k)"s, CaseMode::Upper, uR"(\LON\l \OOVER\o \KSTRIKE\k)"s},
    {"LineBreaksLower", uR"(A\PB\NC\XD)"s, CaseMode::Lower, uR"(a\Pb\Nc\Xd)"s},
    {"EveryArgumentCodeUpper", uR"(\A1;\C2;\c255;\Fromans|c0;\fArial|b1|i1;\H2.5x;\Q15;\T1.1;\W0.8;\pi2;x)"s,
     CaseMode::Upper, uR"(\A1;\C2;\c255;\Fromans|c0;\fArial|b1|i1;\H2.5x;\Q15;\T1.1;\W0.8;\pi2;X)"s},
    {"StackedContentsUpper", uR"(\Sa^b; c)"s, CaseMode::Upper, uR"(\Sa^b; C)"s},
    {"NamedCharacterHexKept", uR"(\U+00e9abc \M+1a2b3x)"s, CaseMode::Upper, uR"(\U+00e9ABC \M+1a2b3X)"s},
    // What the word rules see: line breaks and \~ separate, codes that format are absent, codes that
    // draw a character are that character.
    {"ColumnBreakTitle", uR"(one\Ntwo)"s, CaseMode::Title, uR"(One\NTwo)"s},
    {"NonBreakingSpaceTitle", uR"(a\~b)"s, CaseMode::Title, uR"(A\~B)"s},
    {"SkippedCodeJoinsWordTitle", uR"(ab{\C1;CD} \Lef\l)"s, CaseMode::Title, uR"(Ab{\C1;cd} \LEf\l)"s},
    {"BracesTitle", uR"({a}{b} c)"s, CaseMode::Title, uR"({A}{b} C)"s},
    {"StackedIsAWordTitle", uR"(x \S1/2;inch y)"s, CaseMode::Title, uR"(X \S1/2;inch Y)"s},
    {"EscapedBackslashIsAWordTitle", uR"(\\word {word})"s, CaseMode::Title, uR"(\\word {Word})"s},
    {"EscapedSpaceIsNoSeparatorTitle", uR"(A\ B)"s, CaseMode::Title, uR"(A\ b)"s},
    {"NamedCharacterIsAWordTitle", uR"(\U+00C9COLE)"s, CaseMode::Title, uR"(\U+00C9cole)"s},
    // What the sentence rule sees: a stacked number or a named letter begins the sentence, a named
    // symbol or an escaped brace does not; a formatting code is no separator after a full stop.
    {"StackedBeginsSentence", uR"(\S1/2; APPLES. PEARS)"s, CaseMode::Sentence, uR"(\S1/2; apples. Pears)"s},
    {"NamedLetterBeginsSentence", uR"(\U+00C9TAT. NEXT)"s, CaseMode::Sentence, uR"(\U+00C9tat. Next)"s},
    {"NamedSymbolDoesNotBeginSentence", uR"(\U+00B0 HOT. COLD)"s, CaseMode::Sentence, uR"(\U+00B0 Hot. Cold)"s},
    {"EscapedBraceDoesNotBeginSentence", uR"(\{NOTE\})"s, CaseMode::Sentence, uR"(\{Note\})"s},
    {"SkippedCodeIsNoSeparatorSentence", uR"(NOTE.{\C1;NEXT} ONE. TWO)"s, CaseMode::Sentence,
     uR"(Note.{\C1;next} one. Two)"s},
    {"TwoParagraphsSentence", uR"(END.\P\PNEXT)"s, CaseMode::Sentence, uR"(End.\P\PNext)"s},
    // Bad input: unterminated codes, a backslash at the end, codes that are not whole.
    {"UnterminatedFontLower", uR"(ABC\fArial)"s, CaseMode::Lower, uR"(abc\fArial)"s},
    {"UnterminatedStackedLower", uR"(X \S1/2 END)"s, CaseMode::Lower, uR"(x \S1/2 END)"s},
    {"UnterminatedHeightLower", uR"(\HBIG TEXT)"s, CaseMode::Lower, uR"(\HBIG TEXT)"s},
    {"BackslashAtEndLower", uR"(AB\)"s, CaseMode::Lower, uR"(ab\)"s},
    {"UnknownCodeLower", uR"(\ZAB \qCD)"s, CaseMode::Lower, uR"(\Zab \qcd)"s},
    {"ShortNamedCharacterUpper", uR"(\U+12xy)"s, CaseMode::Upper, uR"(\U+12XY)"s},
    {"LowerCaseUIsUnknownUpper", uR"(\u+00e9)"s, CaseMode::Upper, uR"(\u+00E9)"s},
    {"UnbalancedBracesLower", uR"(}}ABC{{)"s, CaseMode::Lower, uR"(}}abc{{)"s},
    {"CodesOnlyUpper", uR"({\L\fa;}\l\P)"s, CaseMode::Upper, uR"({\L\fa;}\l\P)"s},
    {"EmptyTitle", u""s, CaseMode::Title, u""s},
    // U+0000 and lone surrogates inside codes and text; a pair cut by a code is two lone halves.
    {"NulInsideCodeLower", u"\\fA\0r;X\\\0Y"s, CaseMode::Lower, u"\\fA\0r;x\\\0y"s},
    {"NulSeparatesTitle", u"a\0b{c}"s, CaseMode::Title, u"A\0B{c}"s},
    {"LoneSurrogatesLower", u"\\f\xD800;A\xDC00{B\xD801}"s, CaseMode::Lower, u"\\f\xD800;a\xDC00{b\xD801}"s},
    {"PairCutByBraceLower", u"\xD801{\xDC00}"s, CaseMode::Lower, u"\xD801{\xDC00}"s},
    {"PairCutByEscapeLower", u"\\\xD801\xDC00"s, CaseMode::Lower, u"\\\xD801\xDC00"s},
    {"PairInsideBracesLower", u"{\U00010400}"s, CaseMode::Lower, u"{\U00010428}"s},
};

class FormattedText : public ::testing::TestWithParam<ConversionCase> {};

// A formatted text keeps its codes unit for unit and converts only what is visible, by the rules of
// the mode; the underline code at the start is taken off and put back as for plain text.
TEST_P(FormattedText, KeepsItsCodes) {
    const ConversionCase& c = GetParam();
    const std::u16string result =
        morvane::ConvertText(c.text, c.mode, morvane::testing::FixedCaseMapper(), TextFormat::Formatted);
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(result.size(), c.text.size());
}

INSTANTIATE_TEST_SUITE_P(Table, FormattedText, ::testing::ValuesIn(kFormattedCases), morvane::testing::RowName());

// Plain text (single-line text, attributes) keeps converting every character behind the underline
// code, backslashes and braces included.
TEST(PlainText, ConvertsWhatLooksLikeCodes) {
    const morvane::testing::FixedCaseMapper mapper;
    EXPECT_EQ(morvane::ConvertText(uR"(C:\PLANS)", CaseMode::Lower, mapper, TextFormat::Plain), uR"(c:\plans)");
    EXPECT_EQ(morvane::ConvertText(uR"(%%U{\C1;ABC}\P)", CaseMode::Lower, mapper, TextFormat::Plain),
              uR"(%%u{\c1;abc}\p)");
}

// A text without "\", "{" or "}" converts exactly as ConvertCase does, in every mode.
TEST(MTextCase, WithoutCodesIsConvertCase) {
    const morvane::testing::FixedCaseMapper mapper;
    for (const std::u16string& text : {u"hello  WORLD. o'neil x-ray"s, u"a\tb\0c. d"s, u"\U00010400\xD800 %%U ab"s}) {
        for (const CaseMode mode : {CaseMode::Upper, CaseMode::Lower, CaseMode::Title, CaseMode::Sentence}) {
            EXPECT_EQ(morvane::ConvertMTextCase(text, mode, mapper), morvane::ConvertCase(text, mode, mapper));
        }
    }
}

// The longest text an entity may hold behind the underline code, made only of codes (the last one
// cut off), is kept whole in every mode.
TEST(MTextCase, LongestTextOfCodesIsKept) {
    for (const std::u16string_view code : {uR"(\L)", uR"({\fArial|b1;})", uR"(\S1/2;\P)"}) {
        std::u16string text;
        while (text.size() < 32767) text += code;
        text.resize(32767);
        for (const CaseMode mode : {CaseMode::Upper, CaseMode::Lower, CaseMode::Title, CaseMode::Sentence}) {
            EXPECT_EQ(morvane::ConvertMTextCase(text, mode, morvane::testing::FixedCaseMapper()), text);
        }
    }
}

// The overload without a mapper uses the default locale's.
TEST(MTextCase, DefaultMapper) {
    EXPECT_EQ(morvane::ConvertMTextCase(uR"({\C1;ABC}\PDEF)", CaseMode::Lower), uR"({\C1;abc}\Pdef)");
    EXPECT_EQ(morvane::ConvertText(u"%%UNOTE.\\PNEXT", CaseMode::Sentence, TextFormat::Formatted),
              u"%%uNote.\\PNext");
}

}  // namespace
