#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testing/support/process.h"
#include "testing/support/text.h"

namespace morvane::testing_host {

// The method calls the stand-in's objects have received so far (AddRef/Release not counted).
struct CallTotals {
    int queryInterface = 0;
    int vtable = 0;
    int getIdsOfNames = 0;
    int invoke = 0;
    int total = 0;
};

// What the stand-in reports when asked: external connections per object, call totals, undo steps.
struct References {
    std::map<std::string, int> external;  // object ("app", "doc", "util", entity id) -> connections
    CallTotals calls;
    int undoSteps = -1;  // the drawing's undo steps so far
    int undoOpen = -1;   // undo marks still open
};

// One run of the stand-in CAD application with a scenario, its log in a file. The process is
// ended when the object goes (asked to exit, killed if it does not). Throws nothing; a server
// that did not come up shows as !Ready() with the reason in Problem().
class StandIn {
public:
    // Where cadstandin.exe is; set once by main.
    static std::wstring& ServerPath();
    // A folder for scenario and log files; set once by main.
    static std::wstring& WorkFolder();

    // Starts the stand-in with the scenario; `arguments` are more of its command line, such as
    // L"--release 25".
    StandIn(std::string_view name, std::string_view scenario, std::wstring_view arguments = {});
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
    ~StandIn();

    [[nodiscard]] bool Ready() const noexcept { return ready_; }
    [[nodiscard]] const std::string& Problem() const noexcept { return problem_; }

    // The log's lines so far.
    [[nodiscard]] std::vector<std::string> Log() const;
    // The log's lines that begin with the prefix.
    [[nodiscard]] std::vector<std::string> LogLines(std::string_view prefix) const;
    // The whole log, for failure output.
    [[nodiscard]] std::string LogText() const;

    // Asks the server for its reference counts and call totals; none when it does not answer.
    [[nodiscard]] std::optional<References> Dump();

    // Ends the stand-in's hangs and stalls now, those under way and those to come: a test calls it
    // once it has seen what happens while the application does not answer.
    void EndWaits() const;

    // Ends its waits, asks the server to exit and waits; its exit code (or none when it had to be
    // killed).
    std::optional<DWORD> Stop();
    // Waits for the process to end on its own; its exit code, or none on timeout.
    [[nodiscard]] std::optional<DWORD> WaitForExit(DWORD milliseconds);

private:
    [[nodiscard]] HWND Window() const;

    std::wstring logPath_;
    std::optional<testing_support::Process> process_;
    bool ready_ = false;
    std::string problem_;
};

// The value of `key=` in a log line: a quoted text with its escapes undone (as UTF-16), or the
// bare word; none when the line has no such field.
[[nodiscard]] std::optional<std::u16string> LogField(std::string_view line, std::string_view key);

using testing_support::WindowsPath;

}  // namespace morvane::testing_host
