#include <array>
#include <cstddef>
#include <cwctype>

#include "caseconv/caseconv.h"
#include "caseconv/code_point_mapping.h"

namespace morvane {
namespace {

// From this length on, a run looks its ASCII characters up in a table filled from the C library at
// the start of the call (so still under the locale of this call): one call per character costs
// several times more.
constexpr std::size_t kAsciiTableFrom = 512;

template <typename CLibraryMap>
void MapUnderProcessLocale(std::span<char16_t> run, CLibraryMap map) {
    const auto mapCodePoint = [&](char32_t c) { return static_cast<char32_t>(map(static_cast<std::wint_t>(c))); };
    if (run.size() < kAsciiTableFrom) {
        MapCodePoints(run, mapCodePoint);
        return;
    }
    std::array<char32_t, 128> ascii{};
    for (char32_t c = 0; c < ascii.size(); ++c) {
        ascii[c] = mapCodePoint(c);
    }
    MapCodePoints(run, [&](char32_t c) { return c < ascii.size() ? ascii[c] : mapCodePoint(c); });
}

// The C library's mapping under the process locale, which the program sets once at its start.
class NativeCaseMapper final : public CaseMapper {
public:
    void ToUpper(std::span<char16_t> run) const override {
        MapUnderProcessLocale(run, [](std::wint_t c) { return std::towupper(c); });
    }
    void ToLower(std::span<char16_t> run) const override {
        MapUnderProcessLocale(run, [](std::wint_t c) { return std::towlower(c); });
    }
};

}  // namespace

const CaseMapper& DefaultCaseMapper() {
    static const NativeCaseMapper mapper;
    return mapper;
}

}  // namespace morvane
