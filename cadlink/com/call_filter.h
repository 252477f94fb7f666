#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <functional>

namespace morvane::com {

// The calling thread's COM message filter for as long as it lives; puts back the one before it
// when destroyed. COM asks it whether a call the CAD application rejected is tried again (the
// answer depends only on how long ago the call began, see BusyRetry::DelayAfter, so that a
// rejection of a call COM makes on its own, a proxy's release, leaves no trace on the program's
// next call), and tells it when messages arrive while a call waits: it hands them to
// deliverWaitingMessages, so the program's window keeps painting and answering, and a press on
// "Cancel" is seen while the CAD application does not answer. The thread must be in a
// single-threaded apartment. Throws std::bad_alloc only.
class CallFilter {
public:
    explicit CallFilter(std::function<void()> deliverWaitingMessages);
    ~CallFilter();
    CallFilter(const CallFilter&) = delete;
    CallFilter& operator=(const CallFilter&) = delete;

    // Whether COM took the filter (it does not in a multithreaded apartment).
    [[nodiscard]] bool Registered() const noexcept { return registered_; }

private:
    Microsoft::WRL::ComPtr<IMessageFilter> previous_;
    bool registered_ = false;
};

// The filter object itself, for tests that call it as COM would.
[[nodiscard]] Microsoft::WRL::ComPtr<IMessageFilter> MakeCallFilter(std::function<void()> deliverWaitingMessages);

}  // namespace morvane::com
