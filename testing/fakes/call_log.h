#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::fakes {

// The calls fakes received, in order, one readable line each ("Hide", "WriteTextString(%%uNOTE)").
// Fakes given the same log show the order of calls across them.
class CallLog {
public:
    void Add(std::string call);
    [[nodiscard]] const std::vector<std::string>& Calls() const noexcept { return calls_; }
    // Called with every call once it is logged, before the fake acts on it: lets a test look at
    // the state of things at one particular step.
    void Observe(std::function<void(std::string_view call)> observer) { observer_ = std::move(observer); }

private:
    std::vector<std::string> calls_;
    std::function<void(std::string_view)> observer_;
};

// A UTF-16 text as readable ASCII: printable ASCII as it is, every other unit as \uXXXX.
[[nodiscard]] std::string Readable(std::u16string_view text);

}  // namespace morvane::fakes
