#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "testing/ui_driver/ui_driver.h"

// The two programs of an end-to-end test, each started for one test and ended by it.
namespace morvane::ui {

// Where the programs under test are; set once from the command line.
struct Programs {
    std::wstring morvane;
    std::wstring standin;
};
[[nodiscard]] Programs& ProgramPaths();

// A running stand-in CAD application with a scenario and a log of its own. Throws
// std::runtime_error when it does not come up; the destructor closes it (or ends it).
class Standin {
public:
    explicit Standin(std::string_view scenario);
    ~Standin();
    Standin(const Standin&) = delete;
    Standin& operator=(const Standin&) = delete;

    [[nodiscard]] std::vector<std::string> Lines() const;
    // The first log line that contains every fragment, waiting for it up to the timeout.
    [[nodiscard]] std::string WaitForLine(const std::vector<std::string_view>& fragments, DWORD timeoutMs) const;
    [[nodiscard]] std::vector<std::string> LinesWith(std::string_view fragment) const;
    [[nodiscard]] HWND Window() const noexcept { return window_; }
    // Has the stand-in log the references its objects have out and returns those log lines.
    [[nodiscard]] std::vector<std::string> DumpReferences() const;
    // Closes the stand-in the way a user would; true once it has ended.
    bool Close();

private:
    std::wstring folder_;
    std::wstring logPath_;
    std::unique_ptr<Process> process_;
    HWND window_ = nullptr;
};

// A running morvane.exe with its window shown. Throws std::runtime_error when the window does not
// show; the destructor closes it (or ends it).
class Morvane {
public:
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
