#pragma once

#include <cstddef>
#include <span>

#include "caseconv/utf16.h"

namespace morvane {

// Replaces, in place, each character of the run by map(code point) when the result takes as many
// units as the character: a BMP character only by a BMP non-surrogate, a surrogate pair only by a
// supplementary code point (written back as a pair). A lone surrogate is never handed to map, and
// anything else map returns leaves the character as it was. Throws whatever map throws.
template <typename Map>
void MapCodePoints(std::span<char16_t> run, Map map) {
    for (std::size_t i = 0; i < run.size();) {
        const char16_t unit = run[i];
        if (!utf16::IsSurrogate(unit)) {
            const char32_t mapped = map(static_cast<char32_t>(unit));
            if (mapped <= 0xFFFF && !utf16::IsSurrogate(mapped)) {
                run[i] = static_cast<char16_t>(mapped);
            }
            ++i;
        } else if (utf16::CharacterLength(run, i) == 2) {
            const char32_t mapped = map(utf16::CombinePair(unit, run[i + 1]));
            if (mapped > 0xFFFF && mapped <= 0x10FFFF) {
                run[i] = static_cast<char16_t>(0xD800 + ((mapped - 0x10000) >> 10));
                run[i + 1] = static_cast<char16_t>(0xDC00 + ((mapped - 0x10000) & 0x3FF));
            }
            i += 2;
        } else {
            ++i;
        }
    }
}

}  // namespace morvane
