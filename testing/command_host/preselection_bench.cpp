// A measured run, not a test: what converting a large pre-selection costs under Wine, in calls the
// stand-in counts and in time. Prints the figures; asserts nothing of the time.
//   500 single-line texts, and 50 blocks of 4 attributes, each pre-selected and converted in one press.
// Usage: preselection_bench <cadstandin.exe> (scripts/preselection-bench.sh builds and runs it).
#include <chrono>
#include <iostream>
#include <string>

#include "testing/command_host/command_host_fixture.h"
#include "testing/command_host/host_main.h"

namespace morvane::testing_host {
namespace {

TEST_F(CommandHostTest, PreselectionCost) {
    struct Run {
        const char* name;
        int objects;
        bool blocks;
        int texts;
    };
    for (const Run& run : {Run{"500 texts", 500, false, 500}, Run{"50 blocks of 4 attributes", 50, true, 200}}) {
        StandIn standIn(std::string("bench_") + (run.blocks ? "blocks" : "texts"), PreselectedScenario(run.objects, run.blocks),
                        kRelease25);
        ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
        const auto start = std::chrono::steady_clock::now();
        const std::optional<CallTotals> cost = CostOfARun(standIn, [&] { RunCommand(); });
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_TRUE(cost);
        std::cout << run.name << ": " << Describe(*cost) << ", " << static_cast<double>(cost->total) / run.texts
                  << " calls per text, " << took << " s (" << 1000.0 * took / run.texts << " ms per text); "
                  << WritesOf(standIn, "TextString") << " texts written, messages "
                  << dialog_.Messages().size() << "\n";
    }
}

}  // namespace
}  // namespace morvane::testing_host

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::cerr << "usage: preselection_bench <cadstandin.exe>\n";
        return 2;
    }
    return morvane::testing_host::RunStandInTests(morvane::testing_host::WindowsPath(argv[1]));
}
