#pragma once

#include <algorithm>
#include <cstddef>

#include "caseconv/caseconv.h"
#include "caseconv/code_point_mapping.h"

namespace morvane::testing {

// A mapping that is the same on every machine: ASCII letters, é/É, Greek σ/Σ, Cyrillic д/Д and
// Deseret 𐐨/𐐀 (a surrogate pair each way); everything else has no case.
class FixedCaseMapper : public CaseMapper {
public:
    void ToUpper(std::span<char16_t> run) const override { MapCodePoints(run, Upper); }
    void ToLower(std::span<char16_t> run) const override { MapCodePoints(run, Lower); }

private:
    static char32_t Upper(char32_t c) {
        if (c >= U'a' && c <= U'z') return c - 0x20;
        switch (c) {
        case U'é': return U'É';
        case U'σ': return U'Σ';
        case U'д': return U'Д';
        case U'\U00010428': return U'\U00010400';
        default: return c;
        }
    }
    static char32_t Lower(char32_t c) {
        if (c >= U'A' && c <= U'Z') return c + 0x20;
        switch (c) {
        case U'É': return U'é';
        case U'Σ': return U'σ';
        case U'Д': return U'д';
        case U'\U00010400': return U'\U00010428';
        default: return c;
        }
    }
};

// The fixed mapping, remembering the longest run it was handed.
class RecordingCaseMapper final : public FixedCaseMapper {
public:
    void ToUpper(std::span<char16_t> run) const override { Record(run); FixedCaseMapper::ToUpper(run); }
    void ToLower(std::span<char16_t> run) const override { Record(run); FixedCaseMapper::ToLower(run); }
    [[nodiscard]] std::size_t LongestRun() const { return longestRun_; }

private:
    void Record(std::span<char16_t> run) const { longestRun_ = std::max(longestRun_, run.size()); }
    mutable std::size_t longestRun_ = 0;
};

// The text as the select-text command writes it back: code off, rest converted, "%%u" in front.
inline std::u16string ConvertEntityText(std::u16string_view text, CaseMode mode, const CaseMapper& mapper) {
    const UnderlineSplit split = SplitUnderlinePrefix(text, mapper);
    std::u16string converted = ConvertCase(split.rest, mode, mapper);
    return split.underlined ? u"%%u" + converted : converted;
}

}  // namespace morvane::testing
