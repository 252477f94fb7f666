#include "cadlink/busy_retry.h"

#include <algorithm>

namespace morvane {

std::optional<std::chrono::milliseconds> BusyRetry::DelayAfter(std::chrono::milliseconds elapsed) noexcept {
    const std::chrono::milliseconds left = kPatience - elapsed;
    if (left <= std::chrono::milliseconds::zero()) {
        return std::nullopt;
    }
    return std::min(std::clamp(elapsed, kFirstDelay, kLongestDelay), left);
}

}  // namespace morvane
