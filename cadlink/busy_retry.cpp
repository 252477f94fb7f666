#include "cadlink/busy_retry.h"

#include <algorithm>

namespace morvane {

std::optional<std::chrono::milliseconds> BusyRetry::NextDelay() noexcept {
    const std::chrono::milliseconds now = clock_.Now();
    if (!firstRejection_) {
        firstRejection_ = now;
        nextDelay_ = kFirstDelay;
    }
    const std::chrono::milliseconds left = *firstRejection_ + kPatience - now;
    if (left <= std::chrono::milliseconds::zero()) {
        return std::nullopt;
    }
    const std::chrono::milliseconds delay = std::min(nextDelay_, left);
    nextDelay_ = std::min(nextDelay_ * 2, kLongestDelay);
    return delay;
}

void BusyRetry::CallEnded() noexcept {
    firstRejection_.reset();
    nextDelay_ = kFirstDelay;
}

}  // namespace morvane
