#include "foreground/bring_to_front.h"

namespace morvane {

bool WindowAnswers(HWND window, UINT waitMs) noexcept {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, waitMs, &result) != 0;
}

void BringToFront(HWND window) noexcept { BringToFront(window, InputJoin{}); }

// Windows hands the foreground only to the process that has it or to one the foreground thread
// lets in: joining the foreground thread's input queue for the moment makes this thread one. A
// joined thread shares its input state with this one, so SetForegroundWindow then waits for the
// foreground window to take its deactivation: a thread that does not answer is left alone (the
// window may then stay behind; Windows flashes its taskbar button).
//
// Another thread's window (the CAD application's, when the binding brings it forward) is restored
// and raised by requests posted to its thread: ShowWindow and BringWindowToTop would wait for that
// thread, outside any message loop of this program, however long it does not answer.
void BringToFront(HWND window, const InputJoin& join) noexcept {
    const DWORD thisThread = GetCurrentThreadId();
    DWORD ownerProcess = 0;
    const bool ownWindow = GetWindowThreadProcessId(window, &ownerProcess) == thisThread;
    if (IsIconic(window)) {
        if (ownWindow) {
            ShowWindow(window, SW_RESTORE);
        } else {
            ShowWindowAsync(window, SW_RESTORE);
        }
    }
    // Lets the window's own process take the foreground too, should it be another.
    AllowSetForegroundWindow(ownerProcess);

    // The process that holds the foreground may hand it on (right after the click on "Select
    // Text", Morvane does): no thread is joined then.
    const HWND foreground = GetForegroundWindow();
    DWORD foregroundProcess = 0;
    const DWORD foregroundThread = foreground != nullptr ? GetWindowThreadProcessId(foreground, &foregroundProcess) : 0;
    const bool joined = foregroundThread != 0 && foregroundProcess != GetCurrentProcessId() &&
                        WindowAnswers(foreground, join.answerWaitMs) &&
                        join.attachThreadInput(thisThread, foregroundThread, TRUE) != FALSE;
    // Windows raises this thread's own window at once, and posts the request to another thread
    // unless that thread is joined to this one (it then answered just now).
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS);
    SetForegroundWindow(window);
    if (joined) {
        join.attachThreadInput(thisThread, foregroundThread, FALSE);
    }
}

}  // namespace morvane
