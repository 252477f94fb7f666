#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace morvane {

// Which of the windows, given by their titles front to back, carries the wanted title: the first
// whose title is exactly the text, failing that the first whose title begins with it. An empty
// text names no window. Throws nothing.
[[nodiscard]] std::optional<std::size_t> ChooseWindowByTitle(std::span<const std::u16string> titles,
                                                             std::u16string_view wanted) noexcept;

}  // namespace morvane
