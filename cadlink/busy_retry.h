#pragma once

#include <chrono>
#include <optional>

// A busy CAD application rejects calls (the number goes back to the caller, or COM asks the caller
// whether to try again). A rejected call was never carried out, so it is always safe to try it
// again: a short back-off, until it goes through or kPatience has passed since its first rejection.

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

// Paces the retries of one call at a time into the CAD application. Throws nothing.
class BusyRetry {
public:
    static constexpr std::chrono::milliseconds kPatience{10'000};
    static constexpr std::chrono::milliseconds kFirstDelay{100};
    static constexpr std::chrono::milliseconds kLongestDelay{500};

    // Keeps a reference to the clock, which must outlive it.
    explicit BusyRetry(BusyClock& clock) noexcept : clock_(clock) {}

    // The call has just been rejected: how long to wait before trying it again, never beyond
    // kPatience after its first rejection; none once that has passed.
    [[nodiscard]] std::optional<std::chrono::milliseconds> NextDelay() noexcept;
    // The call has ended (gone through or failed otherwise): the next rejection is a new call's.
    void CallEnded() noexcept;

    // Runs attempt() until its result is not a rejection (rejected(result) false) or NextDelay
    // gives up, waiting on the clock in between; returns the last result. Ends the call on every way out.
    template <class Attempt, class Rejected>
    auto Run(Attempt attempt, Rejected rejected) -> decltype(attempt()) {
        struct Ender {
            BusyRetry& retry;
            ~Ender() { retry.CallEnded(); }
        } ender{*this};
        while (true) {
            auto result = attempt();
            if (!rejected(result)) return result;
            const std::optional<std::chrono::milliseconds> delay = NextDelay();
            if (!delay) return result;
            clock_.Wait(*delay);
        }
    }

    [[nodiscard]] BusyClock& Clock() noexcept { return clock_; }

private:
    BusyClock& clock_;
    std::optional<std::chrono::milliseconds> firstRejection_;
    std::chrono::milliseconds nextDelay_ = kFirstDelay;
};

}  // namespace morvane
