// The program's entry: one apartment-threaded UI thread, the one window and its message loop.
#include <windows.h>
#include <objbase.h>

#include "app/resource.h"
#include "cadlink/com/com_cad_link.h"
#include "dialog/frm_morvane.h"
#include "dialog/message_loop.h"

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
    // While a call into the CAD application waits, what arrives for the window is delivered as
    // the loop below delivers it (the window is made after the link, which it uses); what a press
    // does then, the window's rules for the command's phase say (dialog/command_phase.h).
    HWND dialog = nullptr;
    const auto cad = morvane::MakeComCadLink({.running = nullptr,
                                              .clock = nullptr,
                                              .deliverWaitingMessages = [&dialog] { morvane::DeliverWaitingMessages(dialog); }});
    morvane::FrmMorvane window(instance, *cad, LoadProgramIcon(instance, SM_CXICON, SM_CYICON),
                               LoadProgramIcon(instance, SM_CXSMICON, SM_CYSMICON));
    if (!window.Open(showCommand)) {
        return 1;
    }
    dialog = window.Handle();
    // Nothing touches COM before the first "Select Text": joining the apartment once the window is
    // up lets the window appear sooner.
    const ComApartment apartment;
    if (!apartment.Joined()) {
        return 1;
    }
    const int code = morvane::RunMessageLoop(dialog);
    // The picked entity is a COM reference: let it go while the apartment is still there.
    window.PickedEntity().reset();
    return code;
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
