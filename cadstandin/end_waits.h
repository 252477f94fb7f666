#pragma once

#include <windows.h>

#include <string>

// A test that has seen what it waited for ends the stand-in's hangs and stalls early through this
// named event, so that a hang may be long enough for a loaded machine without every run waiting it
// out. A manual-reset event: once set, the waits under way and every later one end at once.
namespace cadstandin {

inline std::wstring EndWaitsEventName(DWORD processId) {
    return L"CadStandin.EndWaits." + std::to_wstring(processId);
}

}  // namespace cadstandin
