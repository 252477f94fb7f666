// Feeds arbitrary UTF-16 text (two input bytes to a unit, little-endian) through SplitUnderlinePrefix,
// ConvertCase and ConvertMTextCase in every mode, under the C library's UTF-8 locale and a fixed
// mapping, and aborts when an invariant breaks. A first byte of 0xF0 or more pads the text to 32,760 + (byte & 0x0F)
// units, so that both sides of the length limit behind the underline code are reached.
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "caseconv/caseconv.h"
#include "caseconv/mtext_pieces.h"
#include "caseconv/tests/fixed_case_mapper.h"
#include "caseconv/utf16.h"

namespace {

using morvane::CaseMapper;
using morvane::CaseMode;

constexpr CaseMode kModes[] = {CaseMode::Upper, CaseMode::Lower, CaseMode::Title, CaseMode::Sentence};

void Check(bool holds, const char* invariant) {
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", invariant);
        std::abort();
    }
}

std::u16string TextFrom(const std::uint8_t* data, std::size_t size) {
    std::size_t padTo = 0;
    if (size > 0 && data[0] >= 0xF0) {
        padTo = 32760 + (data[0] & 0x0F);
        ++data;
        --size;
    }
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    if (padTo > 0) {
        const std::u16string piece = text.empty() ? u"a" : text;
        while (text.size() < padTo) {
            text += piece;
        }
        text.resize(padTo);
    }
    return text;
}

// The converted text keeps the length and every surrogate where it was; lone ones unchanged.
void CheckShape(const std::u16string& in, const std::u16string& out) {
    Check(out.size() == in.size(), "length kept");
    for (std::size_t i = 0; i < in.size();) {
        const std::size_t length = morvane::utf16::CharacterLength(in, i);
        if (length == 2) {
            Check(morvane::utf16::CharacterLength(out, i) == 2, "a pair stays a pair");
        } else if (morvane::utf16::IsSurrogate(in[i])) {
            Check(out[i] == in[i], "a lone surrogate is unchanged");
        } else {
            Check(!morvane::utf16::IsSurrogate(out[i]), "a BMP character stays outside the surrogates");
        }
        i += length;
    }
}

// Formatted text: shaped as plain text is, every code of the input unchanged at its place, and
// exactly ConvertCase when there is no code at all.
void CheckFormattedShape(const std::u16string& in, const std::u16string& out, const CaseMapper& mapper, CaseMode mode) {
    CheckShape(in, out);
    for (std::size_t at = 0; at < in.size();) {
        const morvane::mtext::Piece piece = morvane::mtext::PieceAt(in, at);
        Check(piece.start == at && piece.length > 0 && piece.length <= in.size() - at, "pieces cut the text");
        at += piece.length;
        if (piece.kind == morvane::mtext::Piece::Kind::Code) {
            Check(out.compare(piece.start, piece.length, in, piece.start, piece.length) == 0, "codes are kept in place");
        }
    }
    if (!morvane::HasFormattingCodes(in)) {
        Check(out == morvane::ConvertCase(in, mode, mapper), "without codes it is ConvertCase");
    }
}

// Field expressions, found here on their own terms: a "%<" opens one, which ends at the ">%" that
// brings its depth back to 0; one that never ends is text, and the search goes on behind its "%<".
std::vector<std::pair<std::size_t, std::size_t>> FieldSpans(const std::u16string& text) {
    const auto pairAt = [&](std::size_t i, char16_t first, char16_t second) {
        return i + 1 < text.size() && text[i] == first && text[i + 1] == second;
    };
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (std::size_t start = 0; start < text.size();) {
        if (!pairAt(start, u'%', u'<')) {
            ++start;
            continue;
        }
        std::size_t depth = 1;
        std::size_t i = start + 2;
        while (i < text.size() && depth > 0) {
            if (pairAt(i, u'%', u'<')) {
                ++depth;
                i += 2;
            } else if (pairAt(i, u'>', u'%')) {
                --depth;
                i += 2;
            } else {
                ++i;
            }
        }
        if (depth == 0) {
            spans.emplace_back(start, i - start);
            start = i;
        } else {
            start += 2;
        }
    }
    return spans;
}

// With fields kept, in plain and formatted text: shaped as plain text is, and every expression
// unchanged at its place; a text without a complete one converts as if no field were kept.
void CheckFieldsKept(const std::u16string& rest, const CaseMapper& mapper, CaseMode mode) {
    const auto spans = FieldSpans(rest);
    Check(morvane::HasFieldExpressions(rest) == !spans.empty(), "fields are found where there is a complete one");
    for (const morvane::TextFormat format : {morvane::TextFormat::Plain, morvane::TextFormat::Formatted}) {
        const morvane::UnderlineSplit split{false, rest};
        const std::u16string out = morvane::ConvertText(split, mode, mapper, format);
        CheckShape(rest, out);
        for (const auto& [start, length] : spans) {
            Check(out.compare(start, length, rest, start, length) == 0, "every field expression is kept in place");
        }
        if (spans.empty()) {
            const std::u16string alone = format == morvane::TextFormat::Plain ? morvane::ConvertCase(rest, mode, mapper)
                                                                              : morvane::ConvertMTextCase(rest, mode, mapper);
            Check(out == alone, "an unclosed \"%<\" is text");
        }
    }
}

enum class Checks { Limit, Shape, Algebra };

void CheckWith(const std::u16string& text, const CaseMapper& mapper, Checks checks) {
    const bool hasCode = text.size() >= 3 && text[0] == u'%' && text[1] == u'%' && (text[2] == u'U' || text[2] == u'u');
    morvane::UnderlineSplit split;
    try {
        split = morvane::SplitUnderlinePrefix(text, mapper);
    } catch (const morvane::Failure& failure) {
        Check(failure.number() == 6, "the only failure is 6");
        Check(hasCode && text.size() > 32770, "6 only for a prefixed text over 32,770 units");
        return;
    }
    Check(!(hasCode && text.size() > 32770), "a prefixed text over 32,770 units fails");
    Check(split.underlined == hasCode, "the code is \"%%U\" in any case at the start");
    Check(split.rest == (hasCode ? text.substr(3) : text), "the rest is everything behind the code");

    if (checks == Checks::Limit) {
        CheckShape(split.rest, morvane::ConvertCase(split.rest, CaseMode::Title, mapper));
        CheckFormattedShape(split.rest, morvane::ConvertMTextCase(split.rest, CaseMode::Title, mapper), mapper,
                            CaseMode::Title);
        return;
    }
    for (const CaseMode mode : kModes) {
        CheckShape(split.rest, morvane::ConvertCase(split.rest, mode, mapper));
        CheckFormattedShape(split.rest, morvane::ConvertMTextCase(split.rest, mode, mapper), mapper, mode);
        CheckFieldsKept(split.rest, mapper, mode);
    }
    if (checks == Checks::Algebra) {
        const std::u16string lower = morvane::ConvertCase(split.rest, CaseMode::Lower, mapper);
        const std::u16string upper = morvane::ConvertCase(split.rest, CaseMode::Upper, mapper);
        Check(morvane::ConvertCase(upper, CaseMode::Lower, mapper) == lower, "Upper then Lower equals Lower");
        for (const CaseMode mode : {CaseMode::Title, CaseMode::Sentence}) {
            const std::u16string cased = morvane::ConvertCase(split.rest, mode, mapper);
            Check(morvane::ConvertCase(cased, CaseMode::Lower, mapper) == lower, "Title and Sentence only change case");
        }
        // Formatted text changes a unit, if at all, as plain text does: only the visible ones change.
        for (const CaseMode mode : {CaseMode::Upper, CaseMode::Lower}) {
            const std::u16string plain = mode == CaseMode::Upper ? upper : lower;
            const std::u16string formatted = morvane::ConvertMTextCase(split.rest, mode, mapper);
            for (std::size_t i = 0; i < formatted.size(); ++i) {
                Check(formatted[i] == split.rest[i] || formatted[i] == plain[i], "a unit changes only as in plain text");
            }
        }
        const std::u16string formattedLower = morvane::ConvertMTextCase(split.rest, CaseMode::Lower, mapper);
        for (const CaseMode mode : {CaseMode::Title, CaseMode::Sentence}) {
            const std::u16string cased = morvane::ConvertMTextCase(split.rest, mode, mapper);
            Check(morvane::ConvertMTextCase(cased, CaseMode::Lower, mapper) == formattedLower,
                  "formatted Title and Sentence only change case");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C.UTF-8");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = TextFrom(data, size);
    // Texts padded to the limit are about the limit: converting them in full would only slow the search.
    if (size > 0 && data[0] >= 0xF0) {
        CheckWith(text, morvane::DefaultCaseMapper(), Checks::Limit);
        return 0;
    }
    // The C library's tables are not closed under upper-then-lower (dotless i, long s, final
    // sigma, micro sign, Kelvin sign), so the case algebra is checked with the fixed mapping.
    CheckWith(text, morvane::DefaultCaseMapper(), Checks::Shape);
    CheckWith(text, morvane::testing::FixedCaseMapper(), Checks::Algebra);
    return 0;
}
