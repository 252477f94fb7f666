// The window in process, against the CAD binding's double: layout and font at the system's DPI and
// after a DPI change on each Windows' DPI functions, keyboard handling through the dialog manager,
// the command's road through the real window, message boxes and bringing both to the front.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "failure/failure.h"
#include "dialog/frm_morvane.h"
#include "dialog/message_loop.h"
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

// Delivers what arrives as the message filter does while a call waits, until the window shows or
// the time is up.
void WaitOnCallUntilShown(HWND window, DWORD milliseconds) {
    const ULONGLONG until = GetTickCount64() + milliseconds;
    while (!IsWindowVisible(window) && GetTickCount64() < until) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        DeliverWaitingMessages(window);
    }
}

// The ends of the process the window asks for, recorded instead of done: the windows under test
// live in this test process.
std::vector<DWORD> g_endsAsked;
void RecordEnd(DWORD afterMs) noexcept { g_endsAsked.push_back(afterMs); }

FrmPlatform TestPlatform(DpiApi dpi = DpiApi::Load(), void (*bringToFront)(HWND) noexcept = &BringToFront,
                         UINT longCallMs = 2000) {
    return FrmPlatform{dpi, bringToFront, longCallMs, &RecordEnd};
}

class FrmMorvaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_endsAsked.clear();
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

    fakes::CallLog log_;
    fakes::FakeCadLink cad_{log_};
    FrmMorvane window_{GetModuleHandleW(nullptr), cad_, nullptr, nullptr, TestPlatform()};
};

RECT ClientRectOf(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Every control's rectangle in the client area, worked out by hand (container offsets converted
// separately), at the two DPIs the tests run at.
struct DpiLayout {
    UINT dpi;
    SIZE client;
    std::array<std::pair<FrmControl, RECT>, 7> controls;
};

constexpr std::array<DpiLayout, 2> kLayouts{{
    {96,
     {202, 191},
     {{{FrmControl::Frame1, {12, 8, 189, 183}},
       {FrmControl::Option1, {30, 26, 163, 51}},
       {FrmControl::Option2, {30, 50, 163, 75}},
       {FrmControl::Option3, {30, 74, 163, 99}},
       {FrmControl::Option4, {30, 98, 163, 123}},
       {FrmControl::cmdSelect, {20, 134, 93, 167}},
       {FrmControl::cmdCancel, {108, 134, 173, 167}}}}},
    {144,
     {303, 287},
     {{{FrmControl::Frame1, {18, 12, 284, 275}},
       {FrmControl::Option1, {45, 39, 245, 77}},
       {FrmControl::Option2, {45, 75, 245, 113}},
       {FrmControl::Option3, {45, 111, 245, 149}},
       {FrmControl::Option4, {45, 147, 245, 185}},
       {FrmControl::cmdSelect, {30, 201, 140, 251}},
       {FrmControl::cmdCancel, {162, 201, 260, 251}}}}},
}};

// The window's client area and controls where the table puts them at the DPI, and every control
// in the system's message font for that DPI (as Windows 10's per-DPI function gives it).
void ExpectLaidOutAt(const FrmMorvane& window, UINT dpi) {
    const DpiLayout* layout = nullptr;
    for (const auto& candidate : kLayouts) {
        layout = candidate.dpi == dpi ? &candidate : layout;
    }
    ASSERT_NE(layout, nullptr) << "no layout worked out for " << dpi << " DPI";
    RECT client{};
    GetClientRect(window.Handle(), &client);
    EXPECT_EQ(client.right, layout->client.cx) << dpi;
    EXPECT_EQ(client.bottom, layout->client.cy) << dpi;
    for (const auto& [control, rect] : layout->controls) {
        const RECT actual = ClientRectOf(window.ControlHandle(control));
        EXPECT_TRUE(EqualRect(&actual, &rect)) << "control " << static_cast<int>(control) << " at " << dpi << " DPI: "
                                               << actual.left << "," << actual.top << "," << actual.right << ","
                                               << actual.bottom;
    }

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi));
    for (const auto& control : kFrmControls) {
        auto font = reinterpret_cast<HFONT>(SendMessageW(window.ControlHandle(control.control), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW used{};
        ASSERT_EQ(GetObjectW(font, sizeof(used), &used), static_cast<int>(sizeof(used)));
        EXPECT_EQ(used.lfHeight, metrics.lfMessageFont.lfHeight) << dpi;
        EXPECT_STREQ(used.lfFaceName, metrics.lfMessageFont.lfFaceName);
    }
}

class FrmMorvaneDpiTest : public ::testing::TestWithParam<DpiLevel> {};

// On each Windows' DPI functions (the newer ones hidden as older Windows lacks them): the window
// opens laid out for the system's DPI, with its font; where monitors have DPIs of their own
// (8.1 on), a DPI change lays it out again at the suggested place and rebuilds the font. The suite
// runs once at 96 and once at 144 system DPI.
TEST_P(FrmMorvaneDpiTest, LayoutAndFontAreExactAtTheSystemDpiAndAfterAChange) {
    fakes::FakeCadLink cad;
    FrmMorvane window(GetModuleHandleW(nullptr), cad, nullptr, nullptr, TestPlatform(DpiApi::Load(GetParam())));
    ASSERT_TRUE(window.Open(SW_SHOWNORMAL)) << GetLastError();
    Pump(window.Handle());
    const UINT systemDpi = GetDpiForSystem();
    // testing/wine/at_dpi.sh says which DPI it set.
    if (wchar_t expected[8]{}; GetEnvironmentVariableW(L"MORVANE_SYSTEM_DPI", expected, 8) > 0) {
        ASSERT_EQ(systemDpi, static_cast<UINT>(_wtoi(expected)));
    }
    ExpectLaidOutAt(window, systemDpi);
    if (GetParam() == DpiLevel::Windows7) {
        return;  // Windows 7 knows one DPI and sends no DPI changes.
    }

    const UINT otherDpi = systemDpi == 96 ? 144 : 96;
    RECT suggested{100, 80, 500, 480};
    SendMessageW(window.Handle(), WM_DPICHANGED, MAKEWPARAM(otherDpi, otherDpi), reinterpret_cast<LPARAM>(&suggested));
    ExpectLaidOutAt(window, otherDpi);
    RECT frame{};
    GetWindowRect(window.Handle(), &frame);
    EXPECT_EQ(frame.left, 100);
    EXPECT_EQ(frame.top, 80);
}

INSTANTIATE_TEST_SUITE_P(Windows, FrmMorvaneDpiTest,
                         ::testing::Values(DpiLevel::Windows10, DpiLevel::Windows81, DpiLevel::Windows7),
                         [](const ::testing::TestParamInfo<DpiLevel>& info) {
                             switch (info.param) {
                             case DpiLevel::Windows10:
                                 return std::string("Windows10");
                             case DpiLevel::Windows81:
                                 return std::string("Windows81");
                             case DpiLevel::Windows7:
                                 return std::string("Windows7");
                             }
                             return std::string();
                         });

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
// entity go without another call to the CAD application, the program bound to end within a second
// (the release may wait on the CAD application).
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
    EXPECT_EQ(g_endsAsked, std::vector<DWORD>{kClosingMs});
}

// While the command waits on the CAD application (here: while it makes the application visible),
// the window is still answering: it shows the wait cursor, delivers its messages as the loop does,
// and ignores a second "Select Text"; afterwards the cursor is the arrow again.
TEST_F(FrmMorvaneTest, WhileACallWaitsTheWindowAnswersAndIgnoresASecondSelect) {
    cad_.PickText(u"Abc");
    const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    bool sawWait = false;
    log_.Observe([&](std::string_view call) {
        if (call != "SetVisible(true)") return;
        sawWait = SendMessageW(window_.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window_.Handle()), overClient) &&
                  GetCursor() == wait;
        PostMessageW(Control(FrmControl::cmdSelect), BM_CLICK, 0, 0);
        PostMessageW(Control(FrmControl::Option3), BM_CLICK, 0, 0);
        DeliverWaitingMessages(window_.Handle());
    });
    Click(FrmControl::cmdSelect);
    log_.Observe(nullptr);

    EXPECT_TRUE(sawWait);
    const std::vector<std::string>& calls = cad_.Log().Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Attach"), 1);
    // The option chosen while the call waited is the one the command converts with.
    EXPECT_EQ(Checks(), (std::array{false, false, true, false}));
    EXPECT_TRUE(std::find(calls.begin(), calls.end(), "WriteTextString(Abc)") != calls.end());
    SendMessageW(window_.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window_.Handle()), overClient);
    EXPECT_NE(GetCursor(), wait);
}

// The window with a long-call time of 10 ms instead of 2 s, over a fake CAD application.
class FrmMorvaneLongCallTest : public ::testing::Test {
protected:
    explicit FrmMorvaneLongCallTest(DWORD longCallMs = 10)
        : window_{GetModuleHandleW(nullptr), cad_, nullptr, nullptr, TestPlatform(DpiApi::Load(), &BringToFront, longCallMs)} {}

    void SetUp() override {
        ASSERT_TRUE(window_.Open(SW_SHOWNORMAL)) << GetLastError();
        Pump(window_.Handle());
    }

    fakes::CallLog log_;
    fakes::FakeCadLink cad_{log_};
    FrmMorvane window_;
};

// A clock long enough that no pause of a loaded machine between the pick and the command's box
// reaches it (with 10 ms, one did: the window rightly came back before the box showed).
class FrmMorvaneOwnBoxTest : public FrmMorvaneLongCallTest {
protected:
    static constexpr DWORD kLongCallMs = 500;
    FrmMorvaneOwnBoxTest() : FrmMorvaneLongCallTest(kLongCallMs) {}
};

// A call after the pick that keeps waiting on the CAD application brings the window back (here
// after 10 ms instead of 2 s), above every window until the command ends, with the wait cursor,
// so that "Cancel" is within reach; "Select Text" stays ignored. The pick itself, however long the
// user takes, leaves the window hidden.
TEST_F(FrmMorvaneLongCallTest, ALongCallAfterThePickShowsTheWindowAgain) {
    fakes::FakeEntity& text = cad_.PickText(u"Abc");
    const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    bool hiddenThroughThePick = false;
    bool shownWhileWriting = false;
    bool topmostWhileWaiting = false;
    bool waitCursor = false;
    log_.Observe([&](std::string_view call) {
        if (call.starts_with("GetEntity")) {
            WaitOnCallUntilShown(window_.Handle(), 200);
            hiddenThroughThePick = !IsWindowVisible(window_.Handle());
        } else if (call.starts_with("WriteTextString") && !shownWhileWriting) {
            WaitOnCallUntilShown(window_.Handle(), 10'000);
            shownWhileWriting = IsWindowVisible(window_.Handle());
            topmostWhileWaiting = (GetWindowLongPtrW(window_.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            waitCursor = SendMessageW(window_.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window_.Handle()), overClient) &&
                         GetCursor() == LoadCursorW(nullptr, IDC_WAIT);
            PostMessageW(window_.ControlHandle(FrmControl::cmdSelect), BM_CLICK, 0, 0);
            DeliverWaitingMessages(window_.Handle());
        }
    });
    SendMessageW(window_.ControlHandle(FrmControl::cmdSelect), BM_CLICK, 0, 0);
    Pump(window_.Handle());
    log_.Observe(nullptr);

    EXPECT_TRUE(hiddenThroughThePick);
    EXPECT_TRUE(shownWhileWriting);
    EXPECT_TRUE(topmostWhileWaiting) << "above the CAD application, which has the foreground";
    EXPECT_TRUE(waitCursor);
    EXPECT_EQ(GetWindowLongPtrW(window_.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "an ordinary window again";
    const std::vector<std::string>& calls = log_.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Attach"), 1);
    EXPECT_EQ(text.textString, u"ABC");
    EXPECT_TRUE(IsWindowVisible(window_.Handle()));
}

// A box of the command's own after the pick (the text behind the underline code) waits on the
// user, not on the CAD application: however long it stays open the window stays hidden, and the
// long-call clock starts again once it is closed.
TEST_F(FrmMorvaneOwnBoxTest, TheCommandsOwnBoxStopsTheLongCallClock) {
    fakes::FakeEntity& text = cad_.PickText(u"%%Unote");
    bool hiddenWhileTheBoxShowed = false;
    std::thread user([&] {
        const std::optional<ui::MessageBoxSeen> seen = ui::WaitForMessageBox(GetCurrentProcessId(), 10000);
        if (!seen) return;
        Sleep(3 * kLongCallMs);
        hiddenWhileTheBoxShowed = !IsWindowVisible(window_.Handle());
        (void)ui::CloseMessageBox(*seen);
    });
    bool shownWhileWriting = false;
    log_.Observe([&](std::string_view call) {
        if (!call.starts_with("WriteTextString")) return;
        WaitOnCallUntilShown(window_.Handle(), 10'000);
        shownWhileWriting = IsWindowVisible(window_.Handle());
    });
    SendMessageW(window_.ControlHandle(FrmControl::cmdSelect), BM_CLICK, 0, 0);
    Pump(window_.Handle());
    log_.Observe(nullptr);
    user.join();

    EXPECT_TRUE(hiddenWhileTheBoxShowed);
    EXPECT_TRUE(shownWhileWriting) << "the clock did not start again after the box";
    EXPECT_EQ(text.textString, u"%%uNOTE");
    EXPECT_TRUE(IsWindowVisible(window_.Handle()));
}

// Once the command has shown the window again it only lets go of its references, each last release
// a call that may wait: "Select Text" pressed meanwhile (delivered while such a call waits) runs
// once the command has ended; "Cancel" hides the window at once, bounds the program's end to a
// second, and closes the window once the command has ended.
TEST_F(FrmMorvaneTest, PressesWhileTheCommandEnds) {
    cad_.PickText(u"Abc");
    const auto pressWhileEnding = [&](FrmControl button) {
        log_.Observe([&, button, pressed = false](std::string_view call) mutable {
            if (call != "Update" || pressed) return;
            pressed = true;
            window_.EnterPhase(CommandPhase::Ending);  // as the command is once it has shown the window
            SendMessageW(Control(button), BM_CLICK, 0, 0);
        });
    };
    pressWhileEnding(FrmControl::cmdSelect);
    Click(FrmControl::cmdSelect);
    const std::vector<std::string>& calls = cad_.Log().Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Attach"), 2);
    EXPECT_TRUE(IsWindowVisible(window_.Handle()));
    EXPECT_TRUE(g_endsAsked.empty());

    pressWhileEnding(FrmControl::cmdCancel);
    Click(FrmControl::cmdSelect);
    log_.Observe(nullptr);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Attach"), 3);
    EXPECT_EQ(g_endsAsked, (std::vector<DWORD>{kClosingMs, kClosingMs}));
    EXPECT_EQ(window_.Handle(), nullptr);
}

// "Cancel" while a write inside an undo group waits: the window hides at once and the process is
// bound to end within 10 s; once the write returns nothing more is written, the group is closed,
// no box shows, and the window closes (the program then ends within a second).
TEST_F(FrmMorvaneTest, CancelInsideAnUndoGroupClosesTheGroupFirst) {
    cad_.PickBlock({u"one", u"two"});
    bool hiddenAtOnce = false;
    log_.Observe([&, pressed = false](std::string_view call) mutable {
        if (call != "ATTRIB1.WriteTextString(ONE)" || pressed) return;
        pressed = true;
        SendMessageW(Control(FrmControl::cmdCancel), BM_CLICK, 0, 0);
        hiddenAtOnce = !IsWindowVisible(window_.Handle());
    });
    Click(FrmControl::cmdSelect);
    log_.Observe(nullptr);

    EXPECT_TRUE(hiddenAtOnce);
    const std::vector<std::string>& calls = cad_.Log().Calls();
    const auto start = std::find(calls.begin(), calls.end(), "StartUndoMark");
    ASSERT_NE(start, calls.end());
    EXPECT_EQ(std::vector<std::string>(start, calls.end()),
              (std::vector<std::string>{"StartUndoMark", "ATTRIB1.WriteTextString(ONE)", "EndUndoMark"}));
    EXPECT_EQ(g_endsAsked, (std::vector<DWORD>{kUndoGroupClosingMs, kClosingMs}));
    EXPECT_EQ(window_.Handle(), nullptr);
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

// A message box shows even while the window is hidden (as it is during a pick): OK only, no icon,
// the given text and caption, owned by no window so that it has a taskbar button of its own.
TEST_F(FrmMorvaneTest, MessageBoxShowsWhileTheWindowIsHidden) {
    window_.Hide();
    const std::optional<ui::MessageBoxSeen> seen =
        ShowMessageAndClose(u"Missed the object, please try again", u"Selection Error");

    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->owner, nullptr);
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


// What the window did to come to the front, in order: each call of the routine that brings a
// window to the front (with whether the window was showing), and each message box as it showed.
class FrontLog {
public:
    static FrontLog*& Current() {
        static FrontLog* current = nullptr;
        return current;
    }
    static void BringToFront(HWND window) noexcept {
        Current()->Add(IsWindowVisible(window) ? "front(shown)" : "front(hidden)");
    }
    void Add(std::string event) {
        const std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    std::vector<std::string> Events() {
        const std::lock_guard lock(mutex_);
        return events_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> events_;
};

struct FrontCase {
    const char* name;
    void (*arrange)(fakes::FakeCadLink& cad);
    std::vector<std::string> events;
};

class FrmMorvaneFrontTest : public ::testing::TestWithParam<FrontCase> {};

// The window comes to the front on every way back from a command and before every message box
// (the box itself then takes the front), whichever way the command ends; never while it stays
// away for the pick.
TEST_P(FrmMorvaneFrontTest, ComesToTheFrontOnEveryWayBackAndBeforeEveryBox) {
    FrontLog log;
    FrontLog::Current() = &log;
    fakes::FakeCadLink cad;
    GetParam().arrange(cad);
    FrmMorvane window(GetModuleHandleW(nullptr), cad, nullptr, nullptr,
                      TestPlatform(DpiApi::Load(), &FrontLog::BringToFront));
    ASSERT_TRUE(window.Open(SW_SHOWNORMAL)) << GetLastError();
    Pump(window.Handle());

    // Reads and closes every box the command shows, until it has ended.
    std::atomic<bool> commandRunning{true};
    std::thread watcher([&] {
        while (commandRunning) {
            if (const auto box = ui::WaitForMessageBox(GetCurrentProcessId(), 50)) {
                log.Add("box(" + ui::Utf8(box->text) + ")");
                (void)ui::CloseMessageBox(*box);
            }
        }
    });
    SendMessageW(window.ControlHandle(FrmControl::cmdSelect), BM_CLICK, 0, 0);
    commandRunning = false;
    watcher.join();
    Pump(window.Handle());
    FrontLog::Current() = nullptr;

    EXPECT_EQ(log.Events(), GetParam().events);
    EXPECT_TRUE(IsWindowVisible(window.Handle()));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, FrmMorvaneFrontTest,
    ::testing::Values(
        FrontCase{"plain_text", [](fakes::FakeCadLink& cad) { cad.PickText(u"Abc"); }, {"front(shown)"}},
        FrontCase{"underlined_text", [](fakes::FakeCadLink& cad) { cad.PickText(u"%%Uabc"); },
                  {"front(hidden)", "box(abc)", "front(shown)"}},
        FrontCase{"no_text_property", [](fakes::FakeCadLink& cad) { cad.PickLine(); }, {"front(shown)"}},
        FrontCase{"missed_pick", [](fakes::FakeCadLink&) {},
                  {"front(hidden)", "box(Missed the object, please try again)", "front(shown)"}},
        FrontCase{"not_running", [](fakes::FakeCadLink& cad) { cad.FailAt("Attach", error_number::kCannotAttach); },
                  {"front(shown)", "box(Please start AutoCAD)"}},
        FrontCase{"no_window_before_hiding", [](fakes::FakeCadLink& cad) { cad.FailAt("BringWindowToFront", error_number::kInvalidCall); },
                  {"front(shown)", "box(error: 5)", "front(shown)"}},
        FrontCase{"write_refused_after_the_underline_box",
                  [](fakes::FakeCadLink& cad) {
                      cad.PickText(u"%%Uabc");
                      cad.FailAt("WriteTextString", -2147467259);
                  },
                  {"front(hidden)", "box(abc)", "front(hidden)", "box(error: -2147467259)", "front(shown)"}}),
    [](const ::testing::TestParamInfo<FrontCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvane
