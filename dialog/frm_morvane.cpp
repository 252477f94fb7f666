#include "dialog/frm_morvane.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "command/program_title.h"
#include "command/select_text_command.h"

namespace morvane {
namespace {

// A message box takes a terminated string: each U+0000 of the text is shown as U+2400 (the symbol
// for NUL) so that the whole text shows.
std::wstring BoxText(std::u16string_view text) {
    std::wstring result(text.begin(), text.end());
    std::replace(result.begin(), result.end(), L'\0', L'\u2400');
    return result;
}

constexpr wchar_t kClassName[] = L"frmMorvane";

std::wstring Caption() { return std::wstring(kProgramTitle.begin(), kProgramTitle.end()); }
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = 0;
// Posted by the timer armed at Writing; wParam: the pick it was armed for. A posted message, not
// WM_TIMER: COM's wait for a call's reply wakes for posted messages (and hands them to the message
// filter), which a WM_TIMER does not do under every COM.
constexpr UINT kLongCallMessage = WM_APP + 1;

// The options in the order they sit on screen, which is also the CaseMode order.
constexpr std::array<FrmControl, 4> kOptions{FrmControl::Option1, FrmControl::Option2, FrmControl::Option3,
                                             FrmControl::Option4};
constexpr std::array<CaseMode, 4> kOptionModes{CaseMode::Upper, CaseMode::Lower, CaseMode::Title,
                                               CaseMode::Sentence};

constexpr const FrmControlLayout& LayoutOf(FrmControl control) {
    for (const auto& layout : kFrmControls) {
        if (layout.control == control) {
            return layout;
        }
    }
    return kFrmControls.front();
}

constexpr std::size_t Slot(FrmControl control) { return static_cast<std::size_t>(control); }

// The table lists the controls in tab order, which is the order of FrmControl.
constexpr bool InTabOrder() {
    for (std::size_t i = 0; i < kFrmControls.size(); ++i) {
        if (Slot(kFrmControls[i].control) != i) {
            return false;
        }
    }
    return true;
}
static_assert(InTabOrder());

}  // namespace

RECT FrmControlPixels(const FrmControlLayout& layout, UINT dpi) noexcept {
    int left = TwipsToPixels(layout.twips.left, dpi);
    int top = TwipsToPixels(layout.twips.top, dpi);
    if (layout.insideFrame1) {
        const auto& frame = LayoutOf(FrmControl::Frame1).twips;
        left += TwipsToPixels(frame.left, dpi);
        top += TwipsToPixels(frame.top, dpi);
    }
    return RECT{left, top, left + TwipsToPixels(layout.twips.width, dpi), top + TwipsToPixels(layout.twips.height, dpi)};
}

FrmMorvane::FrmMorvane(HINSTANCE instance, CadLink& cad, HICON icon, HICON smallIcon, FrmPlatform platform) noexcept
    : instance_(instance), cad_(cad), platform_(platform), icon_(icon), smallIcon_(smallIcon) {}

FrmMorvane::~FrmMorvane() {
    StopLongCallTimer();
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

bool FrmMorvane::Open(int showCommand) noexcept {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (!GetClassInfoExW(instance_, kClassName, &windowClass)) {
        windowClass.lpfnWndProc = &FrmMorvane::WindowProc;
        windowClass.hInstance = instance_;
        windowClass.hIcon = icon_;
        windowClass.hIconSm = smallIcon_;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        if (RegisterClassExW(&windowClass) == 0) {
            return false;
        }
    }
    // Laid out for the system's DPI; again below if the window lands on a monitor with another.
    dpi_ = platform_.dpi.SystemDpi();
    const RECT frame = WindowRectForClient(dpi_);
    hwnd_ = CreateWindowExW(kExStyle, kClassName, Caption().c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance_, this);
    if (hwnd_ == nullptr) {
        return false;
    }
    if (!CreateControls()) {
        const DWORD error = GetLastError();
        DestroyWindow(hwnd_);
        SetLastError(error);
        return false;
    }
    if (const UINT dpi = platform_.dpi.WindowDpi(hwnd_); dpi != dpi_) {
        ApplyDpi(dpi, nullptr);
    } else {
        FitClientArea();
        RebuildFont();
    }
    SelectOption(0);
    lastFocus_ = ControlHandle(FrmControl::Option1);
    ShowWindow(hwnd_, showCommand);
    SetForegroundWindow(hwnd_);
    SetFocus(lastFocus_);
    return true;
}

HWND FrmMorvane::ControlHandle(FrmControl control) const noexcept { return controls_[Slot(control)]; }

RECT FrmMorvane::WindowRectForClient(UINT dpi) const noexcept {
    const RECT client{0, 0, TwipsToPixels(kFrmClientWidthTwips, dpi), TwipsToPixels(kFrmClientHeightTwips, dpi)};
    return platform_.dpi.WindowRectForClient(client, kStyle, kExStyle, dpi);
}

bool FrmMorvane::CreateControls() noexcept {
    // Created in tab order: the dialog manager walks the controls in creation order.
    for (const auto& layout : kFrmControls) {
        const RECT rect = FrmControlPixels(layout, dpi_);
        HWND control = CreateWindowExW(0, layout.className, layout.caption, WS_CHILD | WS_VISIBLE | layout.style, rect.left,
                                       rect.top, rect.right - rect.left, rect.bottom - rect.top, hwnd_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance_, nullptr);
        if (control == nullptr) {
            return false;
        }
        controls_[Slot(layout.control)] = control;
    }
    for (FrmControl option : kOptions) {
        SetWindowSubclass(ControlHandle(option), &FrmMorvane::OptionProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    return true;
}

void FrmMorvane::ApplyDpi(UINT dpi, const RECT* suggested) noexcept {
    dpi_ = dpi;
    const RECT frame = WindowRectForClient(dpi);
    RECT current{};
    GetWindowRect(hwnd_, &current);
    const POINT origin = suggested != nullptr ? POINT{suggested->left, suggested->top} : POINT{current.left, current.top};
    SetWindowPos(hwnd_, nullptr, origin.x, origin.y, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    FitClientArea();
    for (const auto& layout : kFrmControls) {
        const RECT rect = FrmControlPixels(layout, dpi);
        SetWindowPos(ControlHandle(layout.control), nullptr, rect.left, rect.top, rect.right - rect.left,
                     rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RebuildFont();
}

void FrmMorvane::FitClientArea() noexcept {
    // The frame the system actually draws may differ from the computed one (a window that is not
    // aware of this DPI keeps its old caption); correct the size until the client area is exact.
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int missingWidth = TwipsToPixels(kFrmClientWidthTwips, dpi_) - client.right;
    const int missingHeight = TwipsToPixels(kFrmClientHeightTwips, dpi_) - client.bottom;
    if (missingWidth != 0 || missingHeight != 0) {
        RECT frame{};
        GetWindowRect(hwnd_, &frame);
        SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left + missingWidth,
                     frame.bottom - frame.top + missingHeight, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
}

void FrmMorvane::RebuildFont() noexcept {
    LOGFONTW messageFont{};
    HFONT font = nullptr;
    if (platform_.dpi.MessageFont(dpi_, messageFont)) {
        font = CreateFontIndirectW(&messageFont);
    }
    for (HWND control : controls_) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
    font_ = font;
}

std::optional<CaseMode> FrmMorvane::SelectedCase() const {
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
        if (SendMessageW(ControlHandle(kOptions[i]), BM_GETCHECK, 0, 0) == BST_CHECKED) {
            return kOptionModes[i];
        }
    }
    return std::nullopt;
}

void FrmMorvane::Hide() {
    if (hwnd_ != nullptr) {
        ShowWindow(hwnd_, SW_HIDE);
    }
}

bool FrmMorvane::Visible() const { return hwnd_ != nullptr && IsWindowVisible(hwnd_); }

void FrmMorvane::Show() {
    const bool waitedLong = Phase() == CommandPhase::WaitingLong;
    if (hwnd_ != nullptr) {
        StopLongCallTimer();
        if (waitedLong) {
            // The wait is over: no longer above every other window.
            SetWindowPos(hwnd_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        ShowWindow(hwnd_, SW_SHOW);
        platform_.bringToFront(hwnd_);
    }
}

void FrmMorvane::PhaseEntered(CommandPhase phase) noexcept {
    StopLongCallTimer();
    if (phase == CommandPhase::Writing && hwnd_ != nullptr) {
        StartLongCallTimer();
    }
}

void FrmMorvane::StartLongCallTimer() noexcept {
    ++longCall_.pick;
    longCall_.window = hwnd_;
    if (!CreateTimerQueueTimer(&longCallTimer_, nullptr, &PostLongCall, &longCall_, platform_.longCallMs, 0,
                               WT_EXECUTEONLYONCE)) {
        longCallTimer_ = nullptr;
    }
}

void CALLBACK FrmMorvane::PostLongCall(PVOID context, BOOLEAN) noexcept {
    const auto* call = static_cast<const LongCall*>(context);
    PostMessageW(call->window, kLongCallMessage, call->pick, 0);
}

void FrmMorvane::StopLongCallTimer() noexcept {
    if (longCallTimer_ != nullptr) {
        // Waits for a callback under way: once this returns, the timer posts nothing more.
        DeleteTimerQueueTimer(nullptr, longCallTimer_, INVALID_HANDLE_VALUE);
        longCallTimer_ = nullptr;
    }
}

void FrmMorvane::ShowWhileCallWaits(WPARAM pick) noexcept {
    if (pick != longCall_.pick) {
        return;  // an earlier pick's
    }
    StopLongCallTimer();
    // Not shown the way the command's Show does: the command waits on (WaitingLong, not
    // Ending), so that "Select Text" stays ignored and "Cancel" ends the program at once.
    if (Phases().On(PhaseInput::LongCallTimer) != PhaseAction::Act) {
        return;
    }
    // Above every other window until the command shows it again, without taking the activation.
    // The CAD application has the foreground, and Windows moves a window to the top of the
    // ordinary ones (HWND_TOP) only for a process that may set the foreground window; a topmost
    // window is above it whoever has the foreground. Activating the window would deactivate the
    // CAD application's, and Wine (at least) waits for that window's thread, busy with the call,
    // to take note. A click on "Cancel" is enough to reach it.
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ShowCursorOverWindow(IDC_WAIT);
}

void FrmMorvane::ShowMessage(std::u16string_view text, std::u16string_view caption) {
    const std::wstring boxText = BoxText(text);
    const std::wstring boxCaption(caption.begin(), caption.end());
    // A box owned by a hidden window would have no taskbar button. Taking the front for this
    // window first (hidden or not) makes this the foreground thread, whose box Windows lets take
    // the front.
    HWND owner = hwnd_ != nullptr && IsWindowVisible(hwnd_) ? hwnd_ : nullptr;
    if (hwnd_ != nullptr) {
        platform_.bringToFront(hwnd_);
    }
    // The box waits on the user, not on the CAD application: the long-call clock stops while it
    // shows, and starts again from nought once it is closed.
    const bool timing = longCallTimer_ != nullptr;
    StopLongCallTimer();
    MessageBoxW(owner, boxText.c_str(), boxCaption.c_str(), MB_OK | MB_SETFOREGROUND);
    if (timing && hwnd_ != nullptr) {
        StartLongCallTimer();
    }
}

void FrmMorvane::cmdSelect_Click() noexcept {
    if (hwnd_ == nullptr || Phases().On(PhaseInput::SelectText) != PhaseAction::Act) {
        return;
    }
    for (;;) {
        RunCommand();
        // A press remembered while the command ended is done now, as if it came now.
        const std::optional<PhaseInput> remembered = Phases().End();
        if (remembered == PhaseInput::Cancel) {
            cmdCancel_Click();
            return;
        }
        if (remembered != PhaseInput::SelectText || hwnd_ == nullptr ||
            Phases().On(PhaseInput::SelectText) != PhaseAction::Act) {
            return;
        }
    }
}

void FrmMorvane::RunCommand() noexcept {
    ShowCursorOverWindow(IDC_WAIT);
    morvane::cmdSelect_Click(*this, cad_);
    StopLongCallTimer();
    ShowCursorOverWindow(IDC_ARROW);
}

void FrmMorvane::cmdCancel_Click() noexcept {
    switch (Phases().On(PhaseInput::Cancel)) {
    case PhaseAction::Act:
        // Nothing is left to wait for but the release of the picked entity and of COM itself.
        platform_.endProcess(kClosingMs);
        if (hwnd_ != nullptr) {
            DestroyWindow(hwnd_);
        }
        return;
    case PhaseAction::EndProcess:
        // Going back to the command would let the waiting call return and the command go on
        // (pick, write): nothing after that call runs.
        platform_.endProcess(0);
        return;
    case PhaseAction::CloseUndoGroupFirst:
        // The command sees the request once the waiting call returns, sends EndUndoMark and
        // returns; the window, told of the "Cancel" then, closes.
        StopLongCallTimer();
        if (hwnd_ != nullptr) {
            SetWindowPos(hwnd_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
        }
        platform_.endProcess(kUndoGroupClosingMs);
        return;
    case PhaseAction::CloseAfterCommand:
        // The command only lets go of its references now, which takes a moment unless the CAD
        // application does not answer; the window closes once it has.
        platform_.endProcess(kClosingMs);
        if (hwnd_ != nullptr) {
            ShowWindow(hwnd_, SW_HIDE);
        }
        return;
    case PhaseAction::Remember:
    case PhaseAction::Ignore:
        return;
    }
}

void FrmMorvane::ShowCursorOverWindow(const wchar_t* cursor) noexcept {
    POINT at{};
    if (hwnd_ != nullptr && GetCursorPos(&at) && GetAncestor(WindowFromPoint(at), GA_ROOT) == hwnd_) {
        SetCursor(LoadCursorW(nullptr, cursor));
    }
}

int FrmMorvane::OptionIndex(HWND control) const noexcept {
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
        if (control != nullptr && ControlHandle(kOptions[i]) == control) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void FrmMorvane::SelectOption(int index) noexcept {
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
        HWND option = ControlHandle(kOptions[i]);
        const bool selected = static_cast<int>(i) == index;
        SendMessageW(option, BM_SETCHECK, selected ? BST_CHECKED : BST_UNCHECKED, 0);
        // Tab reaches the group through its selected option only.
        const LONG_PTR style = GetWindowLongPtrW(option, GWL_STYLE);
        SetWindowLongPtrW(option, GWL_STYLE, selected ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
    }
}

void FrmMorvane::MoveOption(int step) noexcept {
    const int current = OptionIndex(GetFocus());
    if (current < 0 || Phases().On(PhaseInput::OptionKey) != PhaseAction::Act) {
        return;
    }
    const int count = static_cast<int>(kOptions.size());
    const int next = (current + step + count) % count;
    SelectOption(next);
    SetFocus(ControlHandle(kOptions[static_cast<std::size_t>(next)]));
}

void FrmMorvane::OnCommand(int id) noexcept {
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
        if (id == LayoutOf(kOptions[i]).id) {
            if (Phases().On(PhaseInput::OptionKey) == PhaseAction::Act) {
                SelectOption(static_cast<int>(i));
            }
            return;
        }
    }
    if (id == LayoutOf(FrmControl::cmdSelect).id) {
        cmdSelect_Click();
    } else if (id == LayoutOf(FrmControl::cmdCancel).id) {
        cmdCancel_Click();
    } else if (id == IDOK) {
        // Enter: the window has no default button, so Enter presses the focused button only.
        HWND focus = GetFocus();
        if (focus == ControlHandle(FrmControl::cmdSelect)) {
            cmdSelect_Click();
        } else if (focus == ControlHandle(FrmControl::cmdCancel)) {
            cmdCancel_Click();
        }
    } else if (id == IDCANCEL) {
        // Escape: the window has no cancel button.
        (void)Phases().On(PhaseInput::Escape);
    }
}

LRESULT FrmMorvane::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            OnCommand(LOWORD(wParam));
        }
        return 0;
    case WM_ACTIVATE:
        // A plain window does not keep its focused control across deactivation; do what a dialog does.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(hwnd_, focus)) {
                lastFocus_ = focus;
            }
        } else if (lastFocus_ != nullptr && HIWORD(wParam) == 0) {
            SetFocus(lastFocus_);
        }
        return 0;
    case WM_DPICHANGED:
        ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETCURSOR:
        // While the command runs (and waits on the CAD application) the window says so.
        if (ShowsWaitCursor(Phase()) && LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    case kLongCallMessage:
        ShowWhileCallWaits(wParam);
        return 0;
    case WM_CLOSE:
        // The close box, Alt+F4: "Cancel".
        cmdCancel_Click();
        return 0;
    case WM_DESTROY:
        if (Phases().On(PhaseInput::Destroy) == PhaseAction::Act) {
            pickedEntity_.reset();
            PostQuitMessage(0);
        }
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

LRESULT CALLBACK FrmMorvane::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<FrmMorvane*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<FrmMorvane*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->controls_ = {};
    }
    return result;
}

LRESULT CALLBACK FrmMorvane::OptionProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR self) noexcept {
    // The arrow keys move through all four options as one group, whatever the tab order.
    switch (message) {
    case WM_GETDLGCODE:
        if (lParam != 0 && (wParam == VK_UP || wParam == VK_DOWN || wParam == VK_LEFT || wParam == VK_RIGHT)) {
            return DefSubclassProc(hwnd, message, wParam, lParam) | DLGC_WANTARROWS;
        }
        break;
    case WM_KEYDOWN:
        if (wParam == VK_UP || wParam == VK_LEFT) {
            reinterpret_cast<FrmMorvane*>(self)->MoveOption(-1);
            return 0;
        }
        if (wParam == VK_DOWN || wParam == VK_RIGHT) {
            reinterpret_cast<FrmMorvane*>(self)->MoveOption(1);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, &FrmMorvane::OptionProc, 0);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace morvane
