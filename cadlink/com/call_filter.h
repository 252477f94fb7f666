#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <functional>
#include <memory>

#include "cadlink/com/com_calls.h"

namespace morvane::com {

// The calling thread's COM message filter for as long as it lives; puts back the one before it
// when destroyed. COM asks it whether a call the CAD application rejected is tried again (the
// calls' shared pacing decides, so that COM's retries and the binding's own count against the
// same 10 s), and tells it when messages arrive while a call waits: it hands them to
// deliverWaitingMessages, so the program's window keeps painting and answering, and a press on
// "Cancel" is seen while the CAD application does not answer. The thread must be in a
// single-threaded apartment. Throws std::bad_alloc only.
class CallFilter {
public:
    CallFilter(std::shared_ptr<ComCalls> calls, std::function<void()> deliverWaitingMessages);
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
[[nodiscard]] Microsoft::WRL::ComPtr<IMessageFilter> MakeCallFilter(std::shared_ptr<ComCalls> calls,
                                                                    std::function<void()> deliverWaitingMessages);

}  // namespace morvane::com
