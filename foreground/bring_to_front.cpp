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
void BringToFront(HWND window, const InputJoin& join) noexcept {
    if (IsIconic(window)) {
        ShowWindow(window, SW_RESTORE);
    }
    // Lets the window's own process take the foreground too, should it be another (as the CAD
    // application is when the binding brings its window forward).
    DWORD ownerProcess = 0;
    GetWindowThreadProcessId(window, &ownerProcess);
    AllowSetForegroundWindow(ownerProcess);

    const DWORD thisThread = GetCurrentThreadId();
    const HWND foreground = GetForegroundWindow();
    const DWORD foregroundThread = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    const bool joined = foregroundThread != 0 && foregroundThread != thisThread &&
                        WindowAnswers(foreground, join.answerWaitMs) &&
                        join.attachThreadInput(thisThread, foregroundThread, TRUE) != FALSE;
    BringWindowToTop(window);
    SetForegroundWindow(window);
    if (joined) {
        join.attachThreadInput(thisThread, foregroundThread, FALSE);
    }
}

}  // namespace morvane
