#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// How the CAD application reads a formatted text (multiline text, a dimension's override): runs of
// visible characters between formatting codes. Used by ConvertMTextCase, which keeps the codes and
// converts the runs.

namespace morvane::mtext {

// What stands in, for the word and sentence rules, for a code that draws one character: a letter
// or digit (a stacked fraction, the letter behind an unknown code) or any other character (an
// escaped brace or backslash, a named symbol such as the degree sign). Neither has a case,
// separates words or ends a sentence.
inline constexpr char16_t kLetterStandIn = u'0';
inline constexpr char16_t kSymbolStandIn = u'#';

struct Piece {
    enum class Kind { Text, Code };
    Kind kind;
    std::size_t start;
    std::size_t length;
    // For a code: the one character the word and sentence rules see in its place ("\P" a line feed,
    // "\~" a space, a stand-in above), or none when they see nothing.
    std::optional<char16_t> readsAs;
};

// "\", "{" and "}": every code begins with one of them, and no run of text holds one.
[[nodiscard]] constexpr bool IsCodeStart(char16_t unit) noexcept {
    return unit == u'\\' || unit == u'{' || unit == u'}';
}

// The piece that starts at text[at] (at < text.size()): a maximal run of text, or one code. Walking
// from 0 piece by piece cuts the whole text without gaps. A code of the "up to ;" kind whose ";"
// never comes runs to the end of the text.
[[nodiscard]] Piece PieceAt(std::u16string_view text, std::size_t at) noexcept;

}  // namespace morvane::mtext
