#include "foreground/bring_to_front.h"

namespace morvane {

// Windows hands the foreground only to the process that has it or to one the foreground thread
// lets in: joining the foreground thread's input queue for the moment makes this thread one.
void BringToFront(HWND window) noexcept {
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
                        AttachThreadInput(thisThread, foregroundThread, TRUE) != FALSE;
    BringWindowToTop(window);
    SetForegroundWindow(window);
    if (joined) {
        AttachThreadInput(thisThread, foregroundThread, FALSE);
    }
}

}  // namespace morvane
