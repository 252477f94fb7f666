#include "cadlink/release_progid.h"

#include <limits>

namespace morvane {

namespace {

constexpr std::u16string_view kPrefix = u"AutoCAD.Application.";

constexpr char16_t AsciiLower(char16_t c) noexcept { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; }

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) noexcept {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
    }
    return true;
}

}  // namespace

std::optional<CadRelease> ReleaseOfProgId(std::u16string_view progId) {
    if (!StartsWithIgnoringCase(progId, kPrefix)) return std::nullopt;
    std::u16string_view rest = progId.substr(kPrefix.size());
    CadRelease release;
    while (true) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (digits < rest.size() && rest[digits] >= u'0' && rest[digits] <= u'9') {
            const unsigned digit = rest[digits] - u'0';
            if (value > (std::numeric_limits<unsigned>::max() - digit) / 10) return std::nullopt;
            value = value * 10 + digit;
            ++digits;
        }
        if (digits == 0) return std::nullopt;
        release.push_back(value);
        rest.remove_prefix(digits);
        if (rest.empty()) return release;
        if (rest.front() != u'.') return std::nullopt;
        rest.remove_prefix(1);
    }
}

}  // namespace morvane
