#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "caseconv/caseconv.h"

namespace morvane {
namespace {

constexpr std::u16string_view kUnderlineCode = u"%%U";

}  // namespace

UnderlineSplit SplitUnderlinePrefix(std::u16string_view text, const CaseMapper& mapper) {
    if (text.size() < kUnderlineCode.size()) {
        return {false, std::u16string(text)};
    }
    // The code matches in any case: compare the upper-case form of the first three characters.
    std::array<char16_t, kUnderlineCode.size()> head{};
    std::copy_n(text.begin(), head.size(), head.begin());
    mapper.ToUpper(head);
    if (!std::equal(head.begin(), head.end(), kUnderlineCode.begin())) {
        return {false, std::u16string(text)};
    }
    // The CAD application's length field behind the code is a signed 16-bit count.
    if (text.size() - kUnderlineCode.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
        throw Failure(error_number::kOverflow);
    }
    return {true, std::u16string(text.substr(kUnderlineCode.size()))};
}

UnderlineSplit SplitUnderlinePrefix(std::u16string_view text) {
    return SplitUnderlinePrefix(text, DefaultCaseMapper());
}

}  // namespace morvane
