#include "cadlink/com/com_calls.h"

#include <objbase.h>

namespace morvane::com {

bool IsRejection(HRESULT hr, const EXCEPINFO* excepInfo) noexcept {
    if (hr == DISP_E_EXCEPTION && excepInfo != nullptr) {
        hr = excepInfo->scode;
    }
    return hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER;
}

bool IsRetried(HRESULT hr, const EXCEPINFO* excepInfo, Repeatable repeatable) noexcept {
    if (hr == DISP_E_EXCEPTION) {
        return repeatable == Repeatable::Yes && IsRejection(hr, excepInfo);
    }
    return IsRejection(hr);
}

namespace {

class MessageLoopClock final : public BusyClock {
public:
    // Never signalled: the waits only ever end by their timeout.
    MessageLoopClock() noexcept : never_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~MessageLoopClock() override {
        if (never_ != nullptr) CloseHandle(never_);
    }
    MessageLoopClock(const MessageLoopClock&) = delete;
    MessageLoopClock& operator=(const MessageLoopClock&) = delete;

    std::chrono::milliseconds Now() override { return std::chrono::milliseconds(GetTickCount64()); }

    void Wait(std::chrono::milliseconds time) override {
        const auto milliseconds = static_cast<DWORD>(time.count());
        DWORD index = 0;
        const HRESULT waited =
            never_ != nullptr ? CoWaitForMultipleHandles(0, milliseconds, 1, &never_, &index) : E_HANDLE;
        // RPC_S_CALLPENDING: the time is up, as it should be. Anything else did not wait.
        if (waited != RPC_S_CALLPENDING && waited != S_OK) {
            Sleep(milliseconds);
        }
    }

private:
    HANDLE never_;
};

}  // namespace

std::unique_ptr<BusyClock> MakeMessageLoopClock() { return std::make_unique<MessageLoopClock>(); }

}  // namespace morvane::com
