#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "caseconv/case_rules.h"
#include "caseconv/caseconv.h"
#include "caseconv/field_expressions.h"
#include "caseconv/kept_pieces.h"
#include "caseconv/mtext_pieces.h"
#include "caseconv/symbol_fonts.h"
#include "caseconv/utf16.h"

namespace morvane {
namespace {

using mtext::Piece;

// What is kept unit for unit as the text is walked: complete field expressions (when kept),
// formatting codes (in formatted text), and the characters drawn in a symbol font. The fonts follow
// the groups: a font code holds to the next one or to the end of its group, after which the font
// from before the group holds again.
class KeptPieces {
public:
    // fields: the expressions kept, as fields::Outermost finds them (none when they are text).
    KeptPieces(std::u16string_view text, TextFormat format, std::span<const fields::Span> fields) noexcept
        : text_(text), formatted_(format == TextFormat::Formatted), fields_(fields) {}

    // Whether text[at] begins something that is kept rather than a visible character.
    [[nodiscard]] bool At(std::size_t at) noexcept {
        return FieldAt(at) || (formatted_ && (symbols_ || mtext::IsCodeStart(text_[at])));
    }

    // The kept piece at text[at] (At(at) is true), with what the word and sentence rules see in
    // its place; follows the fonts.
    [[nodiscard]] Piece Take(std::size_t at) {
        if (FieldAt(at)) {
            // A field shows one value: to the rules, one character that is neither a letter nor a separator.
            return {Piece::Kind::Code, at, fields_[next_++].length, mtext::kSymbolStandIn};
        }
        if (!mtext::IsCodeStart(text_[at])) return {Piece::Kind::Code, at, 1, mtext::kSymbolStandIn};
        Piece code = mtext::PieceAt(text_, at);
        // A field expression holds wherever it begins, also inside what would be a code's argument.
        if (next_ < fields_.size() && fields_[next_].start < at + code.length) code.length = fields_[next_].start - at;
        Follow(code);
        if (symbols_ && code.readsAs && *code.readsAs != u'\n' && *code.readsAs != u' ') code.readsAs = mtext::kSymbolStandIn;
        return code;
    }

private:
    // Whether a kept expression begins at text[at]. The walk only goes forward, and so does the
    // search: the whole walk looks at each expression once.
    [[nodiscard]] bool FieldAt(std::size_t at) noexcept {
        while (next_ < fields_.size() && fields_[next_].start < at) ++next_;
        return next_ < fields_.size() && fields_[next_].start == at;
    }

    void Follow(const Piece& code) {
        const char16_t first = text_[code.start];
        if (first == u'{') {
            outer_.push_back(symbols_);
        } else if (first == u'}') {
            // A "}" without its "{" closes nothing.
            if (!outer_.empty()) {
                symbols_ = outer_.back();
                outer_.pop_back();
            }
        } else if (code.length >= 2 && (text_[code.start + 1] == u'F' || text_[code.start + 1] == u'f')) {
            symbols_ = NamesSymbolFont(text_.substr(code.start, code.length));
        }
    }

    std::u16string_view text_;
    bool formatted_;
    std::span<const fields::Span> fields_;
    std::size_t next_ = 0;  // the first expression not behind the walk
    bool symbols_ = false;
    std::vector<bool> outer_;  // the font of each open group's surroundings: symbols or not
};

// Walks the text once: each visible unit goes to onVisible(position), each kept piece to
// onKept(piece). A run of text that a kept piece ends and whose last unit is a high surrogate ends
// in a lone one, which must not pair with what follows: onLoneHigh(position) is told of it.
template <class OnVisible, class OnLoneHigh, class OnKept>
void Walk(std::u16string_view text, TextFormat format, std::span<const fields::Span> fields, OnVisible onVisible,
          OnLoneHigh onLoneHigh, OnKept onKept) {
    KeptPieces kept(text, format, fields);
    const std::size_t size = text.size();
    for (std::size_t at = 0; at < size;) {
        const std::size_t runStart = at;
        while (at < size && !kept.At(at)) onVisible(at++);
        if (at == size) return;
        if (at > runStart && utf16::IsHighSurrogate(text[at - 1])) onLoneHigh(at - 1);
        const Piece piece = kept.Take(at);
        onKept(piece);
        at += piece.length;
    }
}

}  // namespace

// The visible characters are gathered into one text, with each kept piece replaced by what it
// reads as, converted there by ConvertCase's own rules, and put back where they came from. Nothing
// but the gathered text and the field expressions (found once, before the walks) is kept between
// the two walks: a list of the pieces would cost more than walking the text again.
std::u16string ConvertKeepingCodes(std::u16string_view text, CaseMode mode, const CaseMapper& mapper,
                                   TextFormat format, FieldExpressions fields) {
    const std::vector<fields::Span> expressions =
        fields == FieldExpressions::Kept ? fields::Outermost(text) : std::vector<fields::Span>();
    const bool anyCode = format == TextFormat::Formatted && HasFormattingCodes(text);
    if (!anyCode && expressions.empty()) return ConvertCase(text, mode, mapper);
    std::u16string seen(text.size(), u'\0');
    std::size_t length = 0;
    Walk(
        text, format, expressions, [&](std::size_t at) { seen[length++] = text[at]; },
        // A lone surrogate has no case and is no letter, separator or sentence end; nor is the stand-in.
        [&](std::size_t) { seen[length - 1] = mtext::kSymbolStandIn; },
        [&](const Piece& piece) {
            if (piece.readsAs) seen[length++] = *piece.readsAs;
        });
    seen.resize(length);
    ConvertCaseInPlace(seen, mode, mapper);

    std::u16string result(text);
    std::size_t from = 0;
    Walk(
        text, format, expressions, [&](std::size_t at) { result[at] = seen[from++]; },
        [&](std::size_t at) { result[at] = text[at]; },
        [&](const Piece& piece) {
            if (piece.readsAs) ++from;
        });
    return result;
}

std::u16string ConvertMTextCase(std::u16string_view text, CaseMode mode, const CaseMapper& mapper) {
    return ConvertKeepingCodes(text, mode, mapper, TextFormat::Formatted, FieldExpressions::AsText);
}

std::u16string ConvertMTextCase(std::u16string_view text, CaseMode mode) {
    return ConvertMTextCase(text, mode, DefaultCaseMapper());
}

}  // namespace morvane
