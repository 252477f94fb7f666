#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Drives Windows programs from the outside as a user would: starts them, finds their windows by
// caption, presses buttons, reads and closes message boxes. Every wait has a timeout.
namespace morvane::ui {

[[nodiscard]] std::string Utf8(std::wstring_view text);

// Polls the condition every stepMs milliseconds until it holds or the timeout passes.
[[nodiscard]] bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = 15);

// A program started by a test. The destructor ends it if it still runs.
class Process {
public:
    // Starts the program with the arguments (quoted by the caller where needed); throws
    // std::runtime_error when it cannot be started.
    Process(const std::wstring& program, const std::wstring& arguments);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    [[nodiscard]] DWORD Id() const noexcept { return info_.dwProcessId; }
    [[nodiscard]] bool Running() const noexcept;
    // Waits for the program to end; false on timeout.
    [[nodiscard]] bool WaitForExit(DWORD timeoutMs) const noexcept;
    [[nodiscard]] DWORD ExitCode() const noexcept;
    void Terminate() noexcept;

private:
    PROCESS_INFORMATION info_{};
};

[[nodiscard]] std::wstring WindowText(HWND window);
[[nodiscard]] std::wstring ClassName(HWND window);
// The top-level windows of a process with this class (any when empty), in z-order.
[[nodiscard]] std::vector<HWND> TopWindows(DWORD processId, std::wstring_view className);
// The process's top-level window with the class and caption; visible ones only when asked.
[[nodiscard]] HWND WaitForWindow(DWORD processId, std::wstring_view className, std::wstring_view caption,
                                 bool visibleOnly, DWORD timeoutMs);
// The child window with this caption, or null.
[[nodiscard]] HWND ChildByCaption(HWND parent, std::wstring_view caption);
// The child windows in z-order (which is the tab order).
[[nodiscard]] std::vector<HWND> Children(HWND parent);
// The window that has the keyboard focus in the thread that owns the window.
[[nodiscard]] HWND FocusOf(HWND window);
// A button press as the button itself reports it: WM_COMMAND BN_CLICKED, posted so that a modal
// box the press opens does not block the driver.
void PressButton(HWND button);
// A key pressed on the focused control of the window's thread, through its message loop.
void PostKey(HWND window, WPARAM key);
// A control's rectangle in its top-level window's client coordinates.
[[nodiscard]] RECT RectInClient(HWND control);

struct MessageBoxSeen {
    HWND box = nullptr;
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;
    std::vector<std::wstring> buttons;  // captions of the visible buttons
    bool iconShown = false;
};

// The first visible message box of the process, read; none when none shows within the timeout.
[[nodiscard]] std::optional<MessageBoxSeen> WaitForMessageBox(DWORD processId, DWORD timeoutMs);
// Presses OK and waits until the box has gone.
[[nodiscard]] bool CloseMessageBox(const MessageBoxSeen& box);

}  // namespace morvane::ui
