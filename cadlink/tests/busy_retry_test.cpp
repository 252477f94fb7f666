#include "cadlink/busy_retry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "cadlink/tests/busy_clock.h"

namespace morvane {
namespace {

using std::chrono::milliseconds;
using testing_clock::SteppedClock;

constexpr int kThrough = 0;
constexpr int kRejected = 1;

struct RetryCase {
    const char* name;
    int rejections;             // before the call goes through; -1: rejected for ever
    milliseconds attemptTakes;  // how long each attempt takes before its answer comes
    int attempts;               // expected
    milliseconds waited;        // expected total of the waits between attempts
    int result;                 // expected last answer
};

class BusyRetryTest : public testing::TestWithParam<RetryCase> {};

// Rule: a rejected call is tried again after a short back-off until it goes through, or until
// 10 s have passed since it began; then the rejection is the answer.
TEST_P(BusyRetryTest, TriesAgainUntilThroughOrTenSecondsAfterTheCallBegan) {
    const RetryCase& c = GetParam();
    SteppedClock clock;
    BusyRetry retry(clock);
    int attempts = 0;
    const int result = retry.Run(
        [&] {
            clock.now += c.attemptTakes;
            ++attempts;
            return c.rejections < 0 || attempts <= c.rejections ? kRejected : kThrough;
        },
        [](int answer) { return answer == kRejected; });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(attempts, c.attempts);
    EXPECT_EQ(std::accumulate(clock.waits.begin(), clock.waits.end(), milliseconds{0}), c.waited);
}

const RetryCase kRetryCases[] = {
    {"ThroughAtOnce", 0, milliseconds{0}, 1, milliseconds{0}, kThrough},
    {"ThroughOnTheSecondTry", 1, milliseconds{0}, 2, milliseconds{100}, kThrough},
    // Each wait is as long as the call has waited so far, at least 0.1 s and at most 0.5 s.
    {"BackOffGrowsUpToHalfASecond", 5, milliseconds{0}, 6, milliseconds{100 + 100 + 200 + 400 + 500}, kThrough},
    // Tries at 0, 0.1, 0.2, 0.4, 0.8 s, then every 0.5 s up to 9.8 s, and last at 10 s.
    {"RejectedForEverGivesUpAtTenSeconds", -1, milliseconds{0}, 24, milliseconds{10'000}, kRejected},
    // Each rejection takes 3 s to come back: that time counts, and the third comes back at 10 s.
    {"SlowRejectionsCountFromTheCallsStart", -1, milliseconds{3'000}, 3, milliseconds{500 + 500}, kRejected},
    {"ThroughJustBeforeGivingUp", 23, milliseconds{0}, 24, milliseconds{10'000}, kThrough},
};

INSTANTIATE_TEST_SUITE_P(Calls, BusyRetryTest, testing::ValuesIn(kRetryCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Rule: every call gets its own 10 s: after one call gave up, the next call starts a new count.
TEST(BusyRetryTest, EachCallCountsFromItsOwnStart) {
    SteppedClock clock;
    BusyRetry retry(clock);
    const auto rejected = [](int answer) { return answer == kRejected; };
    EXPECT_EQ(retry.Run([] { return kRejected; }, rejected), kRejected);
    clock.waits.clear();
    int attempts = 0;
    EXPECT_EQ(retry.Run([&] { return ++attempts < 3 ? kRejected : kThrough; }, rejected), kThrough);
    EXPECT_EQ(clock.waits, (std::vector<milliseconds>{milliseconds{100}, milliseconds{100}}));
}

// Rule: COM's own retries inside a call (paced by the time since the call began, as COM reports
// it) and the binding's count against the same 10 s: once COM has retried for 10 s, the binding
// does not start over.
TEST(BusyRetryTest, RetriesInsideTheCallShareItsTenSeconds) {
    SteppedClock clock;
    BusyRetry retry(clock);
    int attempts = 0;
    const milliseconds began = clock.now;
    const int result = retry.Run(
        [&] {
            ++attempts;
            while (const std::optional<milliseconds> delay = BusyRetry::DelayAfter(clock.now - began)) {
                clock.Wait(*delay);
            }
            return kRejected;
        },
        [](int answer) { return answer == kRejected; });
    EXPECT_EQ(result, kRejected);
    EXPECT_EQ(attempts, 1);
    EXPECT_EQ(clock.now, began + milliseconds{10'000});
}

struct DelayCase {
    milliseconds elapsed;
    std::optional<milliseconds> delay;
};

// Rule: the wait depends only on how long the call has waited: at least 0.1 s, at most 0.5 s,
// never past 10 s after the call began, none from then on.
TEST(BusyRetryTest, DelayFollowsTheTimeSinceTheCallBegan) {
    const DelayCase cases[] = {
        {milliseconds{0}, milliseconds{100}},       {milliseconds{50}, milliseconds{100}},
        {milliseconds{300}, milliseconds{300}},     {milliseconds{1'000}, milliseconds{500}},
        {milliseconds{9'800}, milliseconds{200}},   {milliseconds{9'999}, milliseconds{1}},
        {milliseconds{10'000}, std::nullopt},       {milliseconds{4'000'000}, std::nullopt},
    };
    for (const DelayCase& c : cases) {
        EXPECT_EQ(BusyRetry::DelayAfter(c.elapsed), c.delay) << c.elapsed.count();
    }
}

}  // namespace
}  // namespace morvane
