#include "testing/ui_driver/morvane_session.h"

#include <stdexcept>

namespace morvane::ui {

std::wstring& Morvane::ProgramPath() {
    static std::wstring path;
    return path;
}

Morvane::Morvane() : process_(std::make_unique<Process>(ProgramPath(), L"")) {
    window_ = WaitForWindow(process_->Id(), L"frmMorvane", L"Morvane", true, 20000);
    if (window_ == nullptr) {
        throw std::runtime_error("the Morvane window did not show");
    }
    Sync();
}

Morvane::~Morvane() { (void)process_->Close(window_); }

HWND Morvane::Control(std::wstring_view caption) const {
    HWND control = ChildByCaption(window_, caption);
    if (control == nullptr) {
        throw std::runtime_error("no control " + Utf8(caption));
    }
    return control;
}

void Morvane::Press(std::wstring_view caption) const { PressButton(Control(caption)); }

std::array<bool, 4> Morvane::Checks() const {
    std::array<bool, 4> checks{};
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
        checks[i] = SendMessageW(Control(kOptions[i]), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    return checks;
}

void Morvane::Sync() const {
    // Messages posted to one thread are handled in order: once a state change posted last has
    // happened, everything posted before it has been handled. The group box shows no pushed state.
    HWND frame = Control(L"");
    PostMessageW(frame, BM_SETSTATE, TRUE, 0);
    (void)WaitUntil([&] { return (SendMessageW(frame, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }, 10000);
    SendMessageW(frame, BM_SETSTATE, FALSE, 0);
}

}  // namespace morvane::ui
