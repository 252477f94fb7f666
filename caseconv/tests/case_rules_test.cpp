#include <gtest/gtest.h>

#include <string>

#include "caseconv/caseconv.h"
#include "caseconv/tests/case_table.h"
#include "caseconv/tests/fixed_case_mapper.h"

namespace {

using namespace std::string_literals;
using morvane::CaseMode;

using morvane::testing::ConversionCase;

const ConversionCase kRuleCases[] = {
    // Empty text, every mode.
    {"EmptyUpper", u""s, CaseMode::Upper, u""s},
    {"EmptyLower", u""s, CaseMode::Lower, u""s},
    {"EmptyTitle", u""s, CaseMode::Title, u""s},
    {"EmptySentence", u""s, CaseMode::Sentence, u""s},
    // The underline code: taken off, the rest converted, put back as "%%u".
    {"CodeUpper", u"%%Uhello world"s, CaseMode::Upper, u"%%uHELLO WORLD"s},
    {"LowerCodeLower", u"%%uABC"s, CaseMode::Lower, u"%%uabc"s},
    {"CodeAloneUpper", u"%%U"s, CaseMode::Upper, u"%%u"s},
    {"CodeAloneSentence", u"%%U"s, CaseMode::Sentence, u"%%u"s},
    {"CodeTitle", u"%%Ufirst line"s, CaseMode::Title, u"%%uFirst Line"s},
    {"CodeSentence", u"%%UHELLO. WORLD"s, CaseMode::Sentence, u"%%uHello. World"s},
    {"CodeBeforeNul", u"%%U\0x"s, CaseMode::Upper, u"%%u\0X"s},
    // Codes anywhere else are ordinary characters.
    {"InnerCodeUpper", u"ab%%Ucd"s, CaseMode::Upper, u"AB%%UCD"s},
    {"InnerCodeLower", u"ab%%Ucd"s, CaseMode::Lower, u"ab%%ucd"s},
    {"InnerCodeTitle", u"%%Uab %%Ucd"s, CaseMode::Title, u"%%uAb %%ucd"s},
    {"OnePercentIsNoCode", u"%U text"s, CaseMode::Upper, u"%U TEXT"s},
    {"TwoPercentsAlone", u"%%"s, CaseMode::Lower, u"%%"s},
    // Upper and Lower touch only cased characters.
    {"UpperMixed", u"Élan 3rd-ΣσДд!"s, CaseMode::Upper, u"ÉLAN 3RD-ΣΣДД!"s},
    {"LowerMixed", u"Élan 3rd-ΣσДд!"s, CaseMode::Lower, u"élan 3rd-σσдд!"s},
    // Title: the seven separators start words, nothing else does.
    {"TitleDoubleSpace", u"hello  WORLD"s, CaseMode::Title, u"Hello  World"s},
    {"TitleApostropheHyphen", u"o'neil x-ray"s, CaseMode::Title, u"O'neil X-ray"s},
    {"TitleBracketDigit", u"(note) 3RD st"s, CaseMode::Title, u"(note) 3rd St"s},
    {"TitleTab", u"a\tb"s, CaseMode::Title, u"A\tB"s},
    {"TitleEverySeparator", u"a\0b\tc\nd\ve\ff\rg h"s, CaseMode::Title, u"A\0B\tC\nD\vE\fF\rG H"s},
    {"TitleNoBreakSpaceIsNoSeparator", u"a\u00A0b"s, CaseMode::Title, u"A\u00A0b"s},
    {"TitleLeadingNul", u"\0abc"s, CaseMode::Title, u"\0Abc"s},
    {"TitleFullStopIsNoSeparator", u"E.G. SO"s, CaseMode::Title, u"E.g. So"s},
    // Sentence.
    {"SentenceTwo", u"hello WORLD. this is A test"s, CaseMode::Sentence, u"Hello world. This is a test"s},
    {"SentenceMarks", u"what? no! yes."s, CaseMode::Sentence, u"What? No! Yes."s},
    {"SentenceDecimal", u"3.5 M. next"s, CaseMode::Sentence, u"3.5 m. Next"s},
    {"SentenceBracket", u"  (note) x"s, CaseMode::Sentence, u"  (Note) x"s},
    {"SentenceEllipsis", u"wait... then"s, CaseMode::Sentence, u"Wait... Then"s},
    {"SentenceAbbreviation", u"e.g. this"s, CaseMode::Sentence, u"E.g. This"s},
    {"SentenceDigitFirst", u"1ST PLACE. 2ND"s, CaseMode::Sentence, u"1st place. 2nd"s},
    {"SentenceMarkWithoutSeparator", u"no END.MARK"s, CaseMode::Sentence, u"No end.mark"s},
    {"SentenceMixedRunAndTab", u"why?!\t\tbecause"s, CaseMode::Sentence, u"Why?!\t\tBecause"s},
    {"SentenceNulEnds", u"end.\0next"s, CaseMode::Sentence, u"End.\0Next"s},
    {"SentenceMarkAtEnd", u"one. two."s, CaseMode::Sentence, u"One. Two."s},
    {"SentenceInvertedMark", u"¿QUÉ? SÉ"s, CaseMode::Sentence, u"¿Qué? Sé"s},
    {"SentenceLetterAtRangeStart", u"ØRE. X"s, CaseMode::Sentence, u"Øre. X"s},
    {"SentenceCyrillic", u"σ. ДД"s, CaseMode::Sentence, u"Σ. Дд"s},
    {"SentenceCaselessLetterFirst", u"中 abc. def"s, CaseMode::Sentence, u"中 abc. Def"s},
    // Surrogate pairs are one character and stay pairs.
    {"PairUpper", u"\U00010428a"s, CaseMode::Upper, u"\U00010400A"s},
    {"PairLower", u"\U00010400A"s, CaseMode::Lower, u"\U00010428a"s},
    {"PairTitle", u"\U00010400\U00010400 \U00010428\U00010428"s, CaseMode::Title,
     u"\U00010400\U00010428 \U00010400\U00010428"s},
    {"PairSentence", u"\U00010428\U00010428. \U00010428"s, CaseMode::Sentence,
     u"\U00010400\U00010428. \U00010400"s},
    // Lone surrogates pass through and are no letters.
    {"LoneUpper", u"a\xD800" u"b\xDC00" u"c"s, CaseMode::Upper, u"A\xD800" u"B\xDC00" u"C"s},
    {"LoneLower", u"A\xDC00\xD800" u"B"s, CaseMode::Lower, u"a\xDC00\xD800" u"b"s},
    {"LoneHighAtEnd", u"a\xD801"s, CaseMode::Upper, u"A\xD801"s},
    {"LoneLowStartsTitle", u"\xDC00" u"a b"s, CaseMode::Title, u"\xDC00" u"a B"s},
    {"LoneIsNoSentenceLetter", u"\xD801 x"s, CaseMode::Sentence, u"\xD801 X"s},
};

class CaseRules : public ::testing::TestWithParam<ConversionCase> {};

// Each mode converts per its rule, with the underline code taken off and put back.
TEST_P(CaseRules, ConvertsTheEntityText) {
    const ConversionCase& c = GetParam();
    const morvane::testing::FixedCaseMapper mapper;
    const std::u16string result = morvane::ConvertText(c.text, c.mode, mapper, morvane::TextFormat::Plain);
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(result.size(), c.text.size());
}

INSTANTIATE_TEST_SUITE_P(Table, CaseRules, ::testing::ValuesIn(kRuleCases), morvane::testing::RowName());

}  // namespace
