#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "testing/support/wait.h"

namespace morvane::testing_support {

// A program started by a test, its process owned until the object goes: then, if it still runs,
// it is asked to close (WM_CLOSE to its visible top-level windows) and ended when it does not.
class Process {
public:
    // Starts the program with the arguments (quoted by the caller where needed); throws
    // std::runtime_error when it cannot be started.
    Process(const std::wstring& program, const std::wstring& arguments);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    [[nodiscard]] DWORD Id() const noexcept { return info_.dwProcessId; }
    [[nodiscard]] HANDLE Handle() const noexcept { return info_.hProcess; }
    [[nodiscard]] bool Running() const noexcept;
    // Waits for the program to end; its exit code, or none on timeout.
    [[nodiscard]] std::optional<DWORD> WaitForExit(DWORD timeoutMs) const noexcept;
    // The exit code; STILL_ACTIVE while the program runs.
    [[nodiscard]] DWORD ExitCode() const noexcept;
    // Waits until holds() is true, giving up when the program has ended (after one last look) or
    // timeoutMs have passed; the reason names `what`.
    [[nodiscard]] Waited WaitWhileRunning(const std::function<bool()>& holds, DWORD timeoutMs,
                                          std::string_view what) const;
    // Asks the program to close, with WM_CLOSE to the window (when null, to each of its visible
    // top-level windows), and waits; ends it when it does not end within timeoutMs. Its exit code
    // when it ended by itself.
    std::optional<DWORD> Close(HWND window = nullptr, DWORD timeoutMs = 5000) noexcept;
    // Ends the program now, if it still runs.
    void Terminate() noexcept;

private:
    PROCESS_INFORMATION info_{};
};

}  // namespace morvane::testing_support
