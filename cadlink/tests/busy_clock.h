#pragma once

#include <chrono>
#include <vector>

#include "cadlink/busy_retry.h"

namespace morvane::testing_clock {

// A clock whose time moves only when something waits on it (or the test moves it): retries are
// tested without really waiting. Records every wait.
class SteppedClock final : public BusyClock {
public:
    std::chrono::milliseconds Now() override { return now; }
    void Wait(std::chrono::milliseconds time) override {
        waits.push_back(time);
        now += time;
    }

    std::chrono::milliseconds now{1'000'000};
    std::vector<std::chrono::milliseconds> waits;
};

}  // namespace morvane::testing_clock
