#include "caseconv/mtext_pieces.h"

#include "caseconv/caseconv.h"
#include "caseconv/letter_or_digit.h"

namespace morvane::mtext {
namespace {

// Where the next code begins at or after `at`, or the text's size.
std::size_t NextCodeStart(std::u16string_view text, std::size_t at) noexcept {
    while (at < text.size() && !IsCodeStart(text[at])) ++at;
    return at;
}

constexpr bool IsHexDigit(char16_t unit) noexcept {
    return (unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'F') || (unit >= u'a' && unit <= u'f');
}

constexpr unsigned HexValue(char16_t unit) noexcept {
    return unit <= u'9' ? unit - u'0' : (unit | 0x20) - u'a' + 10;
}

char16_t StandInFor(char32_t drawn) noexcept {
    return IsLetterOrDigit(drawn) ? kLetterStandIn : kSymbolStandIn;
}

// "\U+XXXX" (digits = 4) or "\M+nXXXX" (digits = 5) at text[at]; the code point named, or none
// when the digits are not all there.
std::optional<char32_t> NamedCharacter(std::u16string_view text, std::size_t at, std::size_t digits) noexcept {
    if (text.size() - at < 3 + digits || text[at + 2] != u'+') return std::nullopt;
    char32_t value = 0;
    for (std::size_t i = at + 3; i < at + 3 + digits; ++i) {
        if (!IsHexDigit(text[i])) return std::nullopt;
        value = value * 16 + HexValue(text[i]);
    }
    return value;
}

// The code that begins with the backslash at text[at].
Piece CodeAt(std::u16string_view text, std::size_t at) noexcept {
    const auto code = [&](std::size_t length, std::optional<char16_t> readsAs) {
        return Piece{Piece::Kind::Code, at, length, readsAs};
    };
    if (at + 1 == text.size()) return code(1, kSymbolStandIn);
    const char16_t name = text[at + 1];
    switch (name) {
    case u'P':  // paragraph break
    case u'N':  // column break
    case u'X':  // a dimension's second line
        return code(2, u'\n');
    case u'~':  // non-breaking space
        return code(2, u' ');
    case u'L': case u'l':  // underline on, off
    case u'O': case u'o':  // overline
    case u'K': case u'k':  // strike-through
        return code(2, std::nullopt);
    // Alignment, colour, font, height, obliquing, tracking, width and paragraph indents format what
    // follows; stacked text is drawn, as a fraction. Each runs up to and including the next ";".
    case u'A': case u'C': case u'c': case u'F': case u'f': case u'H': case u'Q': case u'T': case u'W': case u'p':
    case u'S': {
        const std::size_t semicolon = text.find(u';', at + 2);
        if (semicolon == std::u16string_view::npos) return code(text.size() - at, std::nullopt);
        return code(semicolon + 1 - at, name == u'S' ? std::optional(kLetterStandIn) : std::nullopt);
    }
    case u'U':
        if (const auto named = NamedCharacter(text, at, 4)) return code(7, StandInFor(*named));
        break;
    case u'M':
        // A character of a double-byte code page: the CAD application draws one character, usually
        // an ideograph.
        if (NamedCharacter(text, at, 5)) return code(8, kLetterStandIn);
        break;
    default:
        break;
    }
    // An escaped "\", "{" or "}", or a code the CAD application does not know: it draws the unit
    // behind the backslash.
    return code(2, StandInFor(name));
}

}  // namespace

Piece PieceAt(std::u16string_view text, std::size_t at) noexcept {
    if (text[at] == u'{' || text[at] == u'}') return {Piece::Kind::Code, at, 1, std::nullopt};
    if (text[at] == u'\\') return CodeAt(text, at);
    return {Piece::Kind::Text, at, NextCodeStart(text, at) - at, std::nullopt};
}

}  // namespace morvane::mtext

namespace morvane {

bool HasFormattingCodes(std::u16string_view text) noexcept {
    return mtext::NextCodeStart(text, 0) < text.size();
}

}  // namespace morvane
