#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::testing_support {

// Which top-level windows to find: every window, narrowed by each call made on the query, as in
// WindowQuery().OfProcess(id).Titled(L"Morvane").VisibleOnly().
class WindowQuery {
public:
    WindowQuery& OfProcess(DWORD processId) noexcept;
    WindowQuery& OfClass(std::wstring_view className) noexcept;
    // The exact title ("" is a window without one).
    WindowQuery& Titled(std::wstring_view title) noexcept;
    WindowQuery& VisibleOnly() noexcept;

    [[nodiscard]] bool Matches(HWND window) const;

private:
    DWORD processId_ = 0;
    std::optional<std::wstring_view> className_;
    std::optional<std::wstring_view> title_;
    bool visibleOnly_ = false;
};

[[nodiscard]] std::wstring WindowText(HWND window);
[[nodiscard]] std::wstring ClassName(HWND window);

// The top-level windows that match, in z-order (front first).
[[nodiscard]] std::vector<HWND> TopWindows(const WindowQuery& query);
// The frontmost top-level window that matches; null when none does.
[[nodiscard]] HWND FindTopWindow(const WindowQuery& query);
// FindTopWindow, asked every stepMs until a window matches or timeoutMs have passed; null then.
[[nodiscard]] HWND WaitForTopWindow(const WindowQuery& query, DWORD timeoutMs, DWORD stepMs = 15);

}  // namespace morvane::testing_support
