#pragma once

#include <chrono>
#include <optional>

// A busy CAD application turns calls away. Where COM's channel does it (the call comes back with
// RPC_E_CALL_REJECTED or RPC_E_SERVERCALL_RETRYLATER, or COM asks the caller's message filter
// whether to try again), the call never reached the member, so trying it again is always safe.
// A member that ran may also report one of those numbers as its own exception: what it did
// before is not known, so whether such a call is tried again is its caller's choice (see
// ComCalls::Call). The retries: a short back-off, until the call goes through or kPatience has
// passed since it began. Nothing is kept from one call to the next.

namespace morvane {

// Where the retries take their time from, replaced in tests so that nothing really waits.
class BusyClock {
public:
    virtual ~BusyClock() = default;
    // A monotonic time.
    [[nodiscard]] virtual std::chrono::milliseconds Now() = 0;
    // Waits this long; the program's window keeps working meanwhile.
    virtual void Wait(std::chrono::milliseconds time) = 0;
};

// Paces the retries of a call into the CAD application. Throws nothing.
class BusyRetry {
public:
    static constexpr std::chrono::milliseconds kPatience{10'000};
    static constexpr std::chrono::milliseconds kFirstDelay{100};
    static constexpr std::chrono::milliseconds kLongestDelay{500};

    // A call that began `elapsed` ago has just been turned away: how long to wait before trying
    // it again (as long as it has waited, at least kFirstDelay and at most kLongestDelay, never
    // beyond kPatience after it began); none once kPatience has passed. Depends on nothing else,
    // so that COM's question about a call outside the program's own (a proxy's release) leaves
    // no trace on the next.
    [[nodiscard]] static std::optional<std::chrono::milliseconds> DelayAfter(std::chrono::milliseconds elapsed) noexcept;

    // Keeps a reference to the clock, which must outlive it.
    explicit BusyRetry(BusyClock& clock) noexcept : clock_(clock) {}

    // Runs attempt() until its result is not a rejection (rejected(result) false) or DelayAfter
    // gives up, counting from the first attempt's start and waiting on the clock in between;
    // returns the last result. Retries that COM made inside an attempt count against the same time.
    template <class Attempt, class Rejected>
    auto Run(Attempt attempt, Rejected rejected) -> decltype(attempt()) {
        const std::chrono::milliseconds began = clock_.Now();
        while (true) {
            auto result = attempt();
            if (!rejected(result)) return result;
            const std::optional<std::chrono::milliseconds> delay = DelayAfter(clock_.Now() - began);
            if (!delay) return result;
            clock_.Wait(*delay);
        }
    }

private:
    BusyClock& clock_;
};

}  // namespace morvane
