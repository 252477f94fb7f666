#pragma once

#include <functional>
#include <memory>

#include "cadlink/busy_retry.h"
#include "cadlink/cad_link.h"
#include "cadlink/com/running_application.h"

namespace morvane {

// What the COM binding takes from the system, each replaced in tests; an empty one gets the
// program's own.
struct ComCadLinkParts {
    // Where the running CAD application is found: the running object table.
    std::unique_ptr<com::RunningApplications> running;
    // The time the retries of a busy application wait: GetTickCount64 and COM's modal loop.
    std::unique_ptr<BusyClock> clock;
    // Called when messages arrive for this thread while a call into the CAD application waits:
    // delivers them as the program's message loop would. None: COM deals with them alone.
    std::function<void()> deliverWaitingMessages;
};

// The binding to the running CAD application through its COM automation interface: release 15
// through its interfaces' slots, any other release (and release 15 where its interfaces cannot be
// reached) by name through IDispatch; every call retried while the application is busy. The
// calling thread must already be in a single-threaded apartment (CoInitializeEx with
// COINIT_APARTMENTTHREADED) and stay in it while the link or any handle it gave out lives; every
// call must come from that thread. The first attach registers the thread's message filter until
// the link goes. Creating the link touches nothing and throws nothing but std::bad_alloc; its
// operations throw morvane::Failure.
[[nodiscard]] std::unique_ptr<CadLink> MakeComCadLink(ComCadLinkParts parts = {});

}  // namespace morvane
