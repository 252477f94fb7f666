// The program's entry: one apartment-threaded UI thread, the one window and its message loop.
#include <windows.h>
#include <objbase.h>

#include "app/resource.h"
#include "cadlink/com/com_cad_link.h"
#include "dialog/frm_morvane.h"

namespace {

// Shared: the system owns the icon and frees it with the program's module; nothing destroys it.
HICON LoadProgramIcon(HINSTANCE instance, int metricX, int metricY) noexcept {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MORVANE), IMAGE_ICON,
                                         GetSystemMetrics(metricX), GetSystemMetrics(metricY), LR_SHARED));
}

// This thread's membership of a single-threaded COM apartment, for as long as the object lives.
class ComApartment {
public:
    ComApartment() noexcept : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    [[nodiscard]] bool Joined() const noexcept { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

int RunProgram(HINSTANCE instance, int showCommand) {
    const auto cad = morvane::MakeComCadLink();
    morvane::FrmMorvane window(instance, *cad, LoadProgramIcon(instance, SM_CXICON, SM_CYICON),
                               LoadProgramIcon(instance, SM_CXSMICON, SM_CYSMICON));
    if (!window.Open(showCommand)) {
        return 1;
    }
    // Nothing touches COM before the first "Select Text": joining the apartment once the window is
    // up lets the window appear sooner.
    const ComApartment apartment;
    if (!apartment.Joined()) {
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
    // The picked entity is a COM reference: let it go while the apartment is still there.
    window.PickedEntity().reset();
    return got < 0 ? 1 : static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    try {
        return RunProgram(instance, showCommand);
    } catch (...) {
        // Only running out of memory can get here.
        return 1;
    }
}
