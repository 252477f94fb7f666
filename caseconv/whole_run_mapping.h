#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <string>

#include "caseconv/utf16.h"

namespace morvane {

// Whether mapped keeps every character of original at its place and length; lone surrogates are
// put back as they were.
inline bool KeepsCharacters(std::span<const char16_t> original, std::span<char16_t> mapped) {
    for (std::size_t i = 0; i < original.size();) {
        const std::size_t length = utf16::CharacterLength(original, i);
        if (length == 2) {
            if (utf16::CharacterLength(mapped, i) != 2) {
                return false;
            }
        } else if (utf16::IsSurrogate(original[i])) {
            mapped[i] = original[i];
        } else if (utf16::IsSurrogate(mapped[i])) {
            return false;
        }
        i += length;
    }
    return true;
}

// Maps a run in place with a function that maps whole strings, as LCMapStringEx does:
// mapString(source, destination) returns how many units it wrote, anything else when it failed or
// needed more room. The whole run goes in one call; when the result does not keep every character in
// place, each character goes on its own and keeps its original where its result does not fit.
// Lone surrogates always stay. Throws std::bad_alloc and whatever mapString throws.
template <typename MapString>
void MapRunKeepingCharacters(std::span<char16_t> run, MapString mapString) {
    if (run.empty()) {
        return;
    }
    std::u16string mapped(run.size(), u'\0');
    const int written = mapString(std::span<const char16_t>(run), std::span<char16_t>(mapped));
    if (written >= 0 && static_cast<std::size_t>(written) == run.size() && KeepsCharacters(run, mapped)) {
        std::copy(mapped.begin(), mapped.end(), run.begin());
        return;
    }
    for (std::size_t i = 0; i < run.size();) {
        const std::size_t length = utf16::CharacterLength(run, i);
        const std::span<char16_t> character = run.subspan(i, length);
        char16_t one[2] = {};
        const std::span<char16_t> result(one, length);
        if (!(length == 1 && utf16::IsSurrogate(run[i])) &&
            mapString(std::span<const char16_t>(character), result) == static_cast<int>(length) &&
            KeepsCharacters(character, result)) {
            std::copy(result.begin(), result.end(), character.begin());
        }
        i += length;
    }
}

}  // namespace morvane
