#include "cadlink/com/interface_reach.h"

#include <gtest/gtest.h>

#include <string>

namespace morvane::com {
namespace {

struct ReachCase {
    const char* name;
    HRESULT hr;
    bool outOfReach;
};

class InterfaceReachTest : public testing::TestWithParam<ReachCase> {};

// Rule: every answer that says the interface cannot be reached from here is one (then the object is
// called by name); a busy, disconnected or vanished application, or any other failure, is not.
TEST_P(InterfaceReachTest, TellsOutOfReachApart) {
    EXPECT_EQ(InterfaceOutOfReach(GetParam().hr), GetParam().outOfReach);
}

const ReachCase kCases[] = {
    {"NoInterface", E_NOINTERFACE, true},
    {"InterfaceNotRegistered", REGDB_E_IIDNOTREG, true},
    {"TypeLibraryNotRegistered", TYPE_E_LIBNOTREGISTERED, true},
    {"TypeLibraryCannotLoad", TYPE_E_CANTLOADLIBRARY, true},
    {"Success", S_OK, false},
    {"CallRejected", RPC_E_CALL_REJECTED, false},
    {"RetryLater", RPC_E_SERVERCALL_RETRYLATER, false},
    {"Disconnected", RPC_E_DISCONNECTED, false},
    {"ServerUnavailable", HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), false},
    {"CallFailed", static_cast<HRESULT>(0x800706BE), false},
    {"ServerDied", RPC_E_SERVER_DIED_DNE, false},
    {"ClassNotRegistered", REGDB_E_CLASSNOTREG, false},
    {"AccessDenied", E_ACCESSDENIED, false},
    {"OutOfMemory", E_OUTOFMEMORY, false},
    {"Unexpected", E_UNEXPECTED, false},
    {"Exception", DISP_E_EXCEPTION, false},
};

INSTANTIATE_TEST_SUITE_P(Answers, InterfaceReachTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvane::com
