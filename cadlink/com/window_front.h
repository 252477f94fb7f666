#pragma once

#include <string_view>

namespace morvane::com {

// Brings the visible top-level window with this title (exact title preferred, else the first that
// begins with it) to the front and activates it, even when this process is not in the foreground.
// Throws morvane::Failure(5) when no window carries the title.
void BringWindowToFront(std::u16string_view title);

}  // namespace morvane::com
