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

std::string Preselected(int n, bool blocks) {
    std::string scenario;
    std::string selected = "preselect";
    for (int i = 1; i <= n; ++i) {
        const std::string id = (blocks ? "b" : "t") + std::to_string(i);
        const std::string y = std::to_string(20 + i % 600);
        if (blocks) {
            scenario += "block " + id + " 420 " + y + " \"DOOR\"\n";
            for (int a = 1; a <= 4; ++a) {
                scenario += "attribute " + id + "a" + std::to_string(a) + " " + id + " \"T" + std::to_string(a) +
                            "\" \"value " + std::to_string(a) + "\"\n";
            }
        } else {
            scenario += "text " + id + " 40 " + y + " \"note " + std::to_string(i) + "\"\n";
        }
        selected += " " + id;
    }
    return scenario + selected + "\n";
}

TEST_F(CommandHostTest, PreselectionCost) {
    struct Run {
        const char* name;
        int objects;
        bool blocks;
        int texts;
    };
    for (const Run& run : {Run{"500 texts", 500, false, 500}, Run{"50 blocks of 4 attributes", 50, true, 200}}) {
        StandIn standIn(std::string("bench_") + (run.blocks ? "blocks" : "texts"), Preselected(run.objects, run.blocks),
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
