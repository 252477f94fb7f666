#pragma once

#include <string_view>

namespace morvane {

// Whether the font a font code names ("\Fgdt;", "\fC:\Fonts\Wingdings 2.ttf|b0;") draws symbols
// rather than letters, so that its characters' case is their meaning. `code` is the whole code,
// from its backslash to its ";" (or to the end of the text when the ";" never comes).
[[nodiscard]] bool NamesSymbolFont(std::u16string_view code) noexcept;

}  // namespace morvane
