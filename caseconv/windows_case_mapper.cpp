#include <windows.h>

#include "caseconv/caseconv.h"
#include "caseconv/whole_run_mapping.h"

namespace morvane {

void WindowsCaseMapper::ToUpper(std::span<char16_t> run) const { Map(run, LCMAP_UPPERCASE); }

void WindowsCaseMapper::ToLower(std::span<char16_t> run) const { Map(run, LCMAP_LOWERCASE); }

// The locale's mapping of the whole run in one call. A run comes from one BSTR, so its length fits
// LCMapStringEx's int; a longer one would go character by character (the whole-run count differs).
void WindowsCaseMapper::Map(std::span<char16_t> run, unsigned long flags) const {
    const wchar_t* locale = localeName_ ? localeName_->c_str() : LOCALE_NAME_USER_DEFAULT;
    MapRunKeepingCharacters(run, [&](std::span<const char16_t> source, std::span<char16_t> destination) {
        return LCMapStringEx(locale, flags | LCMAP_LINGUISTIC_CASING, reinterpret_cast<const wchar_t*>(source.data()),
                             static_cast<int>(source.size()), reinterpret_cast<wchar_t*>(destination.data()),
                             static_cast<int>(destination.size()), nullptr, nullptr, 0);
    });
}

namespace {

// Made before the program's entry, not on first use: a function's static would bring the C++
// library's thread-safe guard (and the threads library's once and condition functions) into the
// program, for a value no other thread reads.
const WindowsCaseMapper kUserDefault;

}  // namespace

const CaseMapper& DefaultCaseMapper() { return kUserDefault; }

}  // namespace morvane
