#pragma once

namespace morvane {

// Whether the code point is a letter (Unicode general category L), a letter number (Nl, such as
// Roman numerals) or a decimal digit (Nd). The same in every locale; never throws.
[[nodiscard]] bool IsLetterOrDigit(char32_t codePoint) noexcept;

}  // namespace morvane
