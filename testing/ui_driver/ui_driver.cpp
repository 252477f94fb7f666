#include "testing/ui_driver/ui_driver.h"

namespace morvane::ui {

namespace {

// The windows of the process with the class (any when empty).
testing_support::WindowQuery Query(DWORD processId, std::wstring_view className) {
    testing_support::WindowQuery query;
    query.OfProcess(processId);
    if (!className.empty()) {
        query.OfClass(className);
    }
    return query;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD processId, std::wstring_view className) {
    return testing_support::TopWindows(Query(processId, className));
}

HWND WaitForWindow(DWORD processId, std::wstring_view className, std::wstring_view caption, bool visibleOnly,
                   DWORD timeoutMs) {
    testing_support::WindowQuery query = Query(processId, className);
    query.Titled(caption);
    if (visibleOnly) {
        query.VisibleOnly();
    }
    return testing_support::WaitForTopWindow(query, timeoutMs);
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

HWND ChildByCaption(HWND parent, std::wstring_view caption) {
    for (HWND child : Children(parent)) {
        if (WindowText(child) == caption) {
            return child;
        }
    }
    return nullptr;
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

void PressButton(HWND button) {
    PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void PostKey(HWND window, WPARAM key) {
    HWND target = FocusOf(window);
    if (target == nullptr) {
        target = window;
    }
    const UINT scanCode = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scanCode) << 16));
    PostMessageW(target, WM_KEYUP, key, 1 | (static_cast<LPARAM>(scanCode) << 16) | (3LL << 30));
}

RECT RectInClient(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetAncestor(control, GA_ROOT), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

namespace {

BOOL CALLBACK ReadBoxChild(HWND child, LPARAM param) {
    auto& seen = *reinterpret_cast<MessageBoxSeen*>(param);
    if (!IsWindowVisible(child)) {
        return TRUE;
    }
    const std::wstring className = ClassName(child);
    if (lstrcmpiW(className.c_str(), L"Button") == 0) {
        seen.buttons.push_back(WindowText(child));
    } else if (lstrcmpiW(className.c_str(), L"Static") == 0 &&
               (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        seen.iconShown = seen.iconShown || SendMessageW(child, STM_GETICON, 0, 0) != 0;
    }
    return TRUE;
}

}  // namespace

std::optional<MessageBoxSeen> WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
    std::optional<MessageBoxSeen> seen;
    (void)WaitUntil(
        [&] {
            for (HWND box : testing_support::TopWindows(
                     testing_support::WindowQuery().OfProcess(processId).OfClass(L"#32770").VisibleOnly())) {
                if (GetDlgItem(box, IDOK) != nullptr) {
                    MessageBoxSeen read;
                    read.box = box;
                    read.owner = GetWindow(box, GW_OWNER);
                    read.caption = WindowText(box);
                    wchar_t text[1024]{};
                    GetDlgItemTextW(box, 0xFFFF, text, 1024);
                    read.text = text;
                    EnumChildWindows(box, &ReadBoxChild, reinterpret_cast<LPARAM>(&read));
                    seen = std::move(read);
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return seen;
}

bool CloseMessageBox(const MessageBoxSeen& box) {
    PostMessageW(GetDlgItem(box.box, IDOK), BM_CLICK, 0, 0);
    return WaitUntil([&] { return !IsWindow(box.box) || !IsWindowVisible(box.box); }, 10000);
}

}  // namespace morvane::ui
