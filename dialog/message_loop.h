#pragma once

#include <windows.h>

namespace morvane {

// Delivers one message the way the program's loop does: through the dialog's dialog manager
// first (Tab, the arrow keys, Enter), else translated and dispatched. Throws nothing.
void DeliverMessage(HWND dialog, MSG& message) noexcept;

// Delivers the messages waiting in this thread's queue now, as the loop would. Used while a call
// into the CAD application waits, so that the window keeps painting and answering. A WM_QUIT is
// left for the loop and ends the delivery. Throws nothing.
void DeliverWaitingMessages(HWND dialog) noexcept;

// The program's message loop: delivers messages until WM_QUIT; its exit code (1 on a failure of
// GetMessage). Throws nothing.
[[nodiscard]] int RunMessageLoop(HWND dialog) noexcept;

}  // namespace morvane
