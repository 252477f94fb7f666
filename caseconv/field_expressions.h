#pragma once

#include <cstddef>
#include <string_view>

// Field expressions as the CAD application writes them in a text: "%<\AcVar Date>%", nested as
// "%<\AcObjProp Object(%<\_ObjId 2130239632>%).TextString>%".

namespace morvane::fields {

// Whether a field expression begins at text[at].
[[nodiscard]] constexpr bool StartsAt(std::u16string_view text, std::size_t at) noexcept {
    return at + 1 < text.size() && text[at] == u'%' && text[at + 1] == u'<';
}

// The length of the expression that begins at text[at] (StartsAt is true), up to and including
// its matching ">%"; an expression that never ends runs to the end of the text.
[[nodiscard]] std::size_t LengthAt(std::u16string_view text, std::size_t at) noexcept;

}  // namespace morvane::fields
