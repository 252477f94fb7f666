// Bringing a window to the front while another program's window holds the foreground, that
// program answering or hung. Wine neither enforces the foreground lock nor blocks a
// SetForegroundWindow on a joined thread that does not answer, so the joins themselves are what
// these tests watch: the seam's join records each call and passes it on to Windows.
#include "foreground/bring_to_front.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "cadlink/tests/window_program.h"

namespace morvane {
namespace {

using testing_windows::WindowProgram;

// Every AttachThreadInput call BringToFront makes through the seam: (thread, to thread, join).
std::vector<std::tuple<DWORD, DWORD, BOOL>> joins;

BOOL WINAPI RecordedAttach(DWORD thread, DWORD toThread, BOOL join) {
    joins.emplace_back(thread, toThread, join);
    return AttachThreadInput(thread, toThread, join);
}

class HungForegroundTest : public testing::Test {
protected:
    void SetUp() override {
        joins.clear();
        ASSERT_TRUE(holderProgram_.Started());
        ASSERT_TRUE(targetProgram_.Started());
        holder_ = holderProgram_.Window(L"Holder");
        target_ = targetProgram_.Window(L"Target");
        ASSERT_NE(holder_, nullptr);
        ASSERT_NE(target_, nullptr);
        const testing_support::Waited inFront = WindowProgram::TakeForeground(holder_);
        ASSERT_TRUE(inFront) << inFront.Reason();
    }
    void TearDown() override { holderProgram_.End(); }

    [[nodiscard]] DWORD HolderThread() const { return GetWindowThreadProcessId(holder_, nullptr); }

    WindowProgram holderProgram_{WindowProgram::BesideThisProgram(), L"\"Holder\""};
    WindowProgram targetProgram_{WindowProgram::BesideThisProgram(), L"\"Target\""};
    HWND holder_ = nullptr;
    HWND target_ = nullptr;
};

// Rule: a window whose thread waits in its message loop answers; one whose thread has stopped
// answering does not, nor does a window that is gone. (An answer is awaited for a minute, which an
// idle thread never needs; no answer comes from a hung one however long it is awaited.)
TEST_F(HungForegroundTest, WhichWindowsAnswer) {
    EXPECT_TRUE(WindowAnswers(holder_, 60'000));
    WindowProgram::Hang(holder_);
    EXPECT_FALSE(WindowAnswers(holder_, kForegroundAnswerMs));
    EXPECT_FALSE(WindowAnswers(nullptr, kForegroundAnswerMs));
    targetProgram_.End();
    const testing_support::Waited gone = testing_support::WaitUntil([&] { return !IsWindow(target_); }, 10'000,
                                                                    "the ended program's window gone");
    ASSERT_TRUE(gone) << gone.Reason();
    EXPECT_FALSE(WindowAnswers(target_, kForegroundAnswerMs));
}

// Rule: the foreground thread's input is joined for the moment while its window answers, and
// let go again.
TEST_F(HungForegroundTest, AnsweringForegroundIsJoinedAndLetGo) {
    BringToFront(target_, InputJoin{.answerWaitMs = 60'000, .attachThreadInput = &RecordedAttach});
    const DWORD self = GetCurrentThreadId();
    EXPECT_EQ(joins, (std::vector<std::tuple<DWORD, DWORD, BOOL>>{{self, HolderThread(), TRUE},
                                                                   {self, HolderThread(), FALSE}}));
}

// Rule: a foreground window whose thread does not answer is never joined.
TEST_F(HungForegroundTest, HungForegroundIsNeverJoined) {
    WindowProgram::Hang(holder_);
    BringToFront(target_, InputJoin{.answerWaitMs = kForegroundAnswerMs, .attachThreadInput = &RecordedAttach});
    EXPECT_TRUE(joins.empty());
}

// Rule: while this process holds the foreground (its window on another of its threads, as
// Morvane's right after the click on "Select Text"), no thread's input is joined: Windows lets the
// foreground process hand the foreground on.
TEST_F(HungForegroundTest, OwnForegroundIsNeverJoined) {
    std::promise<HWND> made;
    std::atomic<bool> done{false};
    std::thread owner([&] {
        HWND own = CreateWindowExW(0, L"STATIC", L"Own", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        made.set_value(own);
        MSG message{};
        while (!done) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            Sleep(10);
        }
        DestroyWindow(own);
    });
    const HWND own = made.get_future().get();
    SetForegroundWindow(own);
    const testing_support::Waited inFront = WindowProgram::ComesToFront(own);
    BringToFront(target_, InputJoin{.answerWaitMs = 60'000, .attachThreadInput = &RecordedAttach});
    done = true;
    owner.join();
    ASSERT_TRUE(inFront) << inFront.Reason();
    EXPECT_TRUE(joins.empty());
}

// Rule: a window whose own thread does not answer is restored and raised without waiting for it,
// minimised or not; this thread goes on (the window follows once its thread answers again).
class HungTargetTest : public HungForegroundTest, public testing::WithParamInterface<bool> {};

TEST_P(HungTargetTest, BringingItForwardDoesNotWaitForIt) {
    if (GetParam()) {
        ShowWindow(target_, SW_MINIMIZE);
        ASSERT_TRUE(IsIconic(target_));
    }
    WindowProgram::Hang(target_);
    std::packaged_task<void()> bring([&] { BringToFront(target_); });
    std::future<void> brought = bring.get_future();
    std::thread bringing(std::move(bring));
    // The target never answers again: only ending its program would let a waiting call return.
    const bool returned = brought.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    targetProgram_.End();
    bringing.join();
    EXPECT_TRUE(returned) << "BringToFront waited for the hung window's thread";
}

INSTANTIATE_TEST_SUITE_P(Target, HungTargetTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Minimised" : "Shown");
                         });

}  // namespace
}  // namespace morvane
