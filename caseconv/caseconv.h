#pragma once

#include <optional>
#include <utility>
#include <span>
#include <string>
#include <string_view>

#include "failure/failure.h"

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

#ifdef _WIN32
// LCMapStringEx with linguistic casing over the whole run in one call, under the user's default
// locale or a named one (such as L"tr-TR"). A character whose mapping would take a different number
// of units stays as it is. Throws only std::bad_alloc.
class WindowsCaseMapper final : public CaseMapper {
public:
    WindowsCaseMapper() = default;
    explicit WindowsCaseMapper(std::wstring localeName) : localeName_(std::move(localeName)) {}

    void ToUpper(std::span<char16_t> run) const override;
    void ToLower(std::span<char16_t> run) const override;

private:
    void Map(std::span<char16_t> run, unsigned long flags) const;

    std::optional<std::wstring> localeName_;  // none: the user's default locale
};
#endif

// Whether the text begins with the underline code "%%U" (any case) and the text behind it.
// Throws Failure(6) when the code is there and the rest would exceed 32,767 units.
[[nodiscard]] UnderlineSplit SplitUnderlinePrefix(std::u16string_view text);
[[nodiscard]] UnderlineSplit SplitUnderlinePrefix(std::u16string_view text, const CaseMapper& mapper);

// The text in the given case; never throws, the result has the input's length in every mode.
[[nodiscard]] std::u16string ConvertCase(std::u16string_view text, CaseMode mode);
[[nodiscard]] std::u16string ConvertCase(std::u16string_view text, CaseMode mode, const CaseMapper& mapper);

// A formatted text (multiline text, a dimension's override) in the given case with its formatting
// codes kept unit for unit: only the visible characters change, by ConvertCase's rules, and a
// paragraph or column code reads as a line feed, "\~" as a space, a code that draws one character
// as that character, and the other codes as nothing. A text without "\", "{" or "}" converts as
// ConvertCase does. The result has the input's length; throws only std::bad_alloc.
[[nodiscard]] std::u16string ConvertMTextCase(std::u16string_view text, CaseMode mode);
[[nodiscard]] std::u16string ConvertMTextCase(std::u16string_view text, CaseMode mode, const CaseMapper& mapper);
// Whether the text, read as formatted text, would hold any code: "\", "{" or "}", which every code
// begins with. Without them formatted and plain text convert alike.
[[nodiscard]] bool HasFormattingCodes(std::u16string_view text) noexcept;

// How an entity's text is read: plain (ConvertCase; only the underline code at the start is
// special) or formatted (ConvertMTextCase).
enum class TextFormat { Plain, Formatted };

// Whether the text holds a complete field expression, "%<" up to its matching ">%".
[[nodiscard]] bool HasFieldExpressions(std::u16string_view text) noexcept;

// The text as it is written back: the rest behind the underline code in the given case, read as the
// given format, with "%%u" in front when the code was there. Every complete field expression "%<…>%"
// is kept unit for unit, whatever the text is: a literal one written back changed would be read as a
// field. A "%<" that no ">%" closes is text and converts. Throws only std::bad_alloc.
[[nodiscard]] std::u16string ConvertText(const UnderlineSplit& split, CaseMode mode, TextFormat format);
[[nodiscard]] std::u16string ConvertText(const UnderlineSplit& split, CaseMode mode, const CaseMapper& mapper,
                                         TextFormat format);
// SplitUnderlinePrefix, then the above; throws Failure(6) as SplitUnderlinePrefix does.
[[nodiscard]] std::u16string ConvertText(std::u16string_view text, CaseMode mode, TextFormat format);
[[nodiscard]] std::u16string ConvertText(std::u16string_view text, CaseMode mode, const CaseMapper& mapper,
                                         TextFormat format);

}  // namespace morvane
