#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// Field expressions as the CAD application writes them in a text: "%<\AcVar Date>%", nested as
// "%<\AcObjProp Object(%<\_ObjId 2130239632>%).TextString>%". Only a complete expression is one: a
// "%<" that no ">%" closes is text, and so is a ">%" that closes nothing.

namespace morvane::fields {

// Whether "%<" begins at text[at].
[[nodiscard]] constexpr bool StartsAt(std::u16string_view text, std::size_t at) noexcept {
    return at + 1 < text.size() && text[at] == u'%' && text[at + 1] == u'<';
}

// Whether ">%" begins at text[at].
[[nodiscard]] constexpr bool EndsAt(std::u16string_view text, std::size_t at) noexcept {
    return at + 1 < text.size() && text[at] == u'>' && text[at + 1] == u'%';
}

// A complete expression: from its "%<" up to and including its matching ">%".
struct Span {
    std::size_t start;
    std::size_t length;
};

// The complete expressions that no other complete one holds, in order; one pass over the text.
// Throws only std::bad_alloc.
[[nodiscard]] std::vector<Span> Outermost(std::u16string_view text);

}  // namespace morvane::fields
