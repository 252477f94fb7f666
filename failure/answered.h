#pragma once

#include <optional>
#include <type_traits>

#include "failure/com_error_number.h"
#include "failure/failure.h"

// Which failures of a call are answers to the question it asks. Every other failure is a failure:
// it goes on to the command's dispatch, and the pick stops before anything is written.

namespace morvane {

// The rules under which a failure is an answer, each named where the question is asked.
enum class AnswerRule {
    // 438: the object has no such member; its kind, or its release, does not have it.
    MemberUnknown,
    // The CAD application's "Key not found": the dictionary holds no entry of that name.
    KeyNotFound,
    // Any failure to read an entity's layer or whether that layer is locked: the entity is left as
    // it is (as one on a locked layer is), which writes nothing.
    LayerUnreadable,
};

[[nodiscard]] constexpr bool IsAnswer(AnswerRule rule, std::int32_t number) noexcept {
    switch (rule) {
    case AnswerRule::MemberUnknown:
        return number == error_number::kNoSuchMember;
    case AnswerRule::KeyNotFound:
        return number == error_number::kKeyNotFound;
    case AnswerRule::LayerUnreadable:
        return true;
    }
    return false;
}

// Runs the question: its answer, or none when it failed in the way the rule names. Any other
// failure is thrown on.
template <class Question>
std::optional<std::invoke_result_t<Question>> IfAnswered(AnswerRule rule, Question question) {
    try {
        return question();
    } catch (const Failure& failure) {
        if (!IsAnswer(rule, failure.number())) throw;
    }
    return std::nullopt;
}

}  // namespace morvane
