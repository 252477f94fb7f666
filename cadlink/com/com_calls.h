#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>

#include "cadlink/busy_retry.h"

namespace morvane::com {

// Whether the CAD application refused a call because it is busy (RPC_E_CALL_REJECTED or
// RPC_E_SERVERCALL_RETRYLATER), as COM hands it back or as an Invoke's exception reports it.
[[nodiscard]] bool IsRejection(HRESULT hr, const EXCEPINFO* excepInfo = nullptr) noexcept;

// Whether a member may be carried out twice with the same effect: a read may, a write or a
// method may not.
enum class Repeatable { Yes, No };

// Whether a call that came back with hr (and, for an Invoke, excepInfo) is tried again. A
// rejection from COM's channel never reached the member: always. One the member reported as its
// own exception came from a member that ran: only when it is repeatable.
[[nodiscard]] bool IsRetried(HRESULT hr, const EXCEPINFO* excepInfo, Repeatable repeatable) noexcept;

// How the CAD application takes an integer passed by reference: as a Long (VT_BYREF | VT_I4), which
// its type library's Invoke takes for an int* too, or as an int (VT_BYREF | VT_INT).
enum class IntegerByReference { Long, Int };

// What every call into the CAD application shares: the clock that paces its retries while the
// application is busy, and the form the application took an integer by reference in. One call at a
// time, on the apartment's thread.
class ComCalls {
public:
    explicit ComCalls(std::unique_ptr<BusyClock> clock) noexcept : clock_(std::move(clock)), retry_(*clock_) {}
    ComCalls(const ComCalls&) = delete;
    ComCalls& operator=(const ComCalls&) = delete;

    // Runs attempt(), one call into the CAD application giving its HRESULT, again while it is
    // retried (see IsRetried and BusyRetry); returns the last HRESULT. For an Invoke, excepInfo is
    // the exception it fills (each attempt clears it first) and repeatable says whether the member
    // may run twice. Throws what attempt throws.
    template <class Attempt>
    [[nodiscard]] HRESULT Call(Attempt attempt, const EXCEPINFO* excepInfo = nullptr,
                               Repeatable repeatable = Repeatable::No) {
        return retry_.Run(attempt, [excepInfo, repeatable](HRESULT hr) { return IsRetried(hr, excepInfo, repeatable); });
    }

    // Long until the application refused that with a type mismatch and took Int: kept from then on.
    [[nodiscard]] IntegerByReference IntegersByReference() const noexcept { return byReference_; }
    void IntegersByReference(IntegerByReference form) noexcept { byReference_ = form; }

private:
    std::unique_ptr<BusyClock> clock_;
    BusyRetry retry_;
    IntegerByReference byReference_ = IntegerByReference::Long;
};

// The program's clock for retries: GetTickCount64, and waits in COM's modal loop, which goes on
// handing the thread's messages to the message filter, so that the window keeps painting and
// answering while a call waits. Throws only std::bad_alloc.
[[nodiscard]] std::unique_ptr<BusyClock> MakeMessageLoopClock();

}  // namespace morvane::com
