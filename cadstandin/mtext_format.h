#pragma once

#include <string>
#include <string_view>
#include <vector>

// How the stand-in reads a formatted text (a multiline text's TextString, a dimension's override) to
// draw it the way the CAD application shows it. Portable: laid out here, drawn by the window.

namespace cadstandin {

// How a span of text is drawn.
struct MTextStyle {
    bool underline = false;
    bool overline = false;
    bool strikeThrough = false;
    bool bold = false;
    bool italic = false;
    int colorIndex = 0;   // 0: the entity's own colour; 1 to 7: the CAD application's index colours
    double height = 0;    // pixels
    bool operator==(const MTextStyle&) const = default;
};

// Text in one style, or a stacked fraction ("\S1/2;"), drawn small with one part over the other.
struct MTextSpan {
    std::u16string text{};  // the text, or a stacked fraction's upper part
    std::u16string lower{};  // a stacked fraction's lower part
    bool stacked = false;
    MTextStyle style;
    bool operator==(const MTextSpan&) const = default;
};

struct MTextLine {
    std::vector<MTextSpan> spans{};
    bool belowDimensionLine = false;  // behind "\X": a dimension shows it under its line
    bool operator==(const MTextLine&) const = default;
};

// The lines of a formatted text, each a list of spans: "\P", "\N", "\X" and line feeds end a line;
// "\L" "\l", "\O" "\o", "\K" "\k" switch underline, overline and strike-through (and "%%U" underline,
// as in every text); "{" and "}" scope what is switched inside; "\C1;" to "\C7;" colour; "\f...|b1|i1;"
// bold and italic; "\H2x;" a multiple of the height, "\H30;" a height in pixels; "\S...;" a stacked
// fraction (parts split at "/", "^" or "#"); "\~" a non-breaking space; "\U+XXXX" its character;
// "\\", "\{", "\}" the character. Other codes (and a code whose ";" never comes) are not drawn.
// baseHeight is the entity's text height in pixels. Never fails; throws only std::bad_alloc.
[[nodiscard]] std::vector<MTextLine> LayOutMText(std::u16string_view text, double baseHeight);

// The characters a formatted text shows, without its codes: its lines joined by a blank, a stacked
// fraction as "upper/lower". Throws only std::bad_alloc.
[[nodiscard]] std::u16string TextWithoutCodes(std::u16string_view text);

}  // namespace cadstandin
