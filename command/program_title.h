#pragma once

#include <string_view>

namespace morvane {

// The program's title: the window's caption, and the caption of every message box that names none
// of its own.
inline constexpr std::u16string_view kProgramTitle = u"Morvane";

}  // namespace morvane
