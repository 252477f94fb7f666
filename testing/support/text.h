#pragma once

#include <string>
#include <string_view>

namespace morvane::testing_support {

// UTF-16 text as UTF-8, for test output.
[[nodiscard]] std::string Utf8(std::wstring_view text);
// UTF-8 text as UTF-16.
[[nodiscard]] std::wstring Wide(std::string_view utf8);
// The path of a Windows program given as a path of the Linux host (Wine's drive Z: is /).
[[nodiscard]] std::wstring WindowsPath(std::string_view path);

}  // namespace morvane::testing_support
