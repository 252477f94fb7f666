#include <cstddef>
#include <string>

#include "caseconv/case_rules.h"
#include "caseconv/caseconv.h"
#include "caseconv/mtext_pieces.h"
#include "caseconv/utf16.h"

namespace morvane {
namespace {

using mtext::Piece;

// Walks the text once: each visible unit goes to onVisible(position), each code to onCode(piece).
// A run of text that a code ends and whose last unit is a high surrogate ends in a lone one, which
// must not pair with what follows the code: onLoneHigh(position) is told of it after its run.
template <class OnVisible, class OnLoneHigh, class OnCode>
void Walk(std::u16string_view text, OnVisible onVisible, OnLoneHigh onLoneHigh, OnCode onCode) {
    const std::size_t size = text.size();
    for (std::size_t at = 0; at < size;) {
        const std::size_t runStart = at;
        while (at < size && !mtext::IsCodeStart(text[at])) onVisible(at++);
        if (at == size) return;
        if (at > runStart && utf16::IsHighSurrogate(text[at - 1])) onLoneHigh(at - 1);
        const Piece code = mtext::PieceAt(text, at);
        onCode(code);
        at += code.length;
    }
}

}  // namespace

// The visible characters are gathered into one text, with each code replaced by what it reads as,
// converted there by ConvertCase's own rules, and put back where they came from. Nothing but the
// gathered text is kept between the two walks: a list of the pieces would cost more than walking
// the text again.
std::u16string ConvertMTextCase(std::u16string_view text, CaseMode mode, const CaseMapper& mapper) {
    if (!HasFormattingCodes(text)) return ConvertCase(text, mode, mapper);
    std::u16string seen(text.size(), u'\0');
    std::size_t length = 0;
    Walk(
        text, [&](std::size_t at) { seen[length++] = text[at]; },
        // A lone surrogate has no case and is no letter, separator or sentence end; nor is the stand-in.
        [&](std::size_t) { seen[length - 1] = mtext::kSymbolStandIn; },
        [&](const Piece& code) {
            if (code.readsAs) seen[length++] = *code.readsAs;
        });
    seen.resize(length);
    ConvertCaseInPlace(seen, mode, mapper);

    std::u16string result(text);
    std::size_t from = 0;
    Walk(
        text, [&](std::size_t at) { result[at] = seen[from++]; }, [&](std::size_t at) { result[at] = text[at]; },
        [&](const Piece& code) {
            if (code.readsAs) ++from;
        });
    return result;
}

std::u16string ConvertMTextCase(std::u16string_view text, CaseMode mode) {
    return ConvertMTextCase(text, mode, DefaultCaseMapper());
}

}  // namespace morvane
