#pragma once

#include <windows.h>

namespace morvane {

// The Windows whose DPI functions the window uses: the newest it finds, looked up at run time.
enum class DpiLevel {
    Windows7,    // the system DPI only (the screen's LOGPIXELSX)
    Windows81,   // and each monitor's DPI (shcore's GetDpiForMonitor)
    Windows10,   // and user32's per-window DPI functions (version 1607)
};

// The DPI answers the window needs, on every Windows from 7 on: each newer function where this
// Windows has it, its fallback where it does not.
class DpiApi {
public:
    // What this Windows offers, up to the level given: a test asks for less to run a fallback.
    [[nodiscard]] static DpiApi Load(DpiLevel upTo = DpiLevel::Windows10) noexcept;

    [[nodiscard]] UINT SystemDpi() const noexcept;
    // The DPI of the monitor the window is on (of the system where monitors have none of their own).
    [[nodiscard]] UINT WindowDpi(HWND window) const noexcept;
    // The window rectangle around a client rectangle at the DPI. Without the per-DPI function the
    // frame is the system DPI's; the caller corrects the size once the window exists.
    [[nodiscard]] RECT WindowRectForClient(RECT client, DWORD style, DWORD exStyle, UINT dpi) const noexcept;
    // The system's message font at the DPI; false when the system gives none.
    [[nodiscard]] bool MessageFont(UINT dpi, LOGFONTW& font) const noexcept;

private:
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    using GetDpiForSystemFunction = UINT(WINAPI*)();
    using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

    GetDpiForWindowFunction getDpiForWindow_ = nullptr;
    GetDpiForSystemFunction getDpiForSystem_ = nullptr;
    AdjustWindowRectExForDpiFunction adjustWindowRectExForDpi_ = nullptr;
    SystemParametersInfoForDpiFunction systemParametersInfoForDpi_ = nullptr;
    GetDpiForMonitorFunction getDpiForMonitor_ = nullptr;
};

}  // namespace morvane
