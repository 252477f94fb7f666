// Tells a test script where windows are on the screen, so that it can move the real mouse there.
//   ui_probe window <caption>                 the top-level window (not a message box) with the caption
//   ui_probe control <caption> <control>      a control of that window, by its caption
//   ui_probe box <caption>                    a message box with the caption; a second line gives its text
//   ui_probe box-ok <caption>                 that message box's OK button
// Prints "left top width height" in screen pixels; waits up to 15 s, exit code 1 when nothing shows.
//   ui_probe state <caption>                  the window's focused control and its checked buttons,
//                                             one caption a line, the focused one first
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "testing/ui_driver/ui_driver.h"

namespace {

using namespace morvane::testing_support;
using namespace morvane::ui;

// The frontmost visible top-level window with the caption that is (or is not) a message box.
HWND WaitForTopWindow(const std::wstring& caption, bool messageBox) {
    HWND found = nullptr;
    (void)WaitUntil(
        [&] {
            for (HWND window : TopWindows(WindowQuery().Titled(caption).VisibleOnly())) {
                if ((ClassName(window) == L"#32770") == messageBox) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        15000);
    return found;
}

int Print(HWND window) {
    if (window == nullptr) {
        std::fprintf(stderr, "ui_probe: not found\n");
        return 1;
    }
    RECT rect{};
    GetWindowRect(window, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == L"window") {
        return Print(WaitForTopWindow(args[1], false));
    }
    if (args.size() == 3 && args[0] == L"control") {
        HWND window = WaitForTopWindow(args[1], false);
        return Print(window != nullptr ? ChildByCaption(window, args[2]) : nullptr);
    }
    if (args.size() == 2 && (args[0] == L"box" || args[0] == L"box-ok")) {
        HWND box = WaitForTopWindow(args[1], true);
        if (box == nullptr || args[0] == L"box-ok") {
            return Print(box != nullptr ? GetDlgItem(box, IDOK) : nullptr);
        }
        const int result = Print(box);
        wchar_t text[1024]{};
        GetDlgItemTextW(box, 0xFFFF, text, 1024);
        std::printf("%s\n", Utf8(text).c_str());
        return result;
    }
    if (args.size() == 2 && args[0] == L"state") {
        HWND window = WaitForTopWindow(args[1], false);
        if (window == nullptr) {
            return Print(nullptr);
        }
        std::printf("focus: %s\n", Utf8(WindowText(FocusOf(window))).c_str());
        for (HWND child : Children(window)) {
            if (SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED) {
                std::printf("checked: %s\n", Utf8(WindowText(child)).c_str());
            }
        }
        return 0;
    }
    std::fprintf(stderr, "usage: ui_probe window|control|box|box-ok|state <caption> [<control caption>]\n");
    return 2;
}
