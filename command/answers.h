#pragma once

#include "failure/answered.h"
#include "failure/failure.h"

// How the command takes what the CAD application hands back.

namespace morvane {

// The binding hands out no empty handles; should one ever come, using it is a failure rather
// than a crash.
template <class Handle>
auto& Require(const Handle& handle) {
    if (!handle) throw Failure(error_number::kObjectNotSet);
    return *handle;
}

}  // namespace morvane
