// The program's entry: one apartment-threaded UI thread, the one window and its message loop.
#include <windows.h>
#include <objbase.h>

#include "app/resource.h"
#include "cadlink/com/com_cad_link.h"
#include "dialog/frm_morvane.h"

namespace {

HICON LoadProgramIcon(HINSTANCE instance, int metricX, int metricY) noexcept {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MORVANE), IMAGE_ICON,
                                         GetSystemMetrics(metricX), GetSystemMetrics(metricY), LR_DEFAULTCOLOR));
}

int RunProgram(HINSTANCE instance, int showCommand) {
    const auto cad = morvane::MakeComCadLink();
    morvane::FrmMorvane window(instance, *cad, LoadProgramIcon(instance, SM_CXICON, SM_CYICON),
                               LoadProgramIcon(instance, SM_CXSMICON, SM_CYSMICON));
    if (!window.Open(showCommand)) {
        return 1;
    }
    MSG message{};
    BOOL got = FALSE;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        if (!IsDialogMessageW(window.Handle(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return got < 0 ? 1 : static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
        return 1;
    }
    int exitCode = 1;
    try {
        exitCode = RunProgram(instance, showCommand);
    } catch (...) {
        // Only running out of memory can get here; the window is gone by now.
        exitCode = 1;
    }
    CoUninitialize();
    return exitCode;
}
