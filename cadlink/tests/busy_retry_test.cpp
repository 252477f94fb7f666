#include "cadlink/busy_retry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <stdexcept>
#include <string>

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
// 10 s have passed since its first rejection; then the rejection is the answer.
TEST_P(BusyRetryTest, TriesAgainUntilThroughOrTenSecondsAfterTheFirstRejection) {
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
    {"BackOffDoublesUpToHalfASecond", 5, milliseconds{0}, 6, milliseconds{100 + 200 + 400 + 500 + 500}, kThrough},
    // 100 + 200 + 400, then 500 each: the last wait is cut so that the last try comes at 10 s.
    {"RejectedForEverGivesUpAtTenSeconds", -1, milliseconds{0}, 23, milliseconds{10'000}, kRejected},
    // Each rejection takes 3 s to come back: the count starts when the first comes back, and the
    // last try starts 10 s after that.
    {"SlowRejectionsCountFromTheFirst", -1, milliseconds{3'000}, 5, milliseconds{100 + 200 + 400 + 300}, kRejected},
    {"ThroughJustBeforeGivingUp", 22, milliseconds{0}, 23, milliseconds{10'000}, kThrough},
};

INSTANTIATE_TEST_SUITE_P(Calls, BusyRetryTest, testing::ValuesIn(kRetryCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Rule: every call gets its own 10 s: after one call gave up, the next call's first rejection
// starts a new count.
TEST(BusyRetryTest, EachCallCountsFromItsOwnFirstRejection) {
    SteppedClock clock;
    BusyRetry retry(clock);
    const auto rejected = [](int answer) { return answer == kRejected; };
    EXPECT_EQ(retry.Run([] { return kRejected; }, rejected), kRejected);
    clock.waits.clear();
    int attempts = 0;
    EXPECT_EQ(retry.Run([&] { return ++attempts < 3 ? kRejected : kThrough; }, rejected), kThrough);
    EXPECT_EQ(clock.waits, (std::vector<milliseconds>{milliseconds{100}, milliseconds{200}}));
}

// Rule: COM's own retries (asked through NextDelay while a call runs) and the binding's count
// against the same 10 s: once COM has retried for 10 s, the binding does not start over.
TEST(BusyRetryTest, RetriesInsideTheCallShareItsTenSeconds) {
    SteppedClock clock;
    BusyRetry retry(clock);
    int attempts = 0;
    const int result = retry.Run(
        [&] {
            ++attempts;
            // COM retries the call itself, as long as the pacing lets it.
            while (const std::optional<milliseconds> delay = retry.NextDelay()) {
                clock.Wait(*delay);
            }
            return kRejected;
        },
        [](int answer) { return answer == kRejected; });
    EXPECT_EQ(result, kRejected);
    EXPECT_EQ(attempts, 1);
    EXPECT_EQ(clock.now, milliseconds{1'010'000});
}

// Rule: a call that throws still ends: the next call's rejection is its own first.
TEST(BusyRetryTest, ACallThatThrowsStillEnds) {
    SteppedClock clock;
    BusyRetry retry(clock);
    EXPECT_THROW(retry.Run(
                     [&]() -> int {
                         (void)retry.NextDelay();
                         clock.now += milliseconds{20'000};
                         throw std::runtime_error("gone");
                     },
                     [](int) { return true; }),
                 std::runtime_error);
    EXPECT_EQ(retry.NextDelay(), milliseconds{100});
}

}  // namespace
}  // namespace morvane
