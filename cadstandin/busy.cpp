#include "cadstandin/busy.h"

#include <algorithm>
#include <atomic>

#include "cadstandin/end_waits.h"
#include "cadstandin/server.h"

namespace cadstandin {

namespace {

bool Matches(const std::string& wanted, const std::string& object, bool isEntity) {
    return wanted == object || (isEntity && wanted == "*");
}

// The stall asked for last, taken by the timer that runs it.
int g_stallMilliseconds = 0;

// A timer of the thread with no window: it fires once the thread is back in a message loop, after the
// member's answer has gone out.
void CALLBACK Stall(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
    KillTimer(nullptr, timer);
    Server& server = Server::Get();
    try {
        server.log.Line("stall-begin milliseconds=" + std::to_string(g_stallMilliseconds));
    } catch (...) {
    }
    server.busy.Hang(g_stallMilliseconds);
    try {
        server.log.Line("stall-end");
    } catch (...) {
    }
}

}  // namespace

void BusyApplication::Configure(const Scenario& scenario) {
    period_ = scenario.busy;
    until_.reset();
    hangs_ = scenario.hangs;
    stalls_ = scenario.stalls;
    if (endWaits_ == nullptr) {
        endWaits_ = CreateEventW(nullptr, TRUE, FALSE, EndWaitsEventName(GetCurrentProcessId()).c_str());
    }
}

void BusyApplication::Hang(int milliseconds) const {
    if (endWaits_ == nullptr) {
        Sleep(static_cast<DWORD>(milliseconds));
        return;
    }
    if (WaitForSingleObject(endWaits_, static_cast<DWORD>(milliseconds)) == WAIT_OBJECT_0) {
        try {
            Server::Get().log.Line("wait-ended early");
        } catch (...) {
        }
    }
}

bool BusyApplication::Active(std::uint64_t now) {
    return until_ && now < *until_;
}

bool BusyApplication::RejectsIncomingCall(std::uint64_t now) {
    if (!period_ || period_->retryLater) return false;
    if (!until_ && period_->afterObject.empty()) until_ = now + static_cast<std::uint64_t>(period_->milliseconds);
    return Active(now);
}

bool BusyApplication::RejectsMember(std::uint64_t now) {
    if (!period_ || !period_->retryLater) return false;
    if (!until_ && period_->afterObject.empty()) until_ = now + static_cast<std::uint64_t>(period_->milliseconds);
    return Active(now);
}

void BusyApplication::MemberRan(const std::string& object, bool isEntity, std::string_view operation, std::uint64_t now) {
    for (auto it = stalls_.begin(); it != stalls_.end(); ++it) {
        if (it->operation != operation || !Matches(it->object, object, isEntity)) continue;
        g_stallMilliseconds = it->milliseconds;
        stalls_.erase(it);
        SetTimer(nullptr, 0, 0, &Stall);
        break;
    }
    if (!period_ || until_ || period_->afterObject.empty()) return;
    if (Matches(period_->afterObject, object, isEntity) && period_->afterOperation == operation) {
        until_ = now + static_cast<std::uint64_t>(period_->milliseconds);
    }
}

std::optional<int> BusyApplication::TakeHang(const std::string& object, bool isEntity, std::string_view operation,
                                             CellAddress cell) {
    for (auto it = hangs_.begin(); it != hangs_.end(); ++it) {
        if (it->operation != operation || !Matches(it->object, object, isEntity)) continue;
        if (!it->cell.Any() && it->cell != cell) continue;
        const int milliseconds = it->milliseconds;
        if (it->count != InjectedFailure::kAlways && --it->count == 0) hangs_.erase(it);
        return milliseconds;
    }
    return std::nullopt;
}

namespace {

class BusyFilter final : public IMessageFilter {
public:
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

    // Only calls on the automation objects are rejected: COM's own (reference counting, interface
    // queries through IRemUnknown) always go through, so that nothing leaks while busy.
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO call) noexcept override {
        if (call == nullptr || !IsAutomationInterface(call->iid)) return SERVERCALL_ISHANDLED;
        Server& server = Server::Get();
        if (!server.busy.RejectsIncomingCall(GetTickCount64())) return SERVERCALL_ISHANDLED;
        try {
            server.log.Line("busy reject iid=" + GuidText(call->iid) + " name=" + InterfaceName(call->iid) +
                            " method=" + std::to_string(call->wMethod));
        } catch (...) {
        }
        return SERVERCALL_REJECTED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) noexcept override { return static_cast<DWORD>(-1); }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) noexcept override { return PENDINGMSG_WAITDEFPROCESS; }

private:
    std::atomic<ULONG> references_{0};
};

}  // namespace

Microsoft::WRL::ComPtr<IMessageFilter> MakeBusyFilter() {
    return Microsoft::WRL::ComPtr<IMessageFilter>(new BusyFilter());
}

}  // namespace cadstandin
