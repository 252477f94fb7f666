#include <cwctype>

#include "caseconv/caseconv.h"
#include "caseconv/code_point_mapping.h"

namespace morvane {
namespace {

// The C library's mapping under the process locale, which the program sets once at its start.
class NativeCaseMapper final : public CaseMapper {
public:
    void ToUpper(std::span<char16_t> run) const override {
        MapCodePoints(run, [](char32_t c) { return static_cast<char32_t>(std::towupper(static_cast<std::wint_t>(c))); });
    }
    void ToLower(std::span<char16_t> run) const override {
        MapCodePoints(run, [](char32_t c) { return static_cast<char32_t>(std::towlower(static_cast<std::wint_t>(c))); });
    }
};

}  // namespace

const CaseMapper& DefaultCaseMapper() {
    static const NativeCaseMapper mapper;
    return mapper;
}

}  // namespace morvane
