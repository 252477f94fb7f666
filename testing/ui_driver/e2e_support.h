#pragma once

// What the end-to-end tests share: the stand-in's scenario and log, and the window's state.

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "testing/command_host/stand_in.h"
#include "testing/ui_driver/morvane_session.h"
#include "testing/ui_driver/ui_driver.h"

namespace morvane::ui {

inline constexpr DWORD kTimeoutMs = 15000;

// One text entity the tests pick, t1; the scenario adds the pick queue and failures.
inline std::string Scenario(std::string_view text, std::string_view rest) {
    return "text t1 40 60 \"" + std::string(text) + "\"\nline l1 40 220 360 260\n" + std::string(rest);
}

using testing_host::StandIn;

// This test's name, which names its stand-in's files.
inline std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// The first line of the stand-in's log that contains every fragment, waiting up to the timeout.
inline std::string WaitForLogLine(const StandIn& standin, const std::vector<std::string_view>& fragments, DWORD timeoutMs) {
    std::string found;
    (void)WaitUntil(
        [&] {
            for (const auto& line : standin.Log()) {
                if (std::all_of(fragments.begin(), fragments.end(),
                                [&](std::string_view fragment) { return line.find(fragment) != std::string::npos; })) {
                    found = line;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

// Waits until the window is back after a command.
inline bool WaitVisible(const Morvane& morvane) {
    return WaitUntil([&] { return IsWindowVisible(morvane.Window()) != FALSE; }, kTimeoutMs);
}

// Whether the window repaints what is invalidated within the time: it does while its thread
// delivers messages, even when a call into the CAD application is outstanding.
inline bool Repaints(HWND window, DWORD timeoutMs) {
    InvalidateRect(window, nullptr, FALSE);
    return WaitUntil([&] { return GetUpdateRect(window, nullptr, FALSE) == FALSE; }, timeoutMs);
}

// Waits until the condition holds, sending the window a message now and then: Wine's wait for a
// call's reply can miss a message posted while it looks at the queue itself, and sleep on until
// something else comes (a real click brings several).
inline bool PokeUntil(HWND window, const std::function<bool()>& condition, DWORD timeoutMs) {
    return WaitUntil(
        [&] {
            DWORD_PTR answer = 0;
            (void)SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &answer);
            return condition();
        },
        timeoutMs);
}

// The stand-in's member calls ("call ..." lines) that wrote or redrew anything.
inline std::vector<std::string> Writes(const StandIn& standin) {
    std::vector<std::string> writes;
    for (const std::string& line : standin.LogLines("call ")) {
        if (line.find(".put ") != std::string::npos && line.find("Visible.put") == std::string::npos) writes.push_back(line);
        if (line.find(" Update ") != std::string::npos) writes.push_back(line);
    }
    return writes;
}

}  // namespace morvane::ui
