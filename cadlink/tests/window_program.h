#pragma once

// For tests: another program's top-level windows (cadlink_title_window.exe), to see which window
// comes to the front when this process is not the foreground one.

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

namespace morvane::testing_windows {

// Polls the condition for up to ten seconds; whether it came true.
template <typename Condition>
bool WaitFor(Condition condition) {
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The top-level window of the process with exactly this title; null when there is none.
inline HWND FindWindowOf(DWORD process, const wchar_t* title) {
    for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, title); window != nullptr;
         window = FindWindowExW(nullptr, window, nullptr, title)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process) {
            return window;
        }
    }
    return nullptr;
}

// Runs cadlink_title_window.exe with windows of the given titles (a command-line tail of quoted
// titles) until the object goes. Posting WM_APP to one of its windows makes that program bring
// the window to the front itself.
class WindowProgram {
public:
    WindowProgram(const std::wstring& program, const std::wstring& titles) {
        std::wstring commandLine = L"\"" + program + L"\" " + titles;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &process_) != FALSE;
        // Every window made and shown, the program waiting in its message loop.
        started_ = started_ && WaitForInputIdle(process_.hProcess, 10000) == 0;
    }
    WindowProgram(const WindowProgram&) = delete;
    WindowProgram& operator=(const WindowProgram&) = delete;
    ~WindowProgram() {
        if (process_.hProcess == nullptr) {
            return;
        }
        if (HWND any = FindAnyWindow(); any != nullptr) {
            PostMessageW(any, WM_CLOSE, 0, 0);
        }
        if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    [[nodiscard]] bool Started() const { return started_; }
    // The program's window with this title, waited for; null when it does not appear.
    [[nodiscard]] HWND Window(const wchar_t* title) const {
        HWND window = nullptr;
        WaitFor([&] { return (window = FindWindowOf(process_.dwProcessId, title)) != nullptr; });
        return window;
    }
    // Has the program bring its window to the front; whether it became the foreground window.
    [[nodiscard]] static bool TakeForeground(HWND window) {
        PostMessageW(window, WM_APP, 0, 0);
        return WaitFor([&] { return GetForegroundWindow() == window; });
    }

private:
    [[nodiscard]] HWND FindAnyWindow() const {
        for (HWND window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == process_.dwProcessId) {
                return window;
            }
        }
        return nullptr;
    }

    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

}  // namespace morvane::testing_windows
