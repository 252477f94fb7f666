#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cadstandin/scenario.h"

// A slow or busy CAD application, as the scenario asks: members that hang for a while before they
// run, and a period in which incoming calls are rejected.
//
// How a rejection reaches the client: the stand-in registers a message filter whose
// HandleInComingCall answers SERVERCALL_REJECTED while busy; COM then returns RPC_E_CALL_REJECTED to
// the client without running the call (on Windows after asking the client's own message filter
// whether to retry). Wine 8 does not act on SERVERCALL_RETRYLATER from a server's filter (it runs
// the call), so a period of `busy ... retry-later` has the members themselves return
// RPC_E_SERVERCALL_RETRYLATER without doing anything.

namespace cadstandin {

class BusyApplication {
public:
    // Takes the scenario's busy period and hanging calls.
    void Configure(const Scenario& scenario);

    // An incoming call on one of the automation objects, before it runs: whether the message
    // filter rejects it. The first such call starts a period that begins with the first call.
    [[nodiscard]] bool RejectsIncomingCall(std::uint64_t now);
    // A member about to run: whether it answers RPC_E_SERVERCALL_RETRYLATER instead (retry-later).
    [[nodiscard]] bool RejectsMember(std::uint64_t now);
    // A member that has run: starts a period that begins after it; a stall after it stops the
    // application once the member has answered (its thread sleeps outside any message loop, so that
    // every call waits, COM's own too: a client letting go of a reference).
    void MemberRan(const std::string& object, bool isEntity, std::string_view operation, std::uint64_t now);
    // How long this member (of a table: for this cell) hangs before it runs, if it is one that does
    // (and uses that up).
    [[nodiscard]] std::optional<int> TakeHang(const std::string& object, bool isEntity, std::string_view operation,
                                              CellAddress cell = {});
    // Waits as a hung application does, without handling messages, for so long or until a test
    // ends the waits (end_waits.h); logs "wait-ended early" then.
    void Hang(int milliseconds) const;

private:
    [[nodiscard]] bool Active(std::uint64_t now);

    std::optional<BusyPeriod> period_;
    std::optional<std::uint64_t> until_;  // set once the period has begun
    std::vector<HangingCall> hangs_;
    std::vector<HangingCall> stalls_;
    HANDLE endWaits_ = nullptr;  // lives as long as the process
};

// The stand-in's message filter, which rejects incoming calls while the application is busy and
// logs each rejection ("busy reject iid=... method=N").
[[nodiscard]] Microsoft::WRL::ComPtr<IMessageFilter> MakeBusyFilter();

}  // namespace cadstandin
