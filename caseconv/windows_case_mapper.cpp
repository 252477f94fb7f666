#include <windows.h>

#include <algorithm>
#include <climits>

#include "caseconv/caseconv.h"
#include "caseconv/utf16.h"

namespace morvane {
namespace {

// LCMapStringEx counts in int; longer runs go in pieces that never split a surrogate pair.
constexpr std::size_t kMaxPiece = INT_MAX / 2;

wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

// Whether mapped keeps every character of original at its place and length; lone surrogates are
// put back as they were.
bool KeepsCharacters(std::span<const char16_t> original, std::span<char16_t> mapped) {
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

// One call per character, for a run whose mapping as a whole did not keep every character in place.
void MapEachCharacter(const wchar_t* locale, DWORD flags, std::span<char16_t> run) {
    for (std::size_t i = 0; i < run.size();) {
        const std::size_t length = utf16::CharacterLength(run, i);
        char16_t mapped[2] = {};
        if (!(length == 1 && utf16::IsSurrogate(run[i])) &&
            LCMapStringEx(locale, flags, AsWide(&run[i]), static_cast<int>(length), AsWide(mapped),
                          static_cast<int>(length), nullptr, nullptr, 0) == static_cast<int>(length) &&
            KeepsCharacters(run.subspan(i, length), std::span(mapped, length))) {
            std::copy_n(mapped, length, run.begin() + static_cast<std::ptrdiff_t>(i));
        }
        i += length;
    }
}

void MapPiece(const wchar_t* locale, DWORD flags, std::span<char16_t> run) {
    std::u16string mapped(run.size(), u'\0');
    const int length = static_cast<int>(run.size());
    if (LCMapStringEx(locale, flags, AsWide(run.data()), length, AsWide(mapped.data()), length, nullptr, nullptr,
                      0) == length &&
        KeepsCharacters(run, mapped)) {
        std::copy(mapped.begin(), mapped.end(), run.begin());
    } else {
        MapEachCharacter(locale, flags, run);
    }
}

}  // namespace

void WindowsCaseMapper::ToUpper(std::span<char16_t> run) const { Map(run, LCMAP_UPPERCASE); }

void WindowsCaseMapper::ToLower(std::span<char16_t> run) const { Map(run, LCMAP_LOWERCASE); }

void WindowsCaseMapper::Map(std::span<char16_t> run, unsigned long flags) const {
    const wchar_t* locale = localeName_ ? localeName_->c_str() : LOCALE_NAME_USER_DEFAULT;
    while (!run.empty()) {
        std::size_t piece = std::min(run.size(), kMaxPiece);
        if (piece < run.size() && utf16::IsHighSurrogate(run[piece - 1])) {
            --piece;
        }
        MapPiece(locale, flags | LCMAP_LINGUISTIC_CASING, run.first(piece));
        run = run.subspan(piece);
    }
}

const CaseMapper& DefaultCaseMapper() {
    static const WindowsCaseMapper mapper;
    return mapper;
}

}  // namespace morvane
