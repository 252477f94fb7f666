// Test helper: shows one visible top-level window per title given on the command line, in that
// order, and ends when any of them is closed or after a minute. A WM_APP sent to a window makes
// this process bring that window to the front itself; WM_APP + 1 makes its thread stop answering
// for good, as a hung application's (the process must then be ended).
#include <windows.h>
#include <shellapi.h>

namespace {

constexpr UINT_PTR kLifetimeTimer = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
    case WM_APP:
        SetForegroundWindow(window);
        return 0;
    case WM_APP + 1:
        Sleep(INFINITE);
        return 0;
    case WM_TIMER:
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"MorvaneTitleWindow";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&windowClass);

    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    HWND last = nullptr;
    for (int i = 1; arguments != nullptr && i < count; ++i) {
        last = CreateWindowExW(0, windowClass.lpszClassName, arguments[i], WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               40 * i, 40 * i, 300, 120, nullptr, nullptr, instance, nullptr);
    }
    LocalFree(arguments);
    if (last == nullptr) {
        return 1;
    }
    SetTimer(last, kLifetimeTimer, 60'000, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
