// The window in process, against the CAD binding's double: relayout at another DPI, keyboard
// handling through the dialog manager, the command's road through the real window, message boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "dialog/frm_morvane.h"
#include "testing/fakes/fake_cad_link.h"
#include "testing/ui_driver/ui_driver.h"

namespace morvane {
namespace {

// Delivers this thread's waiting messages the way the program's message loop does.
void Pump(HWND window) {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT || !IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

class FrmMorvaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window_.Open(SW_SHOWNORMAL)) << GetLastError();
        Pump(window_.Handle());
    }

    void TearDown() override { Pump(window_.Handle()); }

    HWND Control(FrmControl control) const { return window_.ControlHandle(control); }

    // A key pressed on the focused control, through the dialog manager as the program's loop does.
    void PressKey(WPARAM key) {
        MSG message{GetFocus(), WM_KEYDOWN, key, 1, 0, {}};
        if (!IsDialogMessageW(window_.Handle(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Pump(window_.Handle());
    }

    void Click(FrmControl control) {
        SendMessageW(Control(control), BM_CLICK, 0, 0);
        Pump(window_.Handle());
    }

    // The check state of Option1 to Option4.
    std::array<bool, 4> Checks() const {
        std::array<bool, 4> checks{};
        const std::array options{FrmControl::Option1, FrmControl::Option2, FrmControl::Option3, FrmControl::Option4};
        for (std::size_t i = 0; i < options.size(); ++i) {
            checks[i] = SendMessageW(Control(options[i]), BM_GETCHECK, 0, 0) == BST_CHECKED;
        }
        return checks;
    }

    // Shows a message box through the window and closes it from another thread: what the box
    // showed, or nothing when no box came.
    std::optional<ui::MessageBoxSeen> ShowMessageAndClose(std::u16string_view text, std::u16string_view caption) {
        const DWORD thread = GetCurrentThreadId();
        std::optional<ui::MessageBoxSeen> seen;
        std::thread watcher([&] {
            seen = ui::WaitForMessageBox(GetCurrentProcessId(), 10000);
            if (!seen || !ui::CloseMessageBox(*seen)) {
                // Never leave the test hanging in the box's modal loop.
                PostThreadMessageW(thread, WM_QUIT, 0, 0);
            }
        });
        window_.ShowMessage(text, caption);
        watcher.join();
        return seen;
    }

    fakes::FakeCadLink cad_;
    FrmMorvane window_{GetModuleHandleW(nullptr), cad_, nullptr, nullptr};
};

RECT ClientRectOf(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Relayout on a DPI change: every control where its twips put it at the new DPI (worked out by
// hand, container offsets converted separately), the window at the suggested place, and the
// system's message font for that DPI.
TEST_F(FrmMorvaneTest, DpiChangeLaysOutAgainAndRebuildsTheFont) {
    RECT suggested{100, 80, 500, 480};
    SendMessageW(window_.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));

    RECT client{};
    GetClientRect(window_.Handle(), &client);
    EXPECT_EQ(client.right, 303);
    EXPECT_EQ(client.bottom, 287);
    RECT frame{};
    GetWindowRect(window_.Handle(), &frame);
    EXPECT_EQ(frame.left, 100);
    EXPECT_EQ(frame.top, 80);

    struct Expected {
        FrmControl control;
        RECT rect;
    };
    const std::array<Expected, 7> expected{{
        {FrmControl::Frame1, {18, 12, 284, 275}},
        {FrmControl::Option1, {45, 39, 245, 77}},
        {FrmControl::Option2, {45, 75, 245, 113}},
        {FrmControl::Option3, {45, 111, 245, 149}},
        {FrmControl::Option4, {45, 147, 245, 185}},
        {FrmControl::cmdSelect, {30, 201, 140, 251}},
        {FrmControl::cmdCancel, {162, 201, 260, 251}},
    }};
    for (const auto& [control, rect] : expected) {
        const RECT actual = ClientRectOf(Control(control));
        EXPECT_EQ(actual.left, rect.left) << static_cast<int>(control);
        EXPECT_EQ(actual.top, rect.top) << static_cast<int>(control);
        EXPECT_EQ(actual.right, rect.right) << static_cast<int>(control);
        EXPECT_EQ(actual.bottom, rect.bottom) << static_cast<int>(control);
    }

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, 144));
    for (const auto& layout : kFrmControls) {
        auto font = reinterpret_cast<HFONT>(SendMessageW(Control(layout.control), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW used{};
        ASSERT_EQ(GetObjectW(font, sizeof(used), &used), static_cast<int>(sizeof(used)));
        EXPECT_EQ(used.lfHeight, metrics.lfMessageFont.lfHeight);
        EXPECT_STREQ(used.lfFaceName, metrics.lfMessageFont.lfFaceName);
    }
}

struct ArrowCase {
    FrmControl from;
    WPARAM key;
    FrmControl to;
    std::array<bool, 4> checks;
};

class FrmMorvaneArrowTest : public FrmMorvaneTest, public ::testing::WithParamInterface<ArrowCase> {};

// Arrow keys move through the four options as one group and select where they land, across the
// tab-order gap between Option3 and Option4, wrapping at either end.
TEST_P(FrmMorvaneArrowTest, ArrowKeysMoveTheSelectionWithinTheOptions) {
    const ArrowCase& c = GetParam();
    Click(c.from);
    SetFocus(Control(c.from));
    PressKey(c.key);
    EXPECT_EQ(GetFocus(), Control(c.to));
    EXPECT_EQ(Checks(), c.checks);
}

INSTANTIATE_TEST_SUITE_P(
    Options, FrmMorvaneArrowTest,
    ::testing::Values(ArrowCase{FrmControl::Option1, VK_DOWN, FrmControl::Option2, {false, true, false, false}},
                      ArrowCase{FrmControl::Option3, VK_DOWN, FrmControl::Option4, {false, false, false, true}},
                      ArrowCase{FrmControl::Option3, VK_RIGHT, FrmControl::Option4, {false, false, false, true}},
                      ArrowCase{FrmControl::Option4, VK_UP, FrmControl::Option3, {false, false, true, false}},
                      ArrowCase{FrmControl::Option4, VK_DOWN, FrmControl::Option1, {true, false, false, false}},
                      ArrowCase{FrmControl::Option1, VK_UP, FrmControl::Option4, {false, false, false, true}},
                      ArrowCase{FrmControl::Option2, VK_LEFT, FrmControl::Option1, {true, false, false, false}}));

// Enter presses the focused button only: on an option it does nothing, on "Select Text" it runs
// the command, on "Cancel" it ends the program.
TEST_F(FrmMorvaneTest, EnterPressesOnlyTheFocusedButton) {
    cad_.PickText(u"Abc");
    SetFocus(Control(FrmControl::Option2));
    PressKey(VK_RETURN);
    EXPECT_TRUE(cad_.Log().Calls().empty());
    ASSERT_TRUE(IsWindowVisible(window_.Handle()));

    SetFocus(Control(FrmControl::cmdSelect));
    PressKey(VK_RETURN);
    EXPECT_FALSE(cad_.Log().Calls().empty());
    EXPECT_TRUE(IsWindowVisible(window_.Handle()));

    SetFocus(Control(FrmControl::cmdCancel));
    PressKey(VK_RETURN);
    EXPECT_EQ(window_.Handle(), nullptr);
}

// "Select Text" runs the command on this window: the chosen case is written, the window comes back
// where it was with the same option selected and keeps the picked entity; "Cancel" then lets the
// entity go without another call to the CAD application.
TEST_F(FrmMorvaneTest, SelectTextRunsTheCommandAndCancelReleasesThePick) {
    fakes::FakeEntity& text = cad_.PickText(u"Abc");
    Click(FrmControl::Option2);
    RECT before{};
    GetWindowRect(window_.Handle(), &before);

    Click(FrmControl::cmdSelect);

    EXPECT_EQ(text.textString, u"abc");
    EXPECT_EQ(text.updates, 1);
    EXPECT_TRUE(IsWindowVisible(window_.Handle()));
    EXPECT_EQ(Checks(), (std::array{false, true, false, false}));
    RECT after{};
    GetWindowRect(window_.Handle(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_NE(window_.PickedEntity(), nullptr);
    EXPECT_EQ(cad_.LiveHandles(), 1);

    const std::size_t callsBefore = cad_.Log().Calls().size();
    Click(FrmControl::cmdCancel);
    EXPECT_EQ(window_.Handle(), nullptr);
    EXPECT_EQ(window_.PickedEntity(), nullptr);
    EXPECT_EQ(cad_.LiveHandles(), 0);
    EXPECT_EQ(cad_.Log().Calls().size(), callsBefore);
}

// The close box ends the program (the loop gets WM_QUIT); Escape is not a way to close it.
TEST_F(FrmMorvaneTest, EscapeDoesNothingAndTheCloseBoxEndsTheProgram) {
    SetFocus(Control(FrmControl::Option1));
    PressKey(VK_ESCAPE);
    ASSERT_NE(window_.Handle(), nullptr);
    EXPECT_TRUE(IsWindowVisible(window_.Handle()));

    SendMessageW(window_.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(window_.Handle(), nullptr);
    MSG message{};
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// A message box shows, modal to the window, even while the window is hidden (as it is during a
// pick): OK only, no icon, the given text and caption.
TEST_F(FrmMorvaneTest, MessageBoxShowsWhileTheWindowIsHidden) {
    window_.Hide();
    const std::optional<ui::MessageBoxSeen> seen =
        ShowMessageAndClose(u"Missed the object, please try again", u"Selection Error");

    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->owner, window_.Handle());
    EXPECT_EQ(seen->caption, L"Selection Error");
    EXPECT_EQ(seen->text, L"Missed the object, please try again");
    EXPECT_EQ(seen->buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_FALSE(seen->iconShown);
    EXPECT_FALSE(IsWindowVisible(window_.Handle()));
    window_.Show();
    EXPECT_TRUE(IsWindowVisible(window_.Handle()));
}

// The whole text shows in the box: a U+0000 inside (kept in the drawing) shows as U+2400.
TEST_F(FrmMorvaneTest, MessageBoxShowsTheWholeTextWithNulAsItsSymbol) {
    const std::optional<ui::MessageBoxSeen> seen =
        ShowMessageAndClose(std::u16string(u"Acme\0Ltd\0", 9), u"Morvane");

    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->text, L"Acme\u2400Ltd\u2400");
}

}  // namespace
}  // namespace morvane
