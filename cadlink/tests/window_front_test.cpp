#include "cadlink/com/window_front.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "cadlink/tests/window_program.h"
#include "failure/failure.h"

namespace morvane::com {
namespace {

using testing_windows::WindowProgram;

class BringWindowToFrontTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cad_.Started());
        ASSERT_TRUE(other_.Started());
        exact_ = cad_.Window(L"Stand-In CAD");
        prefixOnly_ = cad_.Window(L"Plan View - [b.dwg]");
        holder_ = other_.Window(L"Some Other Program");
        ASSERT_NE(exact_, nullptr);
        ASSERT_NE(prefixOnly_, nullptr);
        ASSERT_NE(holder_, nullptr);
    }

    // The foreground belongs to a third program, neither this test nor the CAD stand-in.
    void GiveForegroundToOther() {
        const testing_support::Waited inFront = WindowProgram::TakeForeground(holder_);
        ASSERT_TRUE(inFront) << inFront.Reason();
    }

    WindowProgram cad_{WindowProgram::BesideThisProgram(), L"\"Stand-In CAD - [a.dwg]\" \"Stand-In CAD\" \"Plan View - [b.dwg]\""};
    WindowProgram other_{WindowProgram::BesideThisProgram(), L"\"Some Other Program\""};
    HWND exact_ = nullptr;
    HWND prefixOnly_ = nullptr;
    HWND holder_ = nullptr;
};

// Rule: the window with exactly the title comes to the front, ahead of one that only begins with
// it, although another program holds the foreground.
TEST_F(BringWindowToFrontTest, ExactTitleComesToFront) {
    GiveForegroundToOther();
    BringWindowToFront(u"Stand-In CAD");
    const testing_support::Waited inFront = WindowProgram::ComesToFront(exact_);
    EXPECT_TRUE(inFront) << inFront.Reason();
}

// Rule: failing an exact title, a window whose title begins with the text comes to the front.
TEST_F(BringWindowToFrontTest, PrefixComesToFront) {
    GiveForegroundToOther();
    BringWindowToFront(u"Plan View");
    const testing_support::Waited inFront = WindowProgram::ComesToFront(prefixOnly_);
    EXPECT_TRUE(inFront) << inFront.Reason();
}

// Rule: no window with the title is failure 5, and the foreground stays where it was.
TEST_F(BringWindowToFrontTest, NoWindowIsFailure5) {
    GiveForegroundToOther();
    try {
        BringWindowToFront(u"No Window Has This Title");
        ADD_FAILURE() << "no Failure thrown";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), 5);
    }
    EXPECT_EQ(GetForegroundWindow(), holder_);
}

}  // namespace
}  // namespace morvane::com
