#pragma once

#include <windows.h>

namespace morvane {

// How long BringToFront waits for the foreground window to answer before it joins that window's
// thread's input. A thread that does not answer within it is busy (redrawing, say) or hung: joined,
// it would hold this thread's SetForegroundWindow until it answers, outside any message loop of
// this program, so it is never joined.
inline constexpr UINT kForegroundAnswerMs = 250;

// Whether the window's thread answers a message (WM_NULL) within waitMs: false at once when Windows
// already considers it hung, false when it does not answer in time or the window is gone. Messages
// sent to this thread meanwhile are handled; its input waits. Never throws.
[[nodiscard]] bool WindowAnswers(HWND window, UINT waitMs) noexcept;

// How BringToFront joins the foreground thread's input; tests replace it to see the joins.
struct InputJoin {
    UINT answerWaitMs = kForegroundAnswerMs;
    BOOL(WINAPI* attachThreadInput)(DWORD thread, DWORD toThread, BOOL join) = &AttachThreadInput;
};

// Brings the top-level window to the front, activated and with the keyboard input, even when
// another process had the last input and Windows' foreground lock would refuse this one: it joins
// the foreground thread's input for the moment, but only when the foreground window is another
// process's (this process may hand the foreground on by itself) and answers.
// Restores the window first when minimised. Never waits for another thread's window: a hung
// application's window follows once it answers again. Never throws; a refusal leaves the window
// where it is (Windows then flashes its taskbar button).
void BringToFront(HWND window) noexcept;
// The same, joining the foreground thread's input as `join` says.
void BringToFront(HWND window, const InputJoin& join) noexcept;

}  // namespace morvane
