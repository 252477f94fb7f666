#pragma once

#include <cstddef>
#include <span>

namespace morvane::utf16 {

[[nodiscard]] constexpr bool IsHighSurrogate(char32_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }
[[nodiscard]] constexpr bool IsLowSurrogate(char32_t unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }
[[nodiscard]] constexpr bool IsSurrogate(char32_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDFFF; }

// Number of units of the character that starts at text[i]: 2 for a surrogate pair, otherwise 1
// (a lone surrogate is a character of its own).
[[nodiscard]] constexpr std::size_t CharacterLength(std::span<const char16_t> text, std::size_t i) noexcept {
    return IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 1;
}

[[nodiscard]] constexpr char32_t CombinePair(char16_t high, char16_t low) noexcept {
    return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
}

// The code point of the character that starts at text[i]; a lone surrogate gives its own value.
[[nodiscard]] constexpr char32_t CodePointAt(std::span<const char16_t> text, std::size_t i) noexcept {
    return CharacterLength(text, i) == 2 ? CombinePair(text[i], text[i + 1]) : text[i];
}

}  // namespace morvane::utf16
