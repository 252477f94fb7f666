#include "cadlink/com/call_filter.h"

#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <utility>

#include "cadlink/busy_retry.h"

namespace morvane::com {

namespace {

class MessageFilter final : public IMessageFilter {
public:
    explicit MessageFilter(std::function<void()> deliver) noexcept : deliver_(std::move(deliver)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMessageFilter)) {
            *out = static_cast<IMessageFilter*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // The program serves no calls of its own.
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) noexcept override {
        return SERVERCALL_ISHANDLED;
    }

    // sinceCall: the milliseconds since the call was made. -1 cancels the call (COM then returns
    // RPC_E_CALL_REJECTED); 100 or more is the wait in milliseconds before COM tries it again.
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD sinceCall, DWORD rejectType) noexcept override {
        if (rejectType != SERVERCALL_REJECTED && rejectType != SERVERCALL_RETRYLATER) return static_cast<DWORD>(-1);
        const std::optional<std::chrono::milliseconds> delay = BusyRetry::DelayAfter(std::chrono::milliseconds(sinceCall));
        if (!delay) return static_cast<DWORD>(-1);
        return static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(delay->count(), 100));
    }

    // Whatever arrives is delivered as the program's message loop would deliver it; COM then
    // keeps waiting for the reply (and dispatches what is left: painting, activation).
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) noexcept override {
        if (deliver_) {
            try {
                deliver_();
            } catch (...) {
            }
        }
        return PENDINGMSG_WAITDEFPROCESS;
    }

private:
    std::atomic<ULONG> references_{0};
    std::function<void()> deliver_;
};

}  // namespace

Microsoft::WRL::ComPtr<IMessageFilter> MakeCallFilter(std::function<void()> deliverWaitingMessages) {
    // Made with no reference: the ComPtr takes the first.
    return Microsoft::WRL::ComPtr<IMessageFilter>(new MessageFilter(std::move(deliverWaitingMessages)));
}

CallFilter::CallFilter(std::function<void()> deliverWaitingMessages) {
    const Microsoft::WRL::ComPtr<IMessageFilter> filter = MakeCallFilter(std::move(deliverWaitingMessages));
    registered_ = SUCCEEDED(CoRegisterMessageFilter(filter.Get(), previous_.GetAddressOf()));
}

CallFilter::~CallFilter() {
    if (registered_) {
        // The apartment may be gone already; then there is nothing to put back.
        (void)CoRegisterMessageFilter(previous_.Get(), nullptr);
    }
}

}  // namespace morvane::com
