#include "testing/support/process.h"

#include <stdexcept>

#include "testing/support/text.h"
#include "testing/support/top_windows.h"

namespace morvane::testing_support {

Process::Process(const std::wstring& program, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // Wine answers ERROR_INTERNAL_ERROR when the new process died while it was being set up, before it
    // ran any of its own code (CI saw it once, right after a test had ended a hung program): the
    // program is not at fault, so it is started again. Any other error is reported at once.
    constexpr int kStarts = 3;
    for (int start = 1;; ++start) {
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info_)) {
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR || start == kStarts) {
            throw std::runtime_error("cannot start " + Utf8(program) + ": error " + std::to_string(error));
        }
        Sleep(200);
    }
}

Process::~Process() {
    Close();
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool Process::Running() const noexcept { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

std::optional<DWORD> Process::WaitForExit(DWORD timeoutMs) const noexcept {
    if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    return ExitCode();
}

DWORD Process::ExitCode() const noexcept {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

Waited Process::WaitWhileRunning(const std::function<bool()>& holds, DWORD timeoutMs, std::string_view what) const {
    Waited waited = WaitUntil([&] { return holds() || !Running(); }, timeoutMs, what);
    if (waited && !holds()) {
        return Waited::Failed("the program ended (exit code " + std::to_string(ExitCode()) + ") before " +
                              std::string(what));
    }
    return waited;
}

std::optional<DWORD> Process::Close(HWND window, DWORD timeoutMs) noexcept {
    if (!Running()) {
        return ExitCode();
    }
    try {
        if (window != nullptr) {
            PostMessageW(window, WM_CLOSE, 0, 0);
        } else {
            for (HWND each : TopWindows(WindowQuery().OfProcess(Id()).VisibleOnly())) {
                PostMessageW(each, WM_CLOSE, 0, 0);
            }
        }
    } catch (...) {
        // Out of memory listing the windows: the program is ended below instead.
    }
    if (std::optional<DWORD> code = WaitForExit(timeoutMs)) {
        return code;
    }
    Terminate();
    return std::nullopt;
}

void Process::Terminate() noexcept {
    if (Running()) {
        TerminateProcess(info_.hProcess, 255);
        WaitForSingleObject(info_.hProcess, 10000);
    }
}

}  // namespace morvane::testing_support
