#include "cadlink/com/call_filter.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <chrono>
#include <memory>

#include "cadlink/com/com_calls.h"

#include "cadlink/tests/busy_clock.h"

namespace morvane::com {
namespace {

using Microsoft::WRL::ComPtr;

// Rule: when COM asks whether to retry a rejected call, the answer is the back-off in
// milliseconds (at least COM's 100) until 10 s have passed since the call was made, then -1,
// which makes the call fail with RPC_E_CALL_REJECTED.
TEST(CallFilterTest, RetriesRejectedCallsForTenSeconds) {
    const ComPtr<IMessageFilter> filter = MakeCallFilter(nullptr);
    DWORD sinceCall = 0;
    int answers = 0;
    while (true) {
        const DWORD answer = filter->RetryRejectedCall(nullptr, sinceCall, SERVERCALL_RETRYLATER);
        if (answer == static_cast<DWORD>(-1)) break;
        EXPECT_GE(answer, 100u);
        sinceCall += answer;
        ++answers;
    }
    EXPECT_EQ(sinceCall, 10'000u);
    EXPECT_EQ(answers, 23);
    // A rejection that is not a busy answer is not retried.
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 0, 0), static_cast<DWORD>(-1));
}

// Rule: COM asks about calls it makes outside the program's own (a proxy's release, unmarshalling
// while attaching); an answer there leaves nothing behind: a later busy call, in COM's retries and
// in the binding's own, still gets its full 10 s.
TEST(CallFilterTest, ARejectionOutsideACallLeavesNoTrace) {
    const ComPtr<IMessageFilter> filter = MakeCallFilter(nullptr);
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 0, SERVERCALL_REJECTED), 100u);
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 12'000, SERVERCALL_REJECTED), static_cast<DWORD>(-1));

    // Minutes later, a busy spell: COM's retries follow the new call's own time.
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER), 100u);
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 9'900, SERVERCALL_RETRYLATER), 100u);

    auto owned = std::make_unique<testing_clock::SteppedClock>();
    testing_clock::SteppedClock& clock = *owned;
    ComCalls calls(std::move(owned));
    clock.now += std::chrono::minutes(3);
    int attempts = 0;
    EXPECT_EQ(calls.Call([&] { return ++attempts < 20 ? RPC_E_CALL_REJECTED : S_OK; }), S_OK);
    EXPECT_EQ(attempts, 20);
}

// Rule: messages that arrive while a call waits are delivered by the program's function, and COM
// goes on waiting.
TEST(CallFilterTest, DeliversWaitingMessagesAndKeepsWaiting) {
    int deliveries = 0;
    const ComPtr<IMessageFilter> filter = MakeCallFilter([&] { ++deliveries; });
    EXPECT_EQ(filter->MessagePending(nullptr, 2'000, PENDINGTYPE_TOPLEVEL), static_cast<DWORD>(PENDINGMSG_WAITDEFPROCESS));
    EXPECT_EQ(deliveries, 1);
    EXPECT_EQ(filter->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr), static_cast<DWORD>(SERVERCALL_ISHANDLED));
}

// Rule: the filter is the apartment's while it lives, and the one before it comes back after.
TEST(CallFilterTest, RegistersAndPutsBackThePreviousFilter) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const ComPtr<IMessageFilter> before = MakeCallFilter(nullptr);
    ASSERT_EQ(CoRegisterMessageFilter(before.Get(), nullptr), S_OK);
    {
        const CallFilter filter(nullptr);
        EXPECT_TRUE(filter.Registered());
        ComPtr<IMessageFilter> current;
        ASSERT_EQ(CoRegisterMessageFilter(nullptr, current.GetAddressOf()), S_OK);
        EXPECT_NE(current.Get(), before.Get());
        EXPECT_NE(current.Get(), nullptr);
        ASSERT_EQ(CoRegisterMessageFilter(current.Get(), nullptr), S_OK);
    }
    ComPtr<IMessageFilter> after;
    ASSERT_EQ(CoRegisterMessageFilter(nullptr, after.GetAddressOf()), S_OK);
    EXPECT_EQ(after.Get(), before.Get());
    CoUninitialize();
}

}  // namespace
}  // namespace morvane::com
