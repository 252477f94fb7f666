#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "testing/ui_driver/ui_driver.h"

namespace morvane::ui {

// A running morvane.exe with its window shown, started for one test. Throws std::runtime_error
// when the window does not show; the destructor closes the program (or ends it).
class Morvane {
public:
    // Where morvane.exe is; set once by main.
    static std::wstring& ProgramPath();

    Morvane();
    ~Morvane();
    Morvane(const Morvane&) = delete;
    Morvane& operator=(const Morvane&) = delete;

    [[nodiscard]] HWND Window() const noexcept { return window_; }
    [[nodiscard]] const Process& Program() const noexcept { return *process_; }
    // The control with this caption (Frame1 has none); throws when there is none.
    [[nodiscard]] HWND Control(std::wstring_view caption) const;
    void Press(std::wstring_view caption) const;
    // The check states of Option1 to Option4.
    [[nodiscard]] std::array<bool, 4> Checks() const;
    // Waits until the window's thread has handled everything posted to it so far.
    void Sync() const;

    static constexpr std::array<const wchar_t*, 4> kOptions{L"ALL UPPERCASE", L"all lowercase", L"Title Case",
                                                            L"Sentence Case"};

private:
    std::unique_ptr<Process> process_;
    HWND window_ = nullptr;
};

}  // namespace morvane::ui
