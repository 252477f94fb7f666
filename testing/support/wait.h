#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace morvane::testing_support {

// How a wait ended: true when its condition held, otherwise false with the reason, ready for a
// test's failure message (`ASSERT_TRUE(waited) << waited.Reason()`).
class [[nodiscard]] Waited {
public:
    static Waited Held() { return Waited(true, {}); }
    static Waited Failed(std::string reason) { return Waited(false, std::move(reason)); }

    // Implicit, so that code that wants only the answer can keep it as a bool.
    operator bool() const noexcept { return held_; }  // NOLINT(google-explicit-constructor)
    [[nodiscard]] const std::string& Reason() const noexcept { return reason_; }

private:
    Waited(bool held, std::string reason) : held_(held), reason_(std::move(reason)) {}

    bool held_;
    std::string reason_;
};

// Asks holds() every stepMs milliseconds until it is true or timeoutMs have passed (at least once).
// `what` names the awaited state in the reason.
[[nodiscard]] Waited WaitUntil(const std::function<bool()>& holds, DWORD timeoutMs, std::string_view what = {},
                               DWORD stepMs = 15);

}  // namespace morvane::testing_support
