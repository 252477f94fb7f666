#include "cadlink/com/call_filter.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <memory>

#include "cadlink/tests/busy_clock.h"

namespace morvane::com {
namespace {

using Microsoft::WRL::ComPtr;

std::shared_ptr<ComCalls> TestCalls(testing_clock::SteppedClock*& clock) {
    auto owned = std::make_unique<testing_clock::SteppedClock>();
    clock = owned.get();
    return std::make_shared<ComCalls>(std::move(owned));
}

// Rule: when COM asks whether to retry a rejected call, the answer is the shared back-off in
// milliseconds (at least COM's 100) until 10 s have passed since the first rejection, then -1,
// which makes the call fail with RPC_E_CALL_REJECTED.
TEST(CallFilterTest, RetriesRejectedCallsForTenSeconds) {
    testing_clock::SteppedClock* clock = nullptr;
    const std::shared_ptr<ComCalls> calls = TestCalls(clock);
    const ComPtr<IMessageFilter> filter = MakeCallFilter(calls, nullptr);
    DWORD waited = 0;
    int answers = 0;
    while (true) {
        const DWORD answer = filter->RetryRejectedCall(nullptr, waited, SERVERCALL_RETRYLATER);
        if (answer == static_cast<DWORD>(-1)) break;
        EXPECT_GE(answer, 100u);
        clock->Wait(std::chrono::milliseconds(answer));
        waited += answer;
        ++answers;
    }
    EXPECT_EQ(waited, 10'000u);
    EXPECT_EQ(answers, 22);
    // The binding's own retry of the same call gives up at once: the 10 s are spent.
    EXPECT_EQ(calls->Call([] { return RPC_E_CALL_REJECTED; }), RPC_E_CALL_REJECTED);
    EXPECT_EQ(clock->waits.size(), 22u);
    // The next call starts a new count.
    EXPECT_EQ(filter->RetryRejectedCall(nullptr, 0, SERVERCALL_REJECTED), 100u);
}

// Rule: messages that arrive while a call waits are delivered by the program's function, and COM
// goes on waiting.
TEST(CallFilterTest, DeliversWaitingMessagesAndKeepsWaiting) {
    testing_clock::SteppedClock* clock = nullptr;
    int deliveries = 0;
    const ComPtr<IMessageFilter> filter = MakeCallFilter(TestCalls(clock), [&] { ++deliveries; });
    EXPECT_EQ(filter->MessagePending(nullptr, 2'000, PENDINGTYPE_TOPLEVEL), static_cast<DWORD>(PENDINGMSG_WAITDEFPROCESS));
    EXPECT_EQ(deliveries, 1);
    EXPECT_EQ(filter->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr), static_cast<DWORD>(SERVERCALL_ISHANDLED));
}

// Rule: the filter is the apartment's while it lives, and the one before it comes back after.
TEST(CallFilterTest, RegistersAndPutsBackThePreviousFilter) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    testing_clock::SteppedClock* clock = nullptr;
    const ComPtr<IMessageFilter> before = MakeCallFilter(TestCalls(clock), nullptr);
    ASSERT_EQ(CoRegisterMessageFilter(before.Get(), nullptr), S_OK);
    {
        const CallFilter filter(TestCalls(clock), nullptr);
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
