#include "testing/support/text.h"

#include <windows.h>

namespace morvane::testing_support {

std::string Utf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), result.data(), length);
    return result;
}

std::wstring WindowsPath(std::string_view path) {
    std::wstring result = Wide(path);
    if (result.starts_with(L'/')) {
        result.insert(0, L"Z:");
    }
    for (wchar_t& c : result) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return result;
}

}  // namespace morvane::testing_support
