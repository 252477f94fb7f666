#include "caseconv/case_rules.h"
#include "caseconv/letter_or_digit.h"
#include "caseconv/utf16.h"

namespace morvane {
namespace {

// NUL, tab, line feed, vertical tab, form feed, carriage return and space; nothing else.
constexpr bool IsWordSeparator(char16_t unit) noexcept {
    return unit == 0 || (unit >= 0x09 && unit <= 0x0D) || unit == 0x20;
}

constexpr bool IsSentenceEndMark(char16_t unit) noexcept {
    return unit == u'.' || unit == u'!' || unit == u'?';
}

// Upper-cases the character that starts at text[i] and returns its length in units.
std::size_t UpperCharacterAt(std::u16string& text, std::size_t i, const CaseMapper& mapper) {
    const std::size_t length = utf16::CharacterLength(text, i);
    mapper.ToUpper(std::span(text).subspan(i, length));
    return length;
}

// The first character of the text and each one right behind a word separator.
void UpperWordStarts(std::u16string& text, const CaseMapper& mapper) {
    bool wordStart = true;
    for (std::size_t i = 0; i < text.size();) {
        if (IsWordSeparator(text[i])) {
            wordStart = true;
            ++i;
        } else if (wordStart) {
            i += UpperCharacterAt(text, i, mapper);
            wordStart = false;
        } else {
            ++i;
        }
    }
}

// The first letter-or-digit of the text and the first one after each sentence end: a run of
// ".", "!" and "?" followed by a word separator.
void UpperSentenceStarts(std::u16string& text, const CaseMapper& mapper) {
    bool sentenceStart = true;
    for (std::size_t i = 0; i < text.size();) {
        if (IsSentenceEndMark(text[i])) {
            while (i < text.size() && IsSentenceEndMark(text[i])) {
                ++i;
            }
            if (i < text.size() && IsWordSeparator(text[i])) {
                sentenceStart = true;
            }
        } else if (sentenceStart && IsLetterOrDigit(utf16::CodePointAt(text, i))) {
            i += UpperCharacterAt(text, i, mapper);
            sentenceStart = false;
        } else {
            ++i;
        }
    }
}

}  // namespace

void ConvertCaseInPlace(std::u16string& text, CaseMode mode, const CaseMapper& mapper) {
    switch (mode) {
    case CaseMode::Upper:
        mapper.ToUpper(text);
        break;
    case CaseMode::Lower:
        mapper.ToLower(text);
        break;
    case CaseMode::Title:
        mapper.ToLower(text);
        UpperWordStarts(text, mapper);
        break;
    case CaseMode::Sentence:
        mapper.ToLower(text);
        UpperSentenceStarts(text, mapper);
        break;
    }
}

std::u16string ConvertCase(std::u16string_view text, CaseMode mode, const CaseMapper& mapper) {
    std::u16string result(text);
    ConvertCaseInPlace(result, mode, mapper);
    return result;
}

std::u16string ConvertCase(std::u16string_view text, CaseMode mode) {
    return ConvertCase(text, mode, DefaultCaseMapper());
}

}  // namespace morvane
