#include "cadstandin/mtext_drawing.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace cadstandin {
namespace {

// The CAD application's index colours 1 to 7.
constexpr std::array<COLORREF, 8> kIndexColours = {RGB(0, 0, 0),     RGB(255, 0, 0), RGB(255, 255, 0),
                                                   RGB(0, 255, 0),   RGB(0, 255, 255), RGB(0, 0, 255),
                                                   RGB(255, 0, 255), RGB(255, 255, 255)};
constexpr double kLineSpacing = 1.35;
constexpr double kStackedScale = 0.6;

int Pixels(double value) { return static_cast<int>(std::lround(value)); }

// One font for one style, selected into the DC for as long as it lives.
class SpanFont {
public:
    SpanFont(HDC dc, const MTextStyle& style, double height, const wchar_t* face)
        : dc_(dc),
          font_(CreateFontW(-std::max(1, Pixels(height)), 0, 0, 0, style.bold ? FW_BOLD : FW_NORMAL, style.italic,
                            style.underline, style.strikeThrough, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, face)),
          old_(SelectObject(dc, font_)) {
        GetTextMetricsW(dc, &metrics_);
    }
    SpanFont(const SpanFont&) = delete;
    SpanFont& operator=(const SpanFont&) = delete;
    ~SpanFont() {
        SelectObject(dc_, old_);
        DeleteObject(font_);
    }

    [[nodiscard]] LONG Ascent() const { return metrics_.tmAscent; }

    // Draws the text with its baseline at y (or only measures it); its width.
    LONG Text(int x, int y, const std::wstring& text, bool draw) const {
        SIZE size{};
        GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
        if (draw) TextOutW(dc_, x, y, text.c_str(), static_cast<int>(text.size()));
        return size.cx;
    }

private:
    HDC dc_;
    HFONT font_;
    HGDIOBJ old_;
    TEXTMETRICW metrics_{};
};

void Rule(HDC dc, int x1, int x2, int y, COLORREF color) {
    const HPEN pen = CreatePen(PS_SOLID, 1, color);
    const HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x1, y, nullptr);
    LineTo(dc, x2, y);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// Draws one span with its baseline at y (or only measures it); its width.
LONG Span(HDC dc, int x, int y, const MTextSpan& span, COLORREF color, const wchar_t* face, bool draw) {
    SetTextColor(dc, color);
    if (!span.stacked) {
        const SpanFont font(dc, span.style, span.style.height, face);
        const LONG width = font.Text(x, y, Displayable(span.text), draw);
        if (draw && span.style.overline) Rule(dc, x, x + width, y - font.Ascent(), color);
        return width;
    }
    // A fraction: the upper part above a bar, the lower part below it, both small.
    const double height = span.style.height;
    const SpanFont font(dc, span.style, height * kStackedScale, face);
    const std::wstring upper = Displayable(span.text);
    const std::wstring lower = Displayable(span.lower);
    const LONG width = std::max(font.Text(0, 0, upper, false), font.Text(0, 0, lower, false)) + 2;
    if (draw) {
        const int bar = y - Pixels(height * 0.35);
        font.Text(x + 1 + (width - 2 - font.Text(0, 0, upper, false)) / 2, bar - 2, upper, true);
        Rule(dc, x, x + width, bar, color);
        font.Text(x + 1 + (width - 2 - font.Text(0, 0, lower, false)) / 2, bar + 2 + font.Ascent(), lower, true);
    }
    return width;
}

}  // namespace

std::wstring Displayable(std::u16string_view text) {
    std::wstring out;
    for (char16_t unit : text) {
        if (unit == 0) {
            out.push_back(L'\x2400');
        } else if (unit < 0x20) {
            out.push_back(L'\x25A1');
        } else {
            out.push_back(static_cast<wchar_t>(unit));
        }
    }
    return out;
}

SIZE DrawMText(HDC dc, int x, int y, const std::vector<MTextLine>& lines, const MTextLook& look, bool draw) {
    const UINT oldAlign = SetTextAlign(dc, TA_BASELINE | TA_LEFT);
    SIZE total{0, 0};
    for (const MTextLine& line : lines) {
        double tallest = line.spans.empty() ? look.height : 0;
        for (const MTextSpan& span : line.spans) tallest = std::max(tallest, span.style.height);
        const int baseline = y + total.cy + Pixels(tallest);
        LONG width = 0;
        for (const MTextSpan& span : line.spans) {
            const COLORREF color = span.style.colorIndex != 0 ? kIndexColours[span.style.colorIndex] : look.color;
            width += Span(dc, x + width, baseline, span, color, look.face, draw);
        }
        total.cx = std::max(total.cx, width);
        total.cy += Pixels(tallest * kLineSpacing);
    }
    SetTextAlign(dc, oldAlign);
    return total;
}

}  // namespace cadstandin
