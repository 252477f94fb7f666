#pragma once

#include <span>
#include <string>
#include <string_view>

#include "caseconv/failure.h"

namespace morvane {

enum class CaseMode { Upper, Lower, Title, Sentence };

struct UnderlineSplit {
    bool underlined;
    std::u16string rest;
};

// Maps a run of UTF-16 text in place to upper or lower case under some locale, one character to
// one: a surrogate pair stays a pair, a lone surrogate and anything whose mapping would change the
// length stay as they are.
class CaseMapper {
public:
    virtual ~CaseMapper() = default;
    virtual void ToUpper(std::span<char16_t> run) const = 0;
    virtual void ToLower(std::span<char16_t> run) const = 0;
};

// The default locale's mapping: LCMapStringEx on Windows, the C library's under the process
// locale elsewhere (the program sets that locale once at start).
[[nodiscard]] const CaseMapper& DefaultCaseMapper();

// Whether the text begins with the underline code "%%U" (any case) and the text behind it.
// Throws Failure(6) when the code is there and the rest would exceed 32,767 units.
[[nodiscard]] UnderlineSplit SplitUnderlinePrefix(std::u16string_view text);
[[nodiscard]] UnderlineSplit SplitUnderlinePrefix(std::u16string_view text, const CaseMapper& mapper);

// The text in the given case; never throws, the result has the input's length in every mode.
[[nodiscard]] std::u16string ConvertCase(std::u16string_view text, CaseMode mode);
[[nodiscard]] std::u16string ConvertCase(std::u16string_view text, CaseMode mode, const CaseMapper& mapper);

}  // namespace morvane
