#include "caseconv/field_expressions.h"

#include "caseconv/caseconv.h"

namespace morvane::fields {

std::size_t LengthAt(std::u16string_view text, std::size_t at) noexcept {
    std::size_t depth = 1;
    std::size_t i = at + 2;
    while (i < text.size()) {
        if (StartsAt(text, i)) {
            ++depth;
            i += 2;
        } else if (text[i] == u'>' && i + 1 < text.size() && text[i + 1] == u'%') {
            i += 2;
            if (--depth == 0) return i - at;
        } else {
            ++i;
        }
    }
    return text.size() - at;
}

}  // namespace morvane::fields

namespace morvane {

bool HasFieldExpressions(std::u16string_view text) noexcept {
    return text.find(u"%<") != std::u16string_view::npos;
}

}  // namespace morvane
