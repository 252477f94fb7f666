#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "cadstandin/mtext_format.h"

namespace cadstandin {

// What the screen shows of a text: U+0000 as the visible symbol for NUL, other control characters
// as a box, so that nothing is cut off.
[[nodiscard]] std::wstring Displayable(std::u16string_view text);

// How an entity's formatted text looks where its codes say nothing else.
struct MTextLook {
    COLORREF color;
    const wchar_t* face;
    double height;  // pixels, also of an empty line
};

// Draws laid-out formatted text with its top left at (x, y), or with draw false only measures it:
// each span in its own font (the look's face, at the span's height, bold, italic, underlined, struck
// through), overlined where asked, in its index colour or else the look's, stacked fractions small
// with one part over the other. Returns the size of the whole.
SIZE DrawMText(HDC dc, int x, int y, const std::vector<MTextLine>& lines, const MTextLook& look, bool draw);

}  // namespace cadstandin
