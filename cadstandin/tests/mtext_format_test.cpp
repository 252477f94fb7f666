#include "cadstandin/mtext_format.h"

#include <gtest/gtest.h>

#include <string>

#include "cadstandin/scenario.h"

namespace cadstandin {
namespace {

constexpr double kBase = 18;

// The lines as a short description: spans separated by " | ", lines by " // "; a line under a
// dimension's line starts with "_"; each span's text in quotes, then what differs from the base
// style: u (underline), o (overline), k (strike-through), b, i, c<index>, h<height>, or a
// stacked fraction as "upper"/"lower".
std::string Describe(const std::vector<MTextLine>& lines) {
    std::string out;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        if (l > 0) out += " // ";
        if (lines[l].belowDimensionLine) out += "_";
        for (std::size_t s = 0; s < lines[l].spans.size(); ++s) {
            const MTextSpan& span = lines[l].spans[s];
            if (s > 0) out += " | ";
            out += QuoteText(span.text);
            if (span.stacked) out.append("/").append(QuoteText(span.lower));
            const MTextStyle& style = span.style;
            std::string marks;
            if (style.underline) marks += "u";
            if (style.overline) marks += "o";
            if (style.strikeThrough) marks += "k";
            if (style.bold) marks += "b";
            if (style.italic) marks += "i";
            if (style.colorIndex != 0) marks.append("c").append(std::to_string(style.colorIndex));
            if (style.height != kBase) marks.append("h").append(std::to_string(static_cast<int>(style.height)));
            if (!marks.empty()) out.append("[").append(marks).append("]");
        }
    }
    return out;
}

struct LayoutCase {
    const char* name;
    std::u16string text;
    std::string drawn;
};

class MTextLayout : public testing::TestWithParam<LayoutCase> {};

// Rule: the stand-in shows a formatted text as the CAD application does: codes act, and none is drawn.
TEST_P(MTextLayout, DrawsWhatTheCodesSay) {
    EXPECT_EQ(Describe(LayOutMText(GetParam().text, kBase)), GetParam().drawn);
}

const LayoutCase kLayoutCases[] = {
    {"Paragraphs", uR"(one\Ptwo\Nthree)", R"("one" // "two" // "three")"},
    {"LineFeed", u"one\ntwo", R"("one" // "two")"},
    {"Switches", uR"(\Lu\l \Oo\o \Kk\k.)", R"("u"[u] | " " | "o"[o] | " " | "k"[k] | ".")"},
    {"ScopesRestore", uR"({\L{\C2;a}b}c)", R"("a"[uc2] | "b"[u] | "c")"},
    {"UnbalancedBraces", uR"(}a{\Lb)", R"("a" | "b"[u])"},
    {"ColoursOneToSeven", uR"(\C1;a\C7;b\C8;c\C256;d)", R"("a"[c1] | "b"[c7] | "c" | "d")"},
    {"FontFlags", uR"({\fArial|b1|i0;B}{\fArial|b0|i1|c0;I}\FROMANS;N)", R"("B"[b] | "I"[i] | "N")"},
    {"Heights", uR"(\H2x;a\H30;b\H0.1x;c\H-1;d)", R"("a"[h36] | "b"[h30] | "cd"[h6])"},
    {"Stacked", uR"(DIA \S1/2; IN \S+0.1^-0.1;)", R"("DIA " | "1"/"2" | " IN " | "+0.1"/"-0.1")"},
    {"NamedAndEscaped", uR"(45\U+00B0 a\~b C:\\X \{y\})", "\"45\u00B0 a\u00A0b C:\\\\X {y}\""},
    {"DimensionLines", uR"(<> MAX\XSEE\PNOTE)", R"("<> MAX" // _"SEE" // _"NOTE")"},
    {"UnderlineCode", u"%%Ua%%ub", R"("a"[u] | "b")"},
    {"UnknownCodesNotDrawn", uR"(a\Zb\A1;c\pxi-3;d\Q5;e\T2;f\W0.8;g\U+12)", R"("abcdefg+12")"},
    {"UnterminatedCodeEndsText", uR"(ab\fArial|b1 cd)", R"("ab")"},
    {"BackslashAtEnd", uR"(ab\)", R"("ab")"},
    {"NulKept", std::u16string(u"a\0b", 3), R"("a\0b")"},
};

INSTANTIATE_TEST_SUITE_P(Cases, MTextLayout, testing::ValuesIn(kLayoutCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Rule: a multiline attribute's TextString in the stand-in: the characters shown, without codes, its
// lines joined by a blank and a stacked fraction written "upper/lower".
TEST(MTextWithoutCodes, ShowsTheCharactersOnly) {
    EXPECT_EQ(TextWithoutCodes(uR"({\C1;Door}\Pleaf)"), u"Door leaf");
    EXPECT_EQ(TextWithoutCodes(uR"(DIA \S1/2; IN)"), u"DIA 1/2 IN");
    EXPECT_EQ(TextWithoutCodes(u"plain"), u"plain");
    EXPECT_EQ(TextWithoutCodes(u""), u"");
}

}  // namespace
}  // namespace cadstandin
