#pragma once

#include <cstdint>
#include <functional>

#include "failure/failure.h"

namespace morvane::com {

// The number of the Failure the action throws, or 0 when it throws none.
inline std::int32_t FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure.number();
    }
    return 0;
}

}  // namespace morvane::com
