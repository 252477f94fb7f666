#pragma once

#include <windows.h>

namespace morvane {

// Brings the top-level window to the front, activated and with the keyboard input, even when
// another process had the last input and Windows' foreground lock would refuse this one. Restores
// it first when minimised. Never throws; a refusal leaves the window where it is (Windows then
// flashes its taskbar button).
void BringToFront(HWND window) noexcept;

}  // namespace morvane
