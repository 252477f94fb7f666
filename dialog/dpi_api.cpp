#include "dialog/dpi_api.h"

namespace morvane {
namespace {

// The monitor's effective DPI, as shcore's MONITOR_DPI_TYPE names it.
constexpr int kEffectiveDpi = 0;

template <class Function>
Function Lookup(HMODULE module, const char* name) noexcept {
    if (module == nullptr) {
        return nullptr;
    }
    // A function pointer of the exact type the caller declares: GetProcAddress hands out a generic one.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

DpiApi DpiApi::Load(DpiLevel upTo) noexcept {
    DpiApi api;
    if (upTo >= DpiLevel::Windows10) {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        api.getDpiForWindow_ = Lookup<GetDpiForWindowFunction>(user32, "GetDpiForWindow");
        api.getDpiForSystem_ = Lookup<GetDpiForSystemFunction>(user32, "GetDpiForSystem");
        api.adjustWindowRectExForDpi_ = Lookup<AdjustWindowRectExForDpiFunction>(user32, "AdjustWindowRectExForDpi");
        api.systemParametersInfoForDpi_ =
            Lookup<SystemParametersInfoForDpiFunction>(user32, "SystemParametersInfoForDpi");
    }
    if (upTo >= DpiLevel::Windows81 && api.getDpiForWindow_ == nullptr) {
        // Only where user32 cannot tell a window's DPI, and never on Windows 7, which has no
        // shcore. Loaded for good: the window asks on every DPI change.
        HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        api.getDpiForMonitor_ = Lookup<GetDpiForMonitorFunction>(shcore, "GetDpiForMonitor");
    }
    return api;
}

UINT DpiApi::SystemDpi() const noexcept {
    if (getDpiForSystem_ != nullptr) {
        return getDpiForSystem_();
    }
    UINT dpi = USER_DEFAULT_SCREEN_DPI;
    if (HDC screen = GetDC(nullptr); screen != nullptr) {
        dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
    }
    return dpi;
}

UINT DpiApi::WindowDpi(HWND window) const noexcept {
    if (getDpiForWindow_ != nullptr) {
        return getDpiForWindow_(window);
    }
    if (getDpiForMonitor_ != nullptr) {
        UINT dpiX = 0;
        UINT dpiY = 0;
        if (SUCCEEDED(getDpiForMonitor_(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &dpiX,
                                        &dpiY))) {
            return dpiX;
        }
    }
    return SystemDpi();
}

RECT DpiApi::WindowRectForClient(RECT client, DWORD style, DWORD exStyle, UINT dpi) const noexcept {
    if (adjustWindowRectExForDpi_ != nullptr) {
        adjustWindowRectExForDpi_(&client, style, FALSE, exStyle, dpi);
    } else {
        AdjustWindowRectEx(&client, style, FALSE, exStyle);
    }
    return client;
}

bool DpiApi::MessageFont(UINT dpi, LOGFONTW& font) const noexcept {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (systemParametersInfoForDpi_ != nullptr) {
        if (!systemParametersInfoForDpi_(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
            return false;
        }
        font = metrics.lfMessageFont;
        return true;
    }
    // The system's metrics are the system DPI's: scaled to the window's, as the per-DPI function does.
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        return false;
    }
    font = metrics.lfMessageFont;
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return true;
}

}  // namespace morvane
