#include "testing/ui_driver/ui_driver.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace morvane::ui {

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

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
}

Process::Process(const std::wstring& program, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info_)) {
        throw std::runtime_error("cannot start " + Utf8(program) + ": error " + std::to_string(GetLastError()));
    }
}

Process::~Process() {
    Terminate();
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool Process::Running() const noexcept { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

bool Process::WaitForExit(DWORD timeoutMs) const noexcept {
    return WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const noexcept {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void Process::Terminate() noexcept {
    if (Running()) {
        TerminateProcess(info_.hProcess, 255);
        WaitForSingleObject(info_.hProcess, 10000);
    }
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

namespace {

struct TopWindowSearch {
    DWORD processId;
    std::wstring_view className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<TopWindowSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search.processId && (search.className.empty() || ClassName(window) == search.className)) {
        search.found.push_back(window);
    }
    return TRUE;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD processId, std::wstring_view className) {
    TopWindowSearch search{processId, className, {}};
    EnumWindows(&CollectTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD processId, std::wstring_view className, std::wstring_view caption, bool visibleOnly,
                   DWORD timeoutMs) {
    HWND result = nullptr;
    (void)WaitUntil(
        [&] {
            for (HWND window : TopWindows(processId, className)) {
                if (WindowText(window) == caption && (!visibleOnly || IsWindowVisible(window))) {
                    result = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return result;
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
            for (HWND box : TopWindows(processId, L"#32770")) {
                if (IsWindowVisible(box) && GetDlgItem(box, IDOK) != nullptr) {
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
