// End to end across bitness: the 32-bit build's select-text command with the real COM binding against
// a 64-bit stand-in CAD application, as a 32-bit Morvane meets a 64-bit CAD application on 64-bit
// Windows. The stand-in registers its class and its interfaces in the 64-bit registry view only, so
// the binding must find the class through that view and drive the application by name. Runs only
// where 32-bit programs run (32-bit Wine beside 64-bit Wine); elsewhere the test reports itself
// skipped (testing/wine/setup.sh).
#include <windows.h>
#include <objbase.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "testing/command_host/command_host_fixture.h"
#include "testing/command_host/host_main.h"
#include "testing/command_host/stand_in.h"

namespace morvane::testing_host {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

// The calls that reached the stand-in's objects through their slots.
std::vector<std::string> SlotCalls(const StandIn& standIn) {
    std::vector<std::string> calls;
    for (std::string& line : standIn.LogLines("call ")) {
        if (line.find(" via=vtable") != std::string::npos) calls.push_back(std::move(line));
    }
    return calls;
}

struct BitnessCase {
    const char* name;
    const wchar_t* arguments;  // the stand-in's release
};

class OtherBitnessTest : public CommandHostTest, public testing::WithParamInterface<BitnessCase> {};

// A 64-bit application, of a newer release (found by walking the running object table, its class
// in the 64-bit view only) or of release 15 (its interfaces out of reach from a 32-bit process), is
// driven by name from start to end, with the same result as beside a 32-bit one.
TEST_P(OtherBitnessTest, SixtyFourBitApplicationIsDrivenByName) {
    StandIn standIn(std::string("other_bitness_") + GetParam().name, "text t1 40 60 \"%%Uabc\"\npick t1\n",
                    GetParam().arguments);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_THAT(dialog_.Messages(), ElementsAre(Message{u"abc", u"Morvane"})) << standIn.LogText();
    EXPECT_THAT(Written(standIn, "t1"), ElementsAre(u"%%uABC"));
    EXPECT_THAT(SlotCalls(standIn), IsEmpty());
    EXPECT_THAT(standIn.LogLines("call app Visible.put slot=8 via=invoke value=-1 hr=0x00000000"), testing::SizeIs(1));
    ExpectReferences(standIn, "t1");
}

INSTANTIATE_TEST_SUITE_P(Releases, OtherBitnessTest,
                         testing::Values(BitnessCase{"Release25", L"--release 25"}, BitnessCase{"Release15", L""}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvane::testing_host

// Usage: other_bitness_tests <64-bit cadstandin.exe> [GoogleTest options]
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::cerr << "usage: other_bitness_tests <64-bit cadstandin.exe>\n";
        return 2;
    }
    return morvane::testing_host::RunStandInTests(morvane::testing_host::WindowsPath(argv[1]));
}
