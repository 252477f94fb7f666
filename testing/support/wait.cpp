#include "testing/support/wait.h"

#include <chrono>
#include <thread>

namespace morvane::testing_support {

Waited WaitUntil(const std::function<bool()>& holds, DWORD timeoutMs, std::string_view what, DWORD stepMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!holds()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return Waited::Failed(std::string(what.empty() ? "the condition" : what) + " did not hold within " +
                                  std::to_string(timeoutMs) + " ms");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
    return Waited::Held();
}

}  // namespace morvane::testing_support
