#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testing/support/process.h"
#include "testing/support/text.h"
#include "testing/support/top_windows.h"
#include "testing/support/wait.h"

// Drives Windows programs from the outside as a user would: starts them, finds their windows by
// caption, presses buttons, reads and closes message boxes. Every wait has a timeout.
namespace morvane::ui {

using testing_support::ClassName;
using testing_support::Process;
using testing_support::Utf8;
using testing_support::WaitUntil;
using testing_support::WindowText;

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
