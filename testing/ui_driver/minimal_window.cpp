// The smallest Win32 window program, built as morvane.exe is (same compiler, options and manifest):
// the yardstick for its start-up time in scripts/footprint.sh. Built a second time with
// MINIMAL_WINDOW_BUTTONS, it also shows seven common-controls buttons, as many controls as Morvane's
// window has, to tell their cost apart from the program's own.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"MinimalWindow";
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(0, L"MinimalWindow", L"Minimal", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 210, 220, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
#ifdef MINIMAL_WINDOW_BUTTONS
    for (int i = 0; i < 7; ++i) {
        CreateWindowExW(0, L"BUTTON", L"Button", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10 + 25 * i, 100, 22, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + i)), instance, nullptr);
    }
#endif
    ShowWindow(window, showCommand);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
