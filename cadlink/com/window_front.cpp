#include "cadlink/com/window_front.h"

#include <windows.h>

#include <string>
#include <vector>

#include "cadlink/com/error_number.h"
#include "cadlink/window_title.h"
#include "failure/failure.h"
#include "foreground/bring_to_front.h"

namespace morvane::com {

namespace {

struct TopLevelWindows {
    std::vector<HWND> handles;
    std::vector<std::u16string> titles;
    bool outOfMemory = false;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) noexcept {
    try {
        if (!IsWindowVisible(window)) {
            return TRUE;
        }
        const int length = GetWindowTextLengthW(window);
        if (length <= 0) {
            return TRUE;
        }
        std::u16string title(static_cast<std::size_t>(length) + 1, u'\0');
        const int copied = GetWindowTextW(window, reinterpret_cast<wchar_t*>(title.data()), length + 1);
        title.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
        auto& windows = *reinterpret_cast<TopLevelWindows*>(context);
        windows.handles.push_back(window);
        windows.titles.push_back(std::move(title));
        return TRUE;
    } catch (...) {
        reinterpret_cast<TopLevelWindows*>(context)->outOfMemory = true;
        return FALSE;
    }
}

}  // namespace

void BringWindowToFront(std::u16string_view title) {
    TopLevelWindows windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    if (windows.outOfMemory) {
        ThrowIfFailed(E_OUTOFMEMORY);
    }
    const auto chosen = ChooseWindowByTitle(windows.titles, title);
    if (!chosen) {
        throw Failure(error_number::kInvalidCall);
    }
    morvane::BringToFront(windows.handles[*chosen]);
}

}  // namespace morvane::com
