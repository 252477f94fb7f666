#include <algorithm>
#include <string>
#include <vector>

#include "caseconv/caseconv.h"
#include "caseconv/mtext_pieces.h"
#include "caseconv/utf16.h"

namespace morvane {
namespace {

using mtext::Piece;

// A run of text that ends in a high surrogate ends in a lone one: whatever follows lies behind a
// code, and the two must not be read as a pair.
bool EndsInLoneHighSurrogate(std::u16string_view run) noexcept {
    return !run.empty() && utf16::IsHighSurrogate(run.back());
}

}  // namespace

// The visible characters are gathered into one text, with each code replaced by what it reads as,
// converted there by ConvertCase's own rules, and put back where they came from.
std::u16string ConvertMTextCase(std::u16string_view text, CaseMode mode, const CaseMapper& mapper) {
    if (!mtext::HasCodes(text)) return ConvertCase(text, mode, mapper);
    const std::vector<Piece> pieces = mtext::Pieces(text);
    std::u16string seen;
    seen.reserve(text.size());
    for (const Piece& piece : pieces) {
        if (piece.kind == Piece::Kind::Text) {
            const std::u16string_view run = text.substr(piece.start, piece.length);
            seen.append(run);
            // A lone surrogate has no case and is no letter, separator or sentence end: nor is the stand-in.
            if (EndsInLoneHighSurrogate(run)) seen.back() = mtext::kSymbolStandIn;
        } else if (piece.readsAs) {
            seen.push_back(*piece.readsAs);
        }
    }
    const std::u16string converted = ConvertCase(seen, mode, mapper);

    std::u16string result(text);
    std::size_t from = 0;
    for (const Piece& piece : pieces) {
        if (piece.kind == Piece::Kind::Text) {
            const bool loneAtEnd = EndsInLoneHighSurrogate(text.substr(piece.start, piece.length));
            std::copy_n(converted.begin() + static_cast<std::ptrdiff_t>(from), piece.length - (loneAtEnd ? 1 : 0),
                        result.begin() + static_cast<std::ptrdiff_t>(piece.start));
            from += piece.length;
        } else if (piece.readsAs) {
            ++from;
        }
    }
    return result;
}

std::u16string ConvertMTextCase(std::u16string_view text, CaseMode mode) {
    return ConvertMTextCase(text, mode, DefaultCaseMapper());
}

}  // namespace morvane
