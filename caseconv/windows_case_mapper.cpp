#include <windows.h>

#include <algorithm>
#include <climits>

#include "caseconv/caseconv.h"
#include "caseconv/utf16.h"
#include "caseconv/whole_run_mapping.h"

namespace morvane {
namespace {

// LCMapStringEx counts in int; longer runs go in pieces that never split a surrogate pair.
constexpr std::size_t kMaxPiece = INT_MAX / 2;

// The locale's mapping of a whole string, in one call.
void MapPiece(const wchar_t* locale, DWORD flags, std::span<char16_t> run) {
    MapRunKeepingCharacters(run, [&](std::span<const char16_t> source, std::span<char16_t> destination) {
        return LCMapStringEx(locale, flags, reinterpret_cast<const wchar_t*>(source.data()),
                             static_cast<int>(source.size()), reinterpret_cast<wchar_t*>(destination.data()),
                             static_cast<int>(destination.size()), nullptr, nullptr, 0);
    });
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
