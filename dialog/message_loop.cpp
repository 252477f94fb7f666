#include "dialog/message_loop.h"

namespace morvane {

void DeliverMessage(HWND dialog, MSG& message) noexcept {
    if (dialog == nullptr || !IsDialogMessageW(dialog, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void DeliverWaitingMessages(HWND dialog) noexcept {
    // Bounded, so that COM gets back to its call even under a stream of messages.
    constexpr int kMostAtOnce = 100;
    MSG message{};
    for (int delivered = 0; delivered < kMostAtOnce && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++delivered) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        DeliverMessage(dialog, message);
    }
}

int RunMessageLoop(HWND dialog) noexcept {
    MSG message{};
    BOOL got = FALSE;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        DeliverMessage(dialog, message);
    }
    return got < 0 ? 1 : static_cast<int>(message.wParam);
}

}  // namespace morvane
