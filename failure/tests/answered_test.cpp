#include "failure/answered.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace morvane {
namespace {

struct AnswerCase {
    const char* name;
    AnswerRule rule;
    std::int32_t failure;
    bool answered;  // none comes back; else the failure goes on
};

void PrintTo(const AnswerCase& c, std::ostream* out) { *out << c.name; }

class AnswerRuleTest : public ::testing::TestWithParam<AnswerCase> {};

// A failure is an answer only under the rule named at the call; a busy application, an exception or
// a type mismatch is a failure under every rule.
TEST_P(AnswerRuleTest, OnlyTheNamedFailureIsAnAnswer) {
    const AnswerCase& c = GetParam();
    const auto question = [&]() -> int { throw Failure(c.failure); };
    if (c.answered) {
        EXPECT_EQ(IfAnswered(c.rule, question), std::nullopt);
    } else {
        try {
            (void)IfAnswered(c.rule, question);
            ADD_FAILURE() << "the failure did not go on";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.number(), c.failure);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, AnswerRuleTest,
    ::testing::Values(AnswerCase{"UnknownMember", AnswerRule::MemberUnknown, error_number::kNoSuchMember, true},
                      AnswerCase{"KeyNotFoundIsNoUnknownMember", AnswerRule::MemberUnknown, error_number::kKeyNotFound, false},
                      AnswerCase{"KeyNotFound", AnswerRule::KeyNotFound, error_number::kKeyNotFound, true},
                      AnswerCase{"UnknownMemberIsNoMissingKey", AnswerRule::KeyNotFound, error_number::kNoSuchMember, false},
                      AnswerCase{"BusyIsAFailure", AnswerRule::KeyNotFound, error_number::kCallRejected, false},
                      AnswerCase{"ExceptionIsAFailure", AnswerRule::KeyNotFound, error_number::kApplicationException, false},
                      AnswerCase{"TypeMismatchIsAFailure", AnswerRule::MemberUnknown, error_number::kTypeMismatch, false},
                      AnswerCase{"AnyLayerFailure", AnswerRule::LayerUnreadable, error_number::kCallRejected, true}),
    [](const ::testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

// An answer comes back as it is.
TEST(IfAnswered, GivesTheAnswer) {
    EXPECT_EQ(IfAnswered(AnswerRule::MemberUnknown, [] { return 7; }), 7);
}

}  // namespace
}  // namespace morvane
