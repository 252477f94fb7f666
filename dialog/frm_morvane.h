#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string_view>

#include "command/case_dialog.h"
#include "command/command_phase.h"
#include "dialog/dpi_api.h"
#include "dialog/process_end.h"
#include "foreground/bring_to_front.h"

namespace morvane {

// Where a control sits, in twips, relative to the client area of its container.
struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

// The window's controls, in tab order (the order they are created in).
enum class FrmControl { Frame1, Option1, Option2, Option3, cmdSelect, cmdCancel, Option4 };

struct FrmControlLayout {
    FrmControl control;
    int id;
    const wchar_t* className;
    const wchar_t* caption;
    DWORD style;
    bool insideFrame1;
    TwipsRect twips;
};

inline constexpr int kFrmClientWidthTwips = 3030;
// Frame1's bottom edge (2745) plus a margin below it equal to the one above it (120).
inline constexpr int kFrmClientHeightTwips = 2865;

// The option buttons are non-automatic: the window keeps exactly one of the four checked itself,
// because Option4 is not next to the other three in the tab order. The options and buttons are
// siblings of Frame1 placed at Frame1's position plus their own, so their commands reach the window.
inline constexpr std::array<FrmControlLayout, 7> kFrmControls{{
    {FrmControl::Frame1, 100, L"BUTTON", L"", BS_GROUPBOX | WS_GROUP, false, {180, 120, 2655, 2625}},
    {FrmControl::Option1, 101, L"BUTTON", L"ALL UPPERCASE", BS_RADIOBUTTON | WS_GROUP | WS_TABSTOP, true,
     {270, 270, 1995, 375}},
    {FrmControl::Option2, 102, L"BUTTON", L"all lowercase", BS_RADIOBUTTON, true, {270, 630, 1995, 375}},
    {FrmControl::Option3, 103, L"BUTTON", L"Title Case", BS_RADIOBUTTON, true, {270, 990, 1995, 375}},
    {FrmControl::cmdSelect, 104, L"BUTTON", L"Select Text", BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, true,
     {120, 1890, 1095, 495}},
    {FrmControl::cmdCancel, 105, L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, true, {1440, 1890, 975, 495}},
    {FrmControl::Option4, 106, L"BUTTON", L"Sentence Case", BS_RADIOBUTTON | WS_GROUP, true, {270, 1350, 1995, 375}},
}};

// Twips to pixels at a DPI (15 twips to a pixel at 96 DPI).
[[nodiscard]] inline int TwipsToPixels(int twips, UINT dpi) noexcept {
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

// A control's rectangle in pixels in the window's client area: each container converts its own
// offsets, so the controls inside Frame1 land where they would as Frame1's children.
[[nodiscard]] RECT FrmControlPixels(const FrmControlLayout& layout, UINT dpi) noexcept;

// What the window takes from the system, replaced in tests: the DPI functions of the Windows it
// runs on, the routine that brings a window to the front from the background, and the end of the
// process.
struct FrmPlatform {
    DpiApi dpi = DpiApi::Load();
    void (*bringToFront)(HWND window) noexcept = &BringToFront;
    // How long after the pick the command's calls may wait before the window shows again.
    UINT longCallMs = 2000;
    // Ends the process at once (0) or after so many milliseconds (see EndProcessAfter).
    void (*endProcess)(DWORD afterMs) noexcept = &EndProcessAfter;
};

// How long the program may take to end once "Cancel" or the close box closed the window: letting
// go of the picked entity is a call into the CAD application, which may not answer.
inline constexpr DWORD kClosingMs = 1000;
// How long "Cancel" inside an undo group waits for the command to close the group.
inline constexpr DWORD kUndoGroupClosingMs = 10'000;

// frmMorvane: the program's one window, with the four case options, "Select Text" and "Cancel".
// It owns its controls, its font and PickedEntity; destroying it ends the program's message loop.
class FrmMorvane final : public CaseDialog {
public:
    // Keeps a reference to the CAD link (which must outlive the window) and the icons (shared,
    // not destroyed). Creates nothing yet; never throws.
    FrmMorvane(HINSTANCE instance, CadLink& cad, HICON icon, HICON smallIcon, FrmPlatform platform = {}) noexcept;
    ~FrmMorvane() override;
    FrmMorvane(const FrmMorvane&) = delete;
    FrmMorvane& operator=(const FrmMorvane&) = delete;

    // Creates the window where the system places new windows and shows it with Option1 selected
    // and focused. False (with the Win32 error left in GetLastError) when it cannot be created.
    [[nodiscard]] bool Open(int showCommand) noexcept;
    [[nodiscard]] HWND Handle() const noexcept { return hwnd_; }
    [[nodiscard]] HWND ControlHandle(FrmControl control) const noexcept;

    // What a press does depends on the command's phase: dialog/command_phase.h holds the rules,
    // which the window asks for each press and follows.
    [[nodiscard]] std::optional<CaseMode> SelectedCase() const override;
    void Hide() override;
    // Shows the window and brings it to the front with its focused control, since the CAD
    // application had the last input.
    void Show() override;
    [[nodiscard]] bool Visible() const override;
    // The box comes to the front as well. While the window is hidden the box has no owner, so it
    // has a taskbar button of its own should Windows refuse it the front.
    void ShowMessage(std::u16string_view text, std::u16string_view caption) override;
    [[nodiscard]] std::shared_ptr<CadEntity>& PickedEntity() override { return pickedEntity_; }

    // "Select Text": runs the select-text command on this window, with the wait cursor over it,
    // and afterwards a press remembered while it ended.
    void cmdSelect_Click() noexcept;
    // "Cancel": with no command running, closes the window and lets PickedEntity go, touching
    // nothing else, the process ending within kClosingMs; while one runs, ends the process at once,
    // hides the window and closes it once the command has ended (within kClosingMs), or inside an
    // undo group hides it and ends the program once the command has closed the group (within
    // kUndoGroupClosingMs), as the phase's rule says.
    void cmdCancel_Click() noexcept;

private:
    // Writing arms a timer: should the command's calls after the pick still be waiting on the CAD
    // application FrmPlatform::longCallMs later, the window shows again with the wait cursor
    // (WaitingLong), so that "Cancel" is within reach. Ending stops it.
    void PhaseEntered(CommandPhase phase) noexcept override;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK OptionProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self) noexcept;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void OnCommand(int id) noexcept;
    bool CreateControls() noexcept;
    void ApplyDpi(UINT dpi, const RECT* suggested) noexcept;
    [[nodiscard]] RECT WindowRectForClient(UINT dpi) const noexcept;
    void FitClientArea() noexcept;
    void RebuildFont() noexcept;
    void SelectOption(int index) noexcept;
    void MoveOption(int step) noexcept;
    void ShowCursorOverWindow(const wchar_t* cursor) noexcept;
    void ShowWhileCallWaits(WPARAM pick) noexcept;
    void RunCommand() noexcept;
    void StopLongCallTimer() noexcept;
    [[nodiscard]] int OptionIndex(HWND control) const noexcept;

    HINSTANCE instance_;
    CadLink& cad_;
    FrmPlatform platform_;
    HICON icon_;
    HICON smallIcon_;
    HWND hwnd_ = nullptr;
    std::array<HWND, kFrmControls.size()> controls_{};
    HFONT font_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    HWND lastFocus_ = nullptr;
    std::shared_ptr<CadEntity> pickedEntity_;
    // What the long-call timer posts, and to which window.
    struct LongCall {
        HWND window = nullptr;
        WPARAM pick = 0;
    } longCall_;
    HANDLE longCallTimer_ = nullptr;
    // The timer's callback, on a thread of the pool: it only posts, with what it reads from
    // longCall_, which does not change while the timer exists.
    static void CALLBACK PostLongCall(PVOID context, BOOLEAN) noexcept;
    // Posts the long-call message once the CAD application has kept a call waiting this long.
    void StartLongCallTimer() noexcept;
};

}  // namespace morvane
