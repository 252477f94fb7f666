#pragma once

#include <optional>
#include <type_traits>

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

// Asks the entity something it may not have, to learn what it holds: 438 (no such property or
// method) gives no value, every other failure goes on to the dispatch. These are the only calls
// whose 438 is an answer rather than a failure.
template <class Query>
std::optional<std::invoke_result_t<Query>> IfAnswered(Query query) {
    try {
        return query();
    } catch (const Failure& failure) {
        if (failure.number() != error_number::kNoSuchMember) throw;
    }
    return std::nullopt;
}

}  // namespace morvane
