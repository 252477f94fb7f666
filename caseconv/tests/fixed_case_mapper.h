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
    void ToUpper(std::span<char16_t> run) const override {
        MapCodePoints(run, [](char32_t c) { return Counterpart(c, &CasePair::lower, &CasePair::upper); });
    }
    void ToLower(std::span<char16_t> run) const override {
        MapCodePoints(run, [](char32_t c) { return Counterpart(c, &CasePair::upper, &CasePair::lower); });
    }

private:
    struct CasePair {
        char32_t lower;
        char32_t upper;
    };
    static constexpr CasePair kPairs[] = {
        {U'é', U'É'}, {U'σ', U'Σ'}, {U'д', U'Д'}, {U'\U00010428', U'\U00010400'}};

    static char32_t Counterpart(char32_t c, char32_t CasePair::*from, char32_t CasePair::*to) {
        if (c >= CasePair{U'a', U'A'}.*from && c <= CasePair{U'z', U'Z'}.*from) {
            return c - CasePair{U'a', U'A'}.*from + CasePair{U'a', U'A'}.*to;
        }
        for (const CasePair& pair : kPairs) {
            if (pair.*from == c) return pair.*to;
        }
        return c;
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

}  // namespace morvane::testing
