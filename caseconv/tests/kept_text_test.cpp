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

const ConversionCase kFieldCases[] = {
    {"DateUpper", uR"(due %<\AcVar Date \f "M/d/yyyy">% today)"s, CaseMode::Upper,
     uR"(DUE %<\AcVar Date \f "M/d/yyyy">% TODAY)"s},
    {"NestedLower", uR"(SEE %<\AcObjProp Object(%<\_ObjId 2130239632>%).TextString>% NOW)"s, CaseMode::Lower,
     uR"(see %<\AcObjProp Object(%<\_ObjId 2130239632>%).TextString>% now)"s},
    {"TwoFieldsUpper", uR"(%<\AcVar A>%x%<\AcVar B>%)"s, CaseMode::Upper, uR"(%<\AcVar A>%X%<\AcVar B>%)"s},
    {"StrayEndIsText", uR"(ab >% cd)"s, CaseMode::Upper, uR"(AB >% CD)"s},
    // A "%<" that no ">%" closes is text, in every mode; what it holds reads as itself.
    {"UnclosedIsTextUpper", u"rh 5%<10% of max"s, CaseMode::Upper, u"RH 5%<10% OF MAX"s},
    {"UnclosedIsTextLower", uR"(AB %<\AcVar Date CD)"s, CaseMode::Lower, uR"(ab %<\acvar date cd)"s},
    {"UnclosedIsTextTitle", u"%<x NOTE here"s, CaseMode::Title, u"%<x Note Here"s},
    {"UnclosedIsTextSentence", u"%<NOTE. NEXT"s, CaseMode::Sentence, u"%<Note. Next"s},
    {"UnclosedOuterKeepsTheInner", uR"(ab %<x %<y>% cd)"s, CaseMode::Upper, uR"(AB %<X %<y>% CD)"s},
    {"OpenAtTheVeryEnd", u"note %<"s, CaseMode::Upper, u"NOTE %<"s},
    {"EndBeforeStartIsText", u"ab >% cd %< ef"s, CaseMode::Upper, u"AB >% CD %< EF"s},
    {"StrayEndRightBeforeAField", uR"(x>%<\AcVar A>%y)"s, CaseMode::Upper, uR"(X>%<\AcVar A>%Y)"s},
    {"UnclosedThenAField", uR"(a %<b %<c>% %<d)"s, CaseMode::Upper, uR"(A %<B %<c>% %<D)"s},
    {"PercentAloneIsText", u"50% off"s, CaseMode::Upper, u"50% OFF"s},
    {"UnderlineCodeFirst", uR"(%%Usheet %<\AcVar SheetNumber>% of 9)"s, CaseMode::Upper,
     uR"(%%uSHEET %<\AcVar SheetNumber>% OF 9)"s},
    // To the word and sentence rules a field is one character: no letter, no separator.
    {"FieldStartsNoWordTitle", uR"(%<\AcVar Date>% due TODAY)"s, CaseMode::Title, uR"(%<\AcVar Date>% Due Today)"s},
    {"FieldJoinsWordTitle", uR"(x%<\AcVar A>%YZ)"s, CaseMode::Title, uR"(X%<\AcVar A>%yz)"s},
    {"FieldDoesNotBeginSentence", uR"(%<\AcVar A>% NOTE. NEXT)"s, CaseMode::Sentence, uR"(%<\AcVar A>% Note. Next)"s},
    {"EmptyExpressionUpper", u"a%<>%b"s, CaseMode::Upper, u"A%<>%B"s},
};

class PlainTextWithFields : public ::testing::TestWithParam<ConversionCase> {};

// Complete field expressions are kept unit for unit, nested ones whole; the rest converts by the
// plain rules.
TEST_P(PlainTextWithFields, KeepsEveryExpression) {
    const ConversionCase& c = GetParam();
    const std::u16string result = morvane::ConvertText(c.text, c.mode, morvane::testing::FixedCaseMapper(),
                                                       TextFormat::Plain);
    EXPECT_EQ(result, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, PlainTextWithFields, ::testing::ValuesIn(kFieldCases), morvane::testing::RowName());

const ConversionCase kFormattedCases[] = {
    // A field's backslashes are the field's, not codes.
    {"FieldInFormattedUpper", uR"({\C1;due} %<\AcVar Date \f "M/d">%\Pnext)"s, CaseMode::Upper,
     uR"({\C1;DUE} %<\AcVar Date \f "M/d">%\PNEXT)"s},
    {"FieldInsideACodeIsKept", uR"({\fAr%<\AcVar A;b>%;cd} ef)"s, CaseMode::Upper, uR"({\fAr%<\AcVar A;b>%;CD} EF)"s},
    {"UnclosedInsideACodeIsText", uR"({\fAr%<b;cd} ef %<g)"s, CaseMode::Upper, uR"({\fAr%<b;CD} EF %<G)"s},
    {"UnclosedInFormattedTextLower", uR"({\C1;AB %<CD}\PEF)"s, CaseMode::Lower, uR"({\C1;ab %<cd}\Pef)"s},
    {"FieldInsideGroupTitle", uR"({\fArial;%<\AcVar A>% sheet})"s, CaseMode::Title, uR"({\fArial;%<\AcVar A>% Sheet})"s},
    // Symbol fonts: their characters are the symbols drawn.
    {"DiameterUpper", uR"({\Fgdt;n}25 thru)"s, CaseMode::Upper, uR"({\Fgdt;n}25 THRU)"s},
    {"SymbolThenArialTitle", uR"({\Fgdt|c0;n}12 HOLES {\fArial;ALL})"s, CaseMode::Title,
     uR"({\Fgdt|c0;n}12 Holes {\fArial;All})"s},
    {"GroupRestoresFontUpper", uR"({\Fgdt;a{\fArial;b}c}d)"s, CaseMode::Upper, uR"({\Fgdt;a{\fArial;B}c}D)"s},
    {"FontHoldsToTheNextFontLower", uR"(\Famgdt;AB\fArial;CD)"s, CaseMode::Lower, uR"(\Famgdt;AB\fArial;cd)"s},
    {"PathAndExtensionLower", uR"({\fC:\Fonts\GDT.SHX;N}X)"s, CaseMode::Lower, uR"({\fC:\Fonts\GDT.SHX;N}x)"s},
    {"NameWithSpaceAndOptionsUpper", uR"({\fWingdings 2|b0|i0|c2|p2;abc}abc)"s, CaseMode::Upper,
     uR"({\fWingdings 2|b0|i0|c2|p2;abc}ABC)"s},
    {"AnyCaseOfTheNameUpper", uR"({\FSYMBOL.TTF;a}{\fWebdings;b}{\fmarlett;c}{\fSyMath;d})"s, CaseMode::Upper,
     uR"({\FSYMBOL.TTF;a}{\fWebdings;b}{\fmarlett;c}{\fSyMath;d})"s},
    {"EveryShapeFontLower", uR"({\Faigdt;A}{\Fsymap;B}{\Fsymeteo;C}{\Fsymusic;D}{\Fsyastro;E}{\FWingdings 3;F}{\FWingdings;G})"s,
     CaseMode::Lower, uR"({\Faigdt;A}{\Fsymap;B}{\Fsymeteo;C}{\Fsymusic;D}{\Fsyastro;E}{\FWingdings 3;F}{\FWingdings;G})"s},
    {"LetterFontNamedLikeOneLower", uR"({\fgdtx;AB}{\fsymbols;CD})"s, CaseMode::Lower, uR"({\fgdtx;ab}{\fsymbols;cd})"s},
    {"SymbolIsNoWordStartTitle", uR"({\Fgdt;n}HOLE)"s, CaseMode::Title, uR"({\Fgdt;n}hole)"s},
    {"ParagraphInSymbolsSeparatesTitle", uR"({\Fgdt;n\P}hole)"s, CaseMode::Title, uR"({\Fgdt;n\P}Hole)"s},
    {"UnterminatedSymbolFontKeepsTheRest", uR"(AB{\Fgdt)"s, CaseMode::Lower, uR"(ab{\Fgdt)"s},
    {"StrayCloseBraceLower", uR"(}\Fgdt;A}B{C)"s, CaseMode::Lower, uR"(}\Fgdt;A}B{C)"s},
};

class FormattedTextKeeps : public ::testing::TestWithParam<ConversionCase> {};

// Formatted text keeps its codes, its fields and what symbol fonts draw.
TEST_P(FormattedTextKeeps, FieldsAndSymbols) {
    const ConversionCase& c = GetParam();
    const std::u16string result = morvane::ConvertText(c.text, c.mode, morvane::testing::FixedCaseMapper(),
                                                       TextFormat::Formatted);
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(result.size(), c.text.size());
}

INSTANTIATE_TEST_SUITE_P(Table, FormattedTextKeeps, ::testing::ValuesIn(kFormattedCases), morvane::testing::RowName());

// Every expression is kept whatever the text is: one that is only text (its FieldCode the same as
// its TextString) would be read as a field, once written back changed.
TEST(FieldExpressions, AlwaysKept) {
    const morvane::testing::FixedCaseMapper mapper;
    for (const TextFormat format : {TextFormat::Plain, TextFormat::Formatted}) {
        EXPECT_EQ(morvane::ConvertText(u"a%<b>%c", CaseMode::Upper, mapper, format), u"A%<b>%C");
    }
    EXPECT_EQ(morvane::ConvertCase(u"a%<b>%", CaseMode::Upper, mapper), u"A%<B>%") << "the bare rule knows no fields";
}

struct HoldsCase {
    const char* name;
    std::u16string text;
    bool holds;
};

void PrintTo(const HoldsCase& row, std::ostream* os) { *os << row.name; }

const HoldsCase kHoldsCases[] = {
    {"Field", uR"(due %<\AcVar Date>%)"s, true},
    {"EmptyExpression", u"%<>%"s, true},
    {"UnclosedOuterCompleteInner", u"%<a %<b>%"s, true},
    {"OpenAtTheEnd", u"x%<"s, false},
    {"UnclosedWithPercent", u"rh 5%<10% of max"s, false},
    {"EndOnly", u"x%>%"s, false},
    {"EndBeforeStart", u"a>%b%<c"s, false},
    {"EndSharingItsPercent", u">%<"s, false},
    {"Nothing", u""s, false},
};

class HoldsFieldExpressions : public ::testing::TestWithParam<HoldsCase> {};

// Only a complete expression counts: a text with an unclosed "%<" holds none.
TEST_P(HoldsFieldExpressions, OnlyComplete) {
    EXPECT_EQ(morvane::HasFieldExpressions(GetParam().text), GetParam().holds);
}

INSTANTIATE_TEST_SUITE_P(Table, HoldsFieldExpressions, ::testing::ValuesIn(kHoldsCases), morvane::testing::RowName());

// Depth and length: 1,000 nested expressions, and 1,000 nested symbol groups, are kept whole.
TEST(FieldExpressions, DeepNestingIsKept) {
    std::u16string nested = u"ab ";
    for (int i = 0; i < 1000; ++i) nested += u"%<x";
    for (int i = 0; i < 1000; ++i) nested += u">%";
    nested += u" cd";
    std::u16string expected = nested;
    expected[0] = u'A';
    expected[1] = u'B';
    expected[expected.size() - 2] = u'C';
    expected[expected.size() - 1] = u'D';
    EXPECT_EQ(morvane::ConvertText(nested, CaseMode::Upper, morvane::testing::FixedCaseMapper(), TextFormat::Formatted),
              expected);

    std::u16string groups = uR"(\Fgdt;)";
    for (int i = 0; i < 1000; ++i) groups += u"{a";
    for (int i = 0; i < 1000; ++i) groups += u"}";
    EXPECT_EQ(morvane::ConvertMTextCase(groups, CaseMode::Upper, morvane::testing::FixedCaseMapper()), groups);
}

// 10,000 unclosed "%<" around one complete expression, near the length limit, as plain and as
// formatted text: the unclosed ones convert, the complete one is kept.
TEST(FieldExpressions, ManyUnclosedAreText) {
    std::u16string text;
    std::u16string expected;
    for (int i = 0; i < 5000; ++i) {
        text += u"%<a";
        expected += u"%<A";
    }
    text += u"%<b>%";
    expected += u"%<b>%";
    for (int i = 0; i < 5000; ++i) {
        text += u"%<c";
        expected += u"%<C";
    }
    for (const TextFormat format : {TextFormat::Plain, TextFormat::Formatted}) {
        EXPECT_EQ(morvane::ConvertText(text, CaseMode::Upper, morvane::testing::FixedCaseMapper(), format), expected);
    }
    EXPECT_TRUE(morvane::HasFieldExpressions(text));
}

}  // namespace
