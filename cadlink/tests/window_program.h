#pragma once

// For tests: another program's top-level windows (cadlink_title_window.exe), to see which window
// comes to the front when this process is not the foreground one.

#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "testing/support/process.h"
#include "testing/support/top_windows.h"
#include "testing/support/wait.h"

namespace morvane::testing_windows {

// Runs cadlink_title_window.exe with windows of the given titles (a command-line tail of quoted
// titles) until the object goes. Posting WM_APP to one of its windows makes that program bring
// the window to the front itself.
class WindowProgram {
public:
    // cadlink_title_window.exe in this test program's folder, where the build puts it.
    [[nodiscard]] static std::wstring BesideThisProgram() {
        wchar_t path[MAX_PATH]{};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring folder(path);
        folder.resize(folder.find_last_of(L"\\/") + 1);
        return folder + L"cadlink_title_window.exe";
    }

    WindowProgram(const std::wstring& program, const std::wstring& titles) {
        try {
            process_.emplace(program, titles);
        } catch (const std::runtime_error&) {
            return;
        }
        // Every window made and shown, the program waiting in its message loop.
        started_ = WaitForInputIdle(process_->Handle(), 10000) == 0;
    }

    [[nodiscard]] bool Started() const { return started_; }
    // The program's window with this title, waited for; null when it does not appear.
    [[nodiscard]] HWND Window(const wchar_t* title) const {
        return process_ ? testing_support::WaitForTopWindow(
                                 testing_support::WindowQuery().OfProcess(process_->Id()).Titled(title), 10000)
                        : nullptr;
    }
    // Has the program bring its window to the front; whether it became the foreground window.
    [[nodiscard]] static testing_support::Waited TakeForeground(HWND window) {
        PostMessageW(window, WM_APP, 0, 0);
        return ComesToFront(window);
    }
    // Makes the program's thread stop answering, after any message sent to it before and ahead of
    // any sent after (sent messages are handled in order); it never answers again.
    static void Hang(HWND window) { SendNotifyMessageW(window, WM_APP + 1, 0, 0); }
    // Ends the program at once (one that hangs would not close).
    void End() noexcept {
        if (process_) process_->Terminate();
    }
    // Whether the window is the foreground window, waited for up to ten seconds.
    [[nodiscard]] static testing_support::Waited ComesToFront(HWND window) {
        return testing_support::WaitUntil([&] { return GetForegroundWindow() == window; }, 10000,
                                          "the window in front");
    }

private:
    std::optional<testing_support::Process> process_;
    bool started_ = false;
};

}  // namespace morvane::testing_windows
