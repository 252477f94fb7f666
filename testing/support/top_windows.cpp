#include "testing/support/top_windows.h"

#include "testing/support/wait.h"

namespace morvane::testing_support {

namespace {

struct Search {
    const WindowQuery& query;
    std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND window, LPARAM param) noexcept {
    auto& search = *reinterpret_cast<Search*>(param);
    if (search.query.Matches(window)) {
        search.found.push_back(window);
    }
    return TRUE;
}

}  // namespace

WindowQuery& WindowQuery::OfProcess(DWORD processId) noexcept {
    processId_ = processId;
    return *this;
}

WindowQuery& WindowQuery::OfClass(std::wstring_view className) noexcept {
    className_ = className;
    return *this;
}

WindowQuery& WindowQuery::Titled(std::wstring_view title) noexcept {
    title_ = title;
    return *this;
}

WindowQuery& WindowQuery::VisibleOnly() noexcept {
    visibleOnly_ = true;
    return *this;
}

bool WindowQuery::Matches(HWND window) const {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return (processId_ == 0 || processId == processId_) && (!className_ || ClassName(window) == *className_) &&
           (!title_ || WindowText(window) == *title_) && (!visibleOnly_ || IsWindowVisible(window));
}

std::wstring WindowText(HWND window) {
    wchar_t buffer[512]{};
    GetWindowTextW(window, buffer, 512);
    return buffer;
}

std::wstring ClassName(HWND window) {
    wchar_t buffer[256]{};
    GetClassNameW(window, buffer, 256);
    return buffer;
}

std::vector<HWND> TopWindows(const WindowQuery& query) {
    Search search{query, {}};
    EnumWindows(&Collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindTopWindow(const WindowQuery& query) {
    const std::vector<HWND> found = TopWindows(query);
    return found.empty() ? nullptr : found.front();
}

HWND WaitForTopWindow(const WindowQuery& query, DWORD timeoutMs, DWORD stepMs) {
    HWND window = nullptr;
    (void)WaitUntil([&] { return (window = FindTopWindow(query)) != nullptr; }, timeoutMs, "a top-level window", stepMs);
    return window;
}

}  // namespace morvane::testing_support
