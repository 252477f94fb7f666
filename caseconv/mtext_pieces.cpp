#include "caseconv/mtext_pieces.h"

#include <algorithm>

#include "caseconv/letter_or_digit.h"

namespace morvane::mtext {
namespace {

constexpr std::u16string_view kCodeStarts = u"\\{}";

// Codes whose argument runs up to and including the next ";": font, colour, height, alignment,
// tracking, obliquing, width, paragraph indents.
constexpr std::u16string_view kUpToSemicolon = u"ACcFfHQTWp";
// Switches of underline, overline and strike-through.
constexpr std::u16string_view kSwitches = u"LlOoKk";
// Paragraph break, column break, the separator of a dimension's two lines.
constexpr std::u16string_view kLineBreaks = u"PNX";

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
Piece CodeAt(std::u16string_view text, std::size_t at) {
    const auto code = [&](std::size_t length, std::optional<char16_t> readsAs) {
        return Piece{Piece::Kind::Code, at, length, readsAs};
    };
    if (at + 1 == text.size()) return code(1, kSymbolStandIn);
    const char16_t name = text[at + 1];
    if (kLineBreaks.find(name) != std::u16string_view::npos) return code(2, u'\n');
    if (name == u'~') return code(2, u' ');
    if (kSwitches.find(name) != std::u16string_view::npos) return code(2, std::nullopt);
    if (name == u'S' || kUpToSemicolon.find(name) != std::u16string_view::npos) {
        const std::size_t semicolon = text.find(u';', at + 2);
        if (semicolon == std::u16string_view::npos) return code(text.size() - at, std::nullopt);
        // Stacked text is drawn, as a fraction; the others only format what follows.
        return code(semicolon + 1 - at, name == u'S' ? std::optional(kLetterStandIn) : std::nullopt);
    }
    if (name == u'U') {
        if (const auto named = NamedCharacter(text, at, 4)) return code(7, StandInFor(*named));
    } else if (name == u'M') {
        // A character of a double-byte code page: the CAD application draws one character, usually
        // an ideograph.
        if (NamedCharacter(text, at, 5)) return code(8, kLetterStandIn);
    }
    // An escaped "\", "{" or "}", or a code the CAD application does not know: it draws the unit
    // behind the backslash.
    return code(2, StandInFor(name));
}

}  // namespace

bool HasCodes(std::u16string_view text) noexcept {
    return text.find_first_of(kCodeStarts) != std::u16string_view::npos;
}

std::vector<Piece> Pieces(std::u16string_view text) {
    std::vector<Piece> pieces;
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] == u'{' || text[at] == u'}') {
            pieces.push_back({Piece::Kind::Code, at, 1, std::nullopt});
        } else if (text[at] == u'\\') {
            pieces.push_back(CodeAt(text, at));
        } else {
            const std::size_t end = std::min(text.find_first_of(kCodeStarts, at), text.size());
            pieces.push_back({Piece::Kind::Text, at, end - at, std::nullopt});
        }
        at += pieces.back().length;
    }
    return pieces;
}

}  // namespace morvane::mtext
