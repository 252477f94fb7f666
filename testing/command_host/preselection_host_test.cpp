// The objects selected in the drawing before "Select Text", converted in one press against the
// stand-in: one undo step, locked layers left, the cost per text.
#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "testing/command_host/command_host_fixture.h"

namespace morvane::testing_host {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing::SizeIs;

struct ReleaseCase {
    const char* name;
    const wchar_t* arguments;
};

void PrintTo(const ReleaseCase& c, std::ostream* out) { *out << c.name; }

class PreselectionHostTest : public CommandHostTest, public testing::WithParamInterface<ReleaseCase> {};

// Rule: a pre-selection of a text, a multiline text, a block (and, from release 16 on, a table) is
// converted in one press with no pick asked for, in one undo step; the set is redrawn once and
// cleared, and every reference is let go. Release 15 answers the pre-selection by name.
TEST_P(PreselectionHostTest, OnePressOneUndoStep) {
    const bool tables = std::wstring_view(GetParam().arguments).find(L"25") != std::wstring_view::npos;
    std::string scenario =
        "text t1 40 60 \"note one\"\n"
        "mtext m1 40 120 \"{\\\\C1;red} note\"\n"
        "block b1 420 60 \"DOOR\"\nattribute a1 b1 \"A\" \"one\"\nattribute a2 b1 \"B\" \"two\"\n"
        "line l1 40 200 200 200\n";
    if (tables) scenario += "table s1 40 300 1 2\ncell s1 0 0 text \"a\"\ncell s1 0 1 text \"b\"\n";
    scenario += tables ? "preselect t1 m1 b1 l1 s1\n" : "preselect t1 m1 b1 l1\n";
    StandIn standIn(std::string("preselection_") + GetParam().name, scenario, GetParam().arguments);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    const std::optional<References> before = standIn.Dump();
    ASSERT_TRUE(before);
    RunCommand();
    const std::optional<References> after = standIn.Dump();
    ASSERT_TRUE(after);
    EXPECT_THAT(dialog_.Messages(), IsEmpty());
    EXPECT_THAT(Written(standIn, "t1"), ElementsAre(u"NOTE ONE"));
    EXPECT_THAT(Written(standIn, "m1"), ElementsAre(uR"({\C1;RED} NOTE)"));
    EXPECT_THAT(Written(standIn, "a1"), ElementsAre(u"ONE"));
    EXPECT_THAT(Written(standIn, "a2"), ElementsAre(u"TWO"));
    if (tables) EXPECT_THAT(standIn.LogLines("call s1 SetText "), SizeIs(2));
    EXPECT_EQ(after->undoSteps - before->undoSteps, 1) << "one Undo takes back the whole press";
    EXPECT_EQ(after->undoOpen, 0);
    EXPECT_THAT(standIn.LogLines("call util GetEntity"), IsEmpty()) << "no click asked for";
    EXPECT_THAT(standIn.LogLines("call pickfirst Update "), SizeIs(1));
    EXPECT_THAT(standIn.LogLines("call pickfirst Clear "), SizeIs(1));
    EXPECT_THAT(standIn.LogLines("call t1 Update "), IsEmpty()) << "the set redraws them";
    EXPECT_TRUE(dialog_.Visible());
    ExpectReferences(standIn, std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Releases, PreselectionHostTest,
                         testing::Values(ReleaseCase{"Release15", L""}, ReleaseCase{"Release25", kRelease25}),
                         [](const auto& info) { return std::string(info.param.name); });

// Rule: an entity on a locked layer is left as it is, the others converted, each layer asked once;
// one message says how many of the set were left. The application is never asked to write on a
// locked layer.
TEST_F(CommandHostTest, LockedLayerIsLeftWithItsMessage) {
    StandIn standIn("preselection_locked",
                    "text t1 40 60 \"one\"\ntext t2 40 120 \"two\"\ntext t3 40 180 \"three\"\n"
                    "layer t1 NOTES\nlayer t2 FRAME\nlayer t3 NOTES\nlock FRAME\n"
                    "preselect t1 t2 t3\n",
                    kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_THAT(dialog_.Messages(),
                ElementsAre(Message{u"1 of 3 objects are on a locked layer and were left as they are", u"Morvane"}));
    EXPECT_THAT(Written(standIn, "t1"), ElementsAre(u"ONE"));
    EXPECT_THAT(Written(standIn, "t2"), IsEmpty());
    EXPECT_THAT(Written(standIn, "t3"), ElementsAre(u"THREE"));
    EXPECT_THAT(standIn.LogLines("refused=locked-layer"), IsEmpty());
    EXPECT_THAT(standIn.LogLines("call layers Item "), SizeIs(2)) << "each layer asked once";
    ExpectReferences(standIn, std::nullopt);
}

// Without a pre-selection the press asks for a click, as before, at the cost of asking for the set.
TEST_F(CommandHostTest, WithoutAPreselectionThePressPicks) {
    StandIn standIn("preselection_none", "text t1 40 60 \"note\"\npick t1\n", kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_THAT(dialog_.Messages(), IsEmpty());
    EXPECT_THAT(Written(standIn, "t1"), ElementsAre(u"NOTE"));
    EXPECT_THAT(standIn.LogLines("call util GetEntity"), SizeIs(1));
    EXPECT_THAT(standIn.LogLines("call pickfirst Count.get "), SizeIs(1));
    EXPECT_THAT(standIn.LogLines("call pickfirst Clear "), IsEmpty());
    ExpectReferences(standIn, "t1");
}

struct CostCase {
    const char* name;
    std::string scenario;
    int texts;
};

// What a pre-selection costs on a newer release: the names are looked up once per kind of object,
// and each text costs at most 8 calls (the set's Item, its kind, its text, its field code or
// dictionary, its layer, the write...), a block's attributes at most 8 each.
TEST_F(CommandHostTest, CostOfAPreselection) {
    for (const CostCase& c : {CostCase{"texts", PreselectedScenario(60, false), 60}, CostCase{"blocks", PreselectedScenario(15, true), 60}}) {
        StandIn standIn(std::string("preselection_cost_") + c.name, c.scenario, kRelease25);
        ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
        const auto start = std::chrono::steady_clock::now();
        const std::optional<CallTotals> cost = CostOfARun(standIn, [&] { RunCommand(); });
        const auto took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_TRUE(cost);
        std::cout << c.texts << " texts of " << c.name << " in one press: " << Describe(*cost) << ", "
                  << static_cast<double>(cost->total) / c.texts << " calls per text, " << took << " s\n";
        RecordProperty(std::string("preselection_") + c.name + "_calls", cost->total);
        EXPECT_THAT(dialog_.Messages(), IsEmpty());
        EXPECT_EQ(WritesOf(standIn, "TextString"), static_cast<std::size_t>(c.texts));
        EXPECT_LE(cost->total, 8 * c.texts);
        EXPECT_LE(cost->getIdsOfNames, 30) << "names looked up once per kind";
    }
}

}  // namespace
}  // namespace morvane::testing_host
