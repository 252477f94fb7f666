// End to end: the real morvane.exe driven through its window, against the stand-in CAD application.
// Usage: morvane_e2e_tests <morvane.exe> <cadstandin.exe> [GoogleTest options]
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "testing/command_host/stand_in.h"
#include "testing/ui_driver/e2e_support.h"
#include "testing/ui_driver/morvane_session.h"
#include "testing/ui_driver/ui_driver.h"

namespace morvane::ui {
namespace {

// The stand-in's drawing window.
HWND StandinWindow() { return testing_support::FindTopWindow(testing_support::WindowQuery().OfClass(L"CadStandinDrawing")); }

// No client holds anything: no external connection on any object, apart from the running object
// table's one on the published application.
void ExpectHeldOnly(const std::map<std::string, int>& external, const std::string& picked) {
    for (const auto& [object, count] : external) {
        const int expected = object == "app" || object == picked ? 1 : 0;
        EXPECT_EQ(count, expected) << object;
    }
}

// The window: caption, icon class, captions of the controls in tab order (creation order), Option1
// selected and focused on opening.
TEST(MorvaneWindow, OpensWithItsControlsInTabOrderAndOption1SelectedAndFocused) {
    Morvane morvane;
    EXPECT_EQ(WindowText(morvane.Window()), L"Morvane");
    std::vector<std::wstring> captions;
    for (HWND child : Children(morvane.Window())) {
        captions.push_back(WindowText(child));
    }
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"", L"ALL UPPERCASE", L"all lowercase", L"Title Case",
                                                   L"Select Text", L"Cancel", L"Sentence Case"}));
    EXPECT_EQ(morvane.Checks(), (std::array{true, false, false, false}));
    EXPECT_EQ(FocusOf(morvane.Window()), morvane.Control(L"ALL UPPERCASE"));
    EXPECT_EQ(GetForegroundWindow(), morvane.Window());
    // The manifest makes the window per-monitor DPI aware.
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(morvane.Window())),
              DPI_AWARENESS_PER_MONITOR_AWARE);
    for (HWND child : Children(morvane.Window())) {
        EXPECT_TRUE(IsWindowEnabled(child));
    }
}

// Geometry at 96 DPI: the client area 3030 x 2865 twips, each control at its twips (15 to a pixel)
// in its container, the controls inside Frame1 offset by Frame1's position.
TEST(MorvaneWindow, ControlsSitWhereTheirTwipsPutThemAt96Dpi) {
    Morvane morvane;
    ASSERT_EQ(GetDpiForWindow(morvane.Window()), 96u);
    RECT client{};
    GetClientRect(morvane.Window(), &client);
    EXPECT_EQ(client.right, 202);
    EXPECT_EQ(client.bottom, 191);
    struct Expected {
        const wchar_t* caption;
        RECT rect;
    };
    const std::array<Expected, 7> expected{{
        {L"", {12, 8, 189, 183}},
        {L"ALL UPPERCASE", {30, 26, 163, 51}},
        {L"all lowercase", {30, 50, 163, 75}},
        {L"Title Case", {30, 74, 163, 99}},
        {L"Sentence Case", {30, 98, 163, 123}},
        {L"Select Text", {20, 134, 93, 167}},
        {L"Cancel", {108, 134, 173, 167}},
    }};
    for (const auto& [caption, rect] : expected) {
        const RECT actual = RectInClient(morvane.Control(caption));
        EXPECT_TRUE(EqualRect(&actual, &rect)) << Utf8(caption) << ": " << actual.left << "," << actual.top << ","
                                              << actual.right << "," << actual.bottom;
    }
    // A fixed frame with a minimise box, no maximise box.
    const LONG style = GetWindowLongW(morvane.Window(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
              WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
}

// Tab follows the tab index and reaches the option group through its selected option, which is
// Option4's place (after "Cancel") once Option4 is selected.
TEST(MorvaneWindow, TabFollowsTheTabIndex) {
    Morvane morvane;
    auto walk = [&](int presses) {
        std::vector<std::wstring> visited{WindowText(FocusOf(morvane.Window()))};
        for (int i = 0; i < presses; ++i) {
            PostKey(morvane.Window(), VK_TAB);
            morvane.Sync();
            visited.push_back(WindowText(FocusOf(morvane.Window())));
        }
        return visited;
    };
    EXPECT_EQ(walk(3), (std::vector<std::wstring>{L"ALL UPPERCASE", L"Select Text", L"Cancel", L"ALL UPPERCASE"}));

    PostMessageW(morvane.Control(L"Sentence Case"), BM_CLICK, 0, 0);
    morvane.Sync();
    EXPECT_EQ(walk(3), (std::vector<std::wstring>{L"Sentence Case", L"Select Text", L"Cancel", L"Sentence Case"}));
}

// Escape neither cancels nor closes, and Enter on an option presses nothing: the window has
// neither a cancel nor a default button.
TEST(MorvaneWindow, EscapeAndEnterDoNothingOutsideTheButtons) {
    Morvane morvane;
    PostKey(morvane.Window(), VK_ESCAPE);
    PostKey(morvane.Window(), VK_RETURN);
    morvane.Sync();
    EXPECT_TRUE(morvane.Program().Running());
    EXPECT_TRUE(IsWindowVisible(morvane.Window()));
    EXPECT_FALSE(WaitForMessageBox(morvane.Program().Id(), 300).has_value());
}

// Exactly one option is selected after every click, Option4 included although it is not next to
// the others in the tab order.
TEST(MorvaneWindow, ExactlyOneOptionIsSelectedAtATime) {
    Morvane morvane;
    for (int index : {2, 3, 0, 3, 1, 0}) {
        PostMessageW(morvane.Control(Morvane::kOptions[static_cast<std::size_t>(index)]), BM_CLICK, 0, 0);
        morvane.Sync();
        std::array<bool, 4> expected{};
        expected[static_cast<std::size_t>(index)] = true;
        EXPECT_EQ(morvane.Checks(), expected) << "after clicking option " << index + 1;
    }
}

// The icon in the built program: one 32 x 32 image of 16 colours, fully opaque, pure blue on
// white, pixel for pixel as drawn by hand below.
TEST(MorvaneWindow, IconIsTheBlueFigureOnWhite) {
    // Blue column spans of each row: the arch, then the two bars narrowing from row 19.
    struct Span {
        int from;
        int to;
    };
    std::array<std::vector<Span>, 32> blue{};
    blue[3] = {{12, 19}};
    blue[4] = {{10, 21}};
    blue[5] = {{9, 22}};
    blue[6] = {{8, 23}};
    blue[7] = {{7, 24}};
    blue[8] = {{6, 25}};
    for (int row = 12; row <= 19; ++row) {
        blue[static_cast<std::size_t>(row)] = {{4, 13}, {18, 27}};
    }
    blue[20] = {{5, 13}, {18, 26}};
    blue[21] = {{6, 13}, {18, 25}};
    blue[22] = {{7, 13}, {18, 24}};
    blue[23] = {{8, 13}, {18, 23}};
    blue[24] = {{9, 13}, {18, 22}};
    blue[25] = {{10, 13}, {18, 21}};
    blue[26] = {{11, 13}, {18, 20}};
    blue[27] = {{12, 13}, {18, 19}};

    HMODULE program = LoadLibraryExW(Morvane::ProgramPath().c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr);

    // The icon group: one image, 32 x 32, 16 colours, 4 bits a pixel.
    HRSRC groupResource = FindResourceW(program, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
    ASSERT_NE(groupResource, nullptr);
    const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(program, groupResource)));
    ASSERT_NE(group, nullptr);
    std::uint16_t count = 0;
    std::memcpy(&count, group + 4, 2);
    EXPECT_EQ(count, 1);
    const BYTE* entry = group + 6;
    EXPECT_EQ(entry[0], 32);
    EXPECT_EQ(entry[1], 32);
    EXPECT_EQ(entry[2], 16);
    std::uint16_t bitCount = 0;
    std::memcpy(&bitCount, entry + 6, 2);
    EXPECT_EQ(bitCount, 4);

    auto icon = static_cast<HICON>(LoadImageW(program, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    HDC screen = GetDC(nullptr);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    format.bmiHeader.biWidth = 32;
    format.bmiHeader.biHeight = -32;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::array<std::uint32_t, 32 * 32> colour{};
    std::array<std::uint32_t, 32 * 32> mask{};
    ASSERT_EQ(GetDIBits(screen, info.hbmColor, 0, 32, colour.data(), &format, DIB_RGB_COLORS), 32);
    ASSERT_EQ(GetDIBits(screen, info.hbmMask, 0, 32, mask.data(), &format, DIB_RGB_COLORS), 32);
    ReleaseDC(nullptr, screen);

    int wrong = 0;
    for (int row = 0; row < 32; ++row) {
        for (int column = 0; column < 32; ++column) {
            bool isBlue = false;
            for (const Span& span : blue[static_cast<std::size_t>(row)]) {
                isBlue = isBlue || (column >= span.from && column <= span.to);
            }
            const std::uint32_t expected = isBlue ? 0x0000FF : 0xFFFFFF;
            const std::size_t at = static_cast<std::size_t>(row * 32 + column);
            if ((colour[at] & 0xFFFFFF) != expected || (mask[at] & 0xFFFFFF) != 0) {
                ADD_FAILURE() << "pixel row " << row << " column " << column << ": colour " << std::hex
                              << (colour[at] & 0xFFFFFF) << " mask " << (mask[at] & 0xFFFFFF);
                if (++wrong > 10) {
                    break;
                }
            }
        }
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
    FreeLibrary(program);
}

// Cancel ends the program at once, with no message; so does the close box.
TEST(MorvaneWindow, CancelAndTheCloseBoxEndTheProgram) {
    {
        Morvane morvane;
        morvane.Press(L"Cancel");
        ASSERT_TRUE(morvane.Program().WaitForExit(kTimeoutMs));
        EXPECT_EQ(morvane.Program().ExitCode(), 0u);
    }
    {
        Morvane morvane;
        PostMessageW(morvane.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(morvane.Program().WaitForExit(kTimeoutMs));
        EXPECT_EQ(morvane.Program().ExitCode(), 0u);
    }
}

// No CAD application running: only "Please start AutoCAD" / "AutoCAD not Open", OK only and no
// icon, and the window never leaves the screen.
TEST(MorvanePick, WithoutTheCadApplicationAsksToStartItAndNeverHides) {
    Morvane morvane;
    std::atomic<bool> watching{true};
    std::atomic<bool> hidden{false};
    std::thread watcher([&] {
        while (watching) {
            if (!IsWindowVisible(morvane.Window())) {
                hidden = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    morvane.Press(L"Select Text");
    const auto box = WaitForMessageBox(morvane.Program().Id(), kTimeoutMs);
    watching = box.has_value() ? watching.load() : false;
    if (box) {
        EXPECT_EQ(box->caption, L"AutoCAD not Open");
        EXPECT_EQ(box->text, L"Please start AutoCAD");
        EXPECT_EQ(box->buttons, std::vector<std::wstring>{L"OK"});
        EXPECT_FALSE(box->iconShown);
        EXPECT_EQ(box->owner, morvane.Window());
        EXPECT_TRUE(CloseMessageBox(*box));
        morvane.Sync();
    }
    watching = false;
    watcher.join();
    ASSERT_TRUE(box.has_value());
    EXPECT_FALSE(hidden);
    EXPECT_FALSE(WaitForMessageBox(morvane.Program().Id(), 300).has_value());
}

// The road of one pick: "%%Unote" with ALL UPPERCASE shows "note" while the window is away,
// writes "%%uNOTE" and redraws it, with the stand-in's window in front for the pick; Morvane comes
// back in front, where it was, with the same option; while it runs it holds exactly one reference
// in the stand-in, on the picked entity.
TEST(MorvanePick, TheRoadOfOnePick) {
    StandIn standin(TestName(), Scenario("%%Unote", "pick t1\n"));
    ASSERT_TRUE(standin.Ready()) << standin.Problem();
    Morvane morvane;
    RECT before{};
    GetWindowRect(morvane.Window(), &before);
    morvane.Press(L"Select Text");

    const auto box = WaitForMessageBox(morvane.Program().Id(), kTimeoutMs);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, L"Morvane");
    EXPECT_EQ(box->text, L"note");
    EXPECT_EQ(box->buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_FALSE(box->iconShown);
    EXPECT_FALSE(IsWindowVisible(morvane.Window()));
    EXPECT_FALSE(WaitForLogLine(standin, {"pick-begin", "prompt=\"Select Text from the drawing:\"", "foreground=yes"}, 0)
                     .empty());
    EXPECT_TRUE(standin.LogLines("call t1 TextString.put").empty());
    EXPECT_TRUE(CloseMessageBox(*box));

    ASSERT_TRUE(WaitVisible(morvane));
    EXPECT_FALSE(WaitForLogLine(standin, {"call t1 TextString.put", "value=\"%%uNOTE\"", "hr=0x00000000"}, kTimeoutMs)
                     .empty());
    EXPECT_FALSE(WaitForLogLine(standin, {"call t1 Update", "hr=0x00000000"}, kTimeoutMs).empty());
    RECT after{};
    GetWindowRect(morvane.Window(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    morvane.Sync();
    EXPECT_EQ(morvane.Checks(), (std::array{true, false, false, false}));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == morvane.Window(); }, kTimeoutMs));

    const auto references = standin.Dump();
    ASSERT_TRUE(references.has_value());
    ASSERT_EQ(references->external.count("t1"), 1u);
    ExpectHeldOnly(references->external, "t1");
}

struct FrontCase {
    const char* name;
    bool byKeyboard;  // Tab to "Select Text" and Enter, rather than a click that leaves the focus
    const wchar_t* focused;
};

class MorvaneFront : public ::testing::TestWithParam<FrontCase> {};

// After the pick the stand-in had the last input; the box showing the underlined text then takes
// the front, and once it is closed the window does, with the focus on the control that had it.
TEST_P(MorvaneFront, TheBoxAndThenTheWindowTakeTheFrontAndTheFocus) {
    const FrontCase& c = GetParam();
    StandIn standin(TestName(), Scenario("%%Unote", "pick t1\n"));
    ASSERT_TRUE(standin.Ready()) << standin.Problem();
    Morvane morvane;
    if (c.byKeyboard) {
        PostKey(morvane.Window(), VK_TAB);
        morvane.Sync();
        ASSERT_EQ(FocusOf(morvane.Window()), morvane.Control(L"Select Text"));
        PostKey(morvane.Window(), VK_RETURN);
    } else {
        morvane.Press(L"Select Text");
    }

    const auto box = WaitForMessageBox(morvane.Program().Id(), kTimeoutMs);
    ASSERT_TRUE(box.has_value());
    EXPECT_FALSE(WaitForLogLine(standin, {"pick-begin", "foreground=yes"}, 0).empty());
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == box->box; }, kTimeoutMs));
    EXPECT_EQ(box->owner, nullptr);
    EXPECT_TRUE(CloseMessageBox(*box));

    ASSERT_TRUE(WaitVisible(morvane));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == morvane.Window(); }, kTimeoutMs));
    morvane.Sync();
    EXPECT_EQ(FocusOf(morvane.Window()), morvane.Control(c.focused));
}

INSTANTIATE_TEST_SUITE_P(Focus, MorvaneFront,
                         ::testing::Values(FrontCase{"select_text_by_keyboard", true, L"Select Text"},
                                           FrontCase{"option_kept_its_focus", false, L"ALL UPPERCASE"}),
                         [](const ::testing::TestParamInfo<FrontCase>& info) { return std::string(info.param.name); });

// While the pick waits for the user, Morvane is off the screen and the stand-in's window is in
// front; a pick that runs out ends in "Missed the object" and the window comes back.
TEST(MorvanePick, WindowIsHiddenWhileThePickWaits) {
    StandIn standin(TestName(), Scenario("Abc", "pick click\npick-timeout 2\n"));
    ASSERT_TRUE(standin.Ready()) << standin.Problem();
    Morvane morvane;
    morvane.Press(L"Select Text");
    ASSERT_FALSE(WaitForLogLine(standin, {"pick-begin", "source=click"}, kTimeoutMs).empty());
    EXPECT_FALSE(IsWindowVisible(morvane.Window()));
    EXPECT_EQ(GetForegroundWindow(), StandinWindow());

    const auto box = WaitForMessageBox(morvane.Program().Id(), kTimeoutMs);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, L"Missed the object, please try again");
    EXPECT_TRUE(CloseMessageBox(*box));
    EXPECT_TRUE(WaitVisible(morvane));
}

struct ModeCase {
    const wchar_t* option;
    const char* text;
    const char* written;
};

class MorvaneModes : public ::testing::TestWithParam<ModeCase> {};

// Each option converts in its own case, and the option stays selected for the next command.
TEST_P(MorvaneModes, EachOptionWritesItsCaseAndStaysSelected) {
    const ModeCase& c = GetParam();
    StandIn standin(TestName(), Scenario(c.text, "pick t1\npick t1\n"));
    ASSERT_TRUE(standin.Ready()) << standin.Problem();
    Morvane morvane;
    PostMessageW(morvane.Control(c.option), BM_CLICK, 0, 0);
    morvane.Sync();
    const auto checks = morvane.Checks();
    for (int run = 1; run <= 2; ++run) {
        morvane.Press(L"Select Text");
        ASSERT_FALSE(WaitForLogLine(standin, {"pick-end n=" + std::to_string(run)}, kTimeoutMs).empty());
        ASSERT_TRUE(WaitVisible(morvane));
        morvane.Sync();
        EXPECT_EQ(morvane.Checks(), checks) << "after run " << run;
    }
    const auto writes = standin.LogLines("call t1 TextString.put");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_NE(writes[0].find(std::string("value=\"") + c.written + "\""), std::string::npos) << writes[0];
    EXPECT_FALSE(WaitForMessageBox(morvane.Program().Id(), 100).has_value());
}

INSTANTIATE_TEST_SUITE_P(Options, MorvaneModes,
                         ::testing::Values(ModeCase{L"ALL UPPERCASE", "hello World. bye", "HELLO WORLD. BYE"},
                                           ModeCase{L"all lowercase", "Hello WORLD", "hello world"},
                                           ModeCase{L"Title Case", "hello o'neil x-ray", "Hello O'neil X-ray"},
                                           ModeCase{L"Sentence Case", "hello WORLD. bye", "Hello world. Bye"}));

struct FailureCase {
    const char* name;
    const char* scenario;
    const wchar_t* caption;
    const wchar_t* text;
    bool hiddenDuringBox;
};

class MorvaneFailures : public ::testing::TestWithParam<FailureCase> {};

// Each failure's message with its caption, OK only and no icon, shown while the window is away,
// and the window back afterwards.
TEST_P(MorvaneFailures, ShowTheirMessageAndBringTheWindowBack) {
    const FailureCase& c = GetParam();
    StandIn standin(TestName(), Scenario("Abc", c.scenario));
    ASSERT_TRUE(standin.Ready()) << standin.Problem();
    Morvane morvane;
    morvane.Press(L"Select Text");
    if (c.caption == nullptr) {
        ASSERT_FALSE(WaitForLogLine(standin, {"pick-end n=1"}, kTimeoutMs).empty());
        ASSERT_TRUE(WaitVisible(morvane));
        EXPECT_FALSE(WaitForMessageBox(morvane.Program().Id(), 500).has_value());
    } else {
        const auto box = WaitForMessageBox(morvane.Program().Id(), kTimeoutMs);
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->caption, c.caption);
        EXPECT_EQ(box->text, c.text);
        EXPECT_EQ(box->buttons, std::vector<std::wstring>{L"OK"});
        EXPECT_FALSE(box->iconShown);
        EXPECT_EQ(IsWindowVisible(morvane.Window()) == FALSE, c.hiddenDuringBox);
        EXPECT_TRUE(CloseMessageBox(*box));
        ASSERT_TRUE(WaitVisible(morvane));
    }
    EXPECT_TRUE(morvane.Program().Running());
    EXPECT_TRUE(standin.LogLines("call t1 Update").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, MorvaneFailures,
    ::testing::Values(FailureCase{"missed", "pick miss\n", L"Selection Error", L"Missed the object, please try again", true},
                      FailureCase{"cancelled", "pick cancel\n", L"Selection Error",
                                  L"Missed the object, please try again", true},
                      FailureCase{"no_text_property", "pick l1\n", nullptr, nullptr, true},
                      FailureCase{"write_refused", "pick t1\nfail t1 TextString.put 0x80004005\n", L"Morvane",
                                  L"error: -2147467259", true},
                      FailureCase{"no_window_title", "pick t1\nfail app Caption.get 0x80070005\n", L"Morvane",
                                  L"error: -2147024891", false}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// After "Cancel" with an entity picked, the stand-in sees no reference on anything and the
// drawing keeps the written text, untouched since.
TEST(MorvanePick, CancelLetsEveryReferenceGo) {
    StandIn standin(TestName(), Scenario("Abc", "pick t1\n"));
    ASSERT_TRUE(standin.Ready()) << standin.Problem();
    {
        Morvane morvane;
        morvane.Press(L"Select Text");
        ASSERT_FALSE(WaitForLogLine(standin, {"call t1 Update"}, kTimeoutMs).empty());
        ASSERT_TRUE(WaitVisible(morvane));
        const std::size_t linesBefore = standin.LogLines("call ").size();
        morvane.Press(L"Cancel");
        ASSERT_TRUE(morvane.Program().WaitForExit(kTimeoutMs));
        EXPECT_EQ(standin.LogLines("call ").size(), linesBefore);
    }
    const auto references = standin.Dump();
    ASSERT_TRUE(references.has_value());
    ExpectHeldOnly(references->external, "");
}

// ------------------------------------------------------------------------------------------------------
// A busy or hung CAD application

struct HungCase {
    const char* name;
    int hangSeconds;
    void (*press)(const Morvane& morvane);
};

class MorvaneHung : public ::testing::TestWithParam<HungCase> {};

// A call that hangs while the dialog is visible: the window keeps painting, and a press on
// "Cancel" (its click notification) or the close box while the call hangs ends the program at
// once, before the call returns, with no further call and nothing written. The test follows the
// stand-in's log, not the clock: it presses once the log shows the call hanging, and the program
// must be gone before the log shows the call returning (the hang is long enough for a loaded
// machine; the time from press to end is printed, not checked). Letting go of the application's
// objects would itself be a call into the hung application; COM runs the references of a client
// that has gone down on Windows (after its ping timeout), Wine 8 does not: they stay until the
// stand-in exits, and are reported here, not checked.
TEST_P(MorvaneHung, CancelEndsTheProgramAtOnce) {
    const HungCase& c = GetParam();
    StandIn standin(TestName(), Scenario("abc", "pick t1\nhang app Visible.put " + std::to_string(c.hangSeconds) + "\n"));
    ASSERT_TRUE(standin.Ready()) << standin.Problem();
    Morvane morvane;
    morvane.Press(L"Select Text");
    ASSERT_FALSE(WaitForLogLine(standin, {"hang app Visible.put"}, kTimeoutMs).empty());
    EXPECT_TRUE(IsWindowVisible(morvane.Window()));
    EXPECT_TRUE(Repaints(morvane.Window(), kTimeoutMs)) << "the window did not paint while the call hung";
    ASSERT_TRUE(WaitForLogLine(standin, {"call app Visible.put"}, 0).empty()) << "the call returned before the press";

    const auto pressed = std::chrono::steady_clock::now();
    c.press(morvane);
    // The safety bound only: whether the program ended in time is read from the log below.
    ASSERT_TRUE(morvane.Program().WaitForExit(static_cast<DWORD>(c.hangSeconds + 10) * 1000));
    const bool callReturned = !WaitForLogLine(standin, {"call app Visible.put"}, 0).empty();
    const auto ended = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed);
    EXPECT_FALSE(callReturned) << "the program ended only after the hung call returned";
    std::printf("%s: the program ended %lld ms after the press, the call still hanging\n", c.name,
                static_cast<long long>(ended.count()));
    RecordProperty("ended_after_press_ms", static_cast<int>(ended.count()));
    EXPECT_EQ(morvane.Program().ExitCode(), 0u);

    // Once the hung call has returned (ended now, the program being gone): it was the last, and
    // nothing was written.
    standin.EndWaits();
    ASSERT_FALSE(WaitForLogLine(standin, {"call app Visible.put"}, kTimeoutMs).empty());
    const auto references = standin.Dump();
    ASSERT_TRUE(references.has_value());
    const std::vector<std::string> calls = standin.LogLines("call ");
    ASSERT_FALSE(calls.empty());
    EXPECT_NE(calls.back().find("call app Visible.put"), std::string::npos) << calls.back();
    EXPECT_TRUE(Writes(standin).empty());
    EXPECT_TRUE(standin.LogLines("pick-begin").empty());
    for (const auto& [object, connections] : references->external) {
        if (connections != 0) std::printf("%s: still connected to %s: %d\n", c.name, object.c_str(), connections);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Presses, MorvaneHung,
    ::testing::Values(HungCase{"CancelClicked", 30, [](const Morvane& m) { PressButton(m.Control(L"Cancel")); }},
                      HungCase{"CloseBox", 20, [](const Morvane& m) { PostMessageW(m.Window(), WM_SYSCOMMAND, SC_CLOSE, 0); }}),
    [](const ::testing::TestParamInfo<HungCase>& info) { return std::string(info.param.name); });

// A call after the pick that hangs: 2 s in, the window shows again with the wait cursor; "Select
// Text" is still ignored and "Cancel" ends the program before the call returns, with no further
// call. Ordered by the stand-in's log and the window's state; the clock is only a safety bound.
TEST(MorvaneHungAfterPick, TheWindowComesBackAndCancelEndsTheProgram) {
    constexpr int kHangSeconds = 30;
    StandIn standin(TestName(), Scenario("abc", "pick t1\nhang t1 TextString.put " + std::to_string(kHangSeconds) + "\n"));
    ASSERT_TRUE(standin.Ready()) << standin.Problem();
    Morvane morvane;
    morvane.Press(L"Select Text");
    ASSERT_FALSE(WaitForLogLine(standin, {"hang t1 TextString.put"}, kTimeoutMs).empty());
    ASSERT_TRUE(WaitVisible(morvane)) << "the window did not come back while the call hung";
    EXPECT_TRUE(Repaints(morvane.Window(), kTimeoutMs)) << "the window did not paint while the call hung";
    morvane.Press(L"Select Text");
    morvane.Sync();
    ASSERT_TRUE(WaitForLogLine(standin, {"call t1 TextString.put"}, 0).empty()) << "the call returned before the press";

    HWND window = morvane.Window();
    PressButton(morvane.Control(L"Cancel"));
    // The safety bound only: the log below says whether it ended in time.
    ASSERT_TRUE(PokeUntil(window, [&] { return morvane.Program().WaitForExit(0).has_value(); },
                          static_cast<DWORD>(kHangSeconds + 10) * 1000));
    EXPECT_TRUE(WaitForLogLine(standin, {"call t1 TextString.put"}, 0).empty())
        << "the program ended only after the hung call returned";
    EXPECT_EQ(morvane.Program().ExitCode(), 0u);

    // Once the hung call has returned (ended now, the program being gone): it was the last, and
    // there was one pick.
    standin.EndWaits();
    ASSERT_FALSE(WaitForLogLine(standin, {"call t1 TextString.put"}, kTimeoutMs).empty());
    const std::vector<std::string> calls = standin.LogLines("call ");
    ASSERT_FALSE(calls.empty());
    EXPECT_NE(calls.back().find("call t1 TextString.put"), std::string::npos) << calls.back();
    EXPECT_EQ(standin.LogLines("pick-begin").size(), 1u);
}

// Busy for 2 s from the first call: the window keeps painting while the calls are retried, a second
// "Select Text" is ignored, and the pick goes through once the application answers, the text
// changed once.
TEST(MorvaneBusy, TwoSecondsBusyThePickGoesThroughOnce) {
    StandIn standin(TestName(), Scenario("Abc", "pick t1\npick t1\nbusy 2\n"));
    ASSERT_TRUE(standin.Ready()) << standin.Problem();
    Morvane morvane;
    morvane.Press(L"Select Text");
    ASSERT_FALSE(WaitForLogLine(standin, {"busy reject"}, kTimeoutMs).empty());
    EXPECT_TRUE(Repaints(morvane.Window(), kTimeoutMs)) << "the window did not paint while the calls were retried";
    morvane.Press(L"Select Text");
    ASSERT_FALSE(WaitForLogLine(standin, {"call t1 Update", "hr=0x00000000"}, kTimeoutMs).empty());
    ASSERT_TRUE(WaitVisible(morvane));
    morvane.Sync();
    EXPECT_EQ(standin.LogLines("pick-begin").size(), 1u);
    const auto writes = standin.LogLines("call t1 TextString.put");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_NE(writes[0].find("value=\"ABC\" hr=0x00000000"), std::string::npos) << writes[0];
    EXPECT_FALSE(WaitForMessageBox(morvane.Program().Id(), 300).has_value());
}

// Busy for 20 s once the dialog has stepped aside: after 10 s of retries the rejection's number,
// the dialog back, nothing written.
TEST(MorvaneBusy, TwentySecondsBusyEndsInTheRejection) {
    StandIn standin(TestName(), Scenario("Abc", "pick t1\nbusy 20 after app Caption.get\n"));
    ASSERT_TRUE(standin.Ready()) << standin.Problem();
    Morvane morvane;
    morvane.Press(L"Select Text");
    const auto box = WaitForMessageBox(morvane.Program().Id(), 30'000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, L"Morvane");
    EXPECT_EQ(box->text, L"error: -2147418111");
    EXPECT_TRUE(CloseMessageBox(*box));
    ASSERT_TRUE(WaitVisible(morvane));
    EXPECT_TRUE(Writes(standin).empty());
    EXPECT_TRUE(standin.LogLines("pick-begin").empty());
}

}  // namespace
}  // namespace morvane::ui

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: morvane_e2e_tests <morvane.exe> <cadstandin.exe> [GoogleTest options]\n");
        return 2;
    }
    using morvane::testing_host::StandIn;
    morvane::ui::Morvane::ProgramPath() = morvane::testing_host::WindowsPath(argv[1]);
    StandIn::ServerPath() = morvane::testing_host::WindowsPath(argv[2]);
    wchar_t temp[MAX_PATH]{};
    GetTempPathW(MAX_PATH, temp);
    StandIn::WorkFolder() = std::wstring(temp) + L"morvane-e2e";
    CreateDirectoryW(StandIn::WorkFolder().c_str(), nullptr);
    return RUN_ALL_TESTS();
}
