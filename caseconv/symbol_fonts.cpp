#include "caseconv/symbol_fonts.h"

#include <algorithm>
#include <array>

namespace morvane {

namespace {

// The symbol fonts a drawing's formatted text names, in lower case: the CAD application's shape
// fonts of symbols (geometric tolerancing, mathematics, maps, meteorology, music, astronomy) and
// Windows' symbol fonts.
constexpr std::array<std::u16string_view, 14> kSymbolFonts = {
    u"gdt",       u"aigdt",       u"amgdt",       u"symath",   u"symap",   u"symeteo", u"symusic",
    u"syastro",   u"symbol",      u"wingdings",   u"wingdings 2", u"wingdings 3", u"webdings", u"marlett",
};

constexpr char16_t LowerAscii(char16_t unit) noexcept {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

}  // namespace

bool NamesSymbolFont(std::u16string_view code) noexcept {
    std::u16string_view name = code.substr(std::min<std::size_t>(2, code.size()));
    if (!name.empty() && name.back() == u';') name.remove_suffix(1);
    // The options after "|" (bold, italic, code page, pitch), then the folder and the extension.
    name = name.substr(0, name.find(u'|'));
    if (const std::size_t slash = name.find_last_of(u"\\/"); slash != std::u16string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    if (const std::size_t dot = name.rfind(u'.'); dot != std::u16string_view::npos) name = name.substr(0, dot);
    return std::any_of(kSymbolFonts.begin(), kSymbolFonts.end(), [&](std::u16string_view font) {
        return font.size() == name.size() &&
               std::equal(font.begin(), font.end(), name.begin(), [](char16_t a, char16_t b) { return a == LowerAscii(b); });
    });
}

}  // namespace morvane
