// End to end: what a pick never loses against the stand-in of a newer release: fields kept in an
// extension dictionary, cells that hold a value or a link, a multiline attribute's codes, a
// multileader's block; a table regenerated once; and what a table cell costs.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

constexpr wchar_t kRelease16[] = L"--release 16";

// Rule: a multileader, a dimension override and a text whose field is kept in the extension
// dictionary are neither written nor redrawn, nor is a multileader whose content is a block; a
// multileader whose dictionary holds other entries is converted. The field's entry is asked for by
// its name: a lookup that fails is no "no field", and the pick stops with its number, nothing written.
TEST_F(CommandHostTest, FieldsInDictionariesAreKept) {
    StandIn standIn("lost_dictionaries",
                    "mleader n1 300 120 \"see sheet 3\"\ndictionary n1 \"ACAD_FIELD\"\n"
                    "dimension d1 40 320 360 320 \"<> to sheet 3\"\ndictionary d1 \"OTHER\"\n"
                    "fail d1.xdict Item 0x80004005\n"
                    "mleader n2 300 200 block \"DETAIL-TAG\"\n"
                    "attdef e1 40 400 \"SHEET\" \"sheet 3\"\ndictionary e1 \"ACAD_FIELD\"\n"
                    "mleader n3 300 280 \"see note\"\ndictionary n3 \"OTHER\"\n"
                    "pick n1\npick d1\npick n2\npick e1\npick n3\n",
                    kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    for (int pick = 0; pick < 5; ++pick) RunCommand();
    EXPECT_THAT(dialog_.Messages(), ElementsAre(Message{u"error: -2147467259", u"Morvane"}));
    EXPECT_THAT(Written(standIn, "n1"), IsEmpty());
    EXPECT_THAT(Written(standIn, "d1", "TextOverride"), IsEmpty());
    EXPECT_THAT(standIn.LogLines("call d1.xdict Item via=invoke index=\"ACAD_FIELD\" hr=0x80004005"), SizeIs(1));
    for (const std::string& line : standIn.Log()) EXPECT_EQ(line.find("GetName"), std::string::npos) << line;
    EXPECT_THAT(Written(standIn, "n2"), IsEmpty());
    EXPECT_THAT(standIn.LogLines("content n2"), IsEmpty());
    EXPECT_THAT(Written(standIn, "n3"), ElementsAre(u"SEE NOTE"));
    EXPECT_THAT(Written(standIn, "e1"), IsEmpty());
    EXPECT_EQ(Updates(standIn, "n1") + Updates(standIn, "d1") + Updates(standIn, "n2") + Updates(standIn, "e1"), 0u);
    ExpectReferences(standIn, "n3");
}

// Rule: cells whose value is a number or a date, and linked cells, stay as they are even where the
// case would change their text; the table is regenerated once, after its writes. A release whose
// tables have no typed values (438) takes every cell for text, and regenerates at each write.
TEST_F(CommandHostTest, CellsWithValuesAreKept) {
    const std::string scenario =
        "table s1 40 60 1 6\n"
        "cell s1 0 0 number \"1.5E+03\"\ncell s1 0 1 date \"5-Jan-24\"\ncell s1 0 2 number \"12 MM\"\n"
        "cell s1 0 3 linked \"From Sheet\"\ncell s1 0 4 text \"Oak Veneer\"\ncell s1 0 5 text \"Fire Door\"\n"
        "pick s1\n";
    dialog_.Select(CaseMode::Lower);
    {
        StandIn standIn("lost_values", scenario, kRelease25);
        ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
        RunCommand();
        EXPECT_THAT(dialog_.Messages(), IsEmpty());
        EXPECT_THAT(standIn.LogLines("call s1 SetText"), SizeIs(2));
        EXPECT_THAT(standIn.LogLines("regenerate s1 "), ElementsAre("regenerate s1 n=1 after=RegenerateTableSuppressed.put"));
        EXPECT_THAT(standIn.LogLines("call s1 GetCellValue"), SizeIs(5)) << "asked only for cells that would change";
        ExpectReferences(standIn, "s1");
    }
    StandIn release16("lost_values_release16", scenario, kRelease16);
    ASSERT_TRUE(release16.Ready()) << release16.Problem();
    RunCommand();
    EXPECT_THAT(release16.LogLines("call s1 SetText"), SizeIs(5));
    EXPECT_THAT(release16.LogLines("regenerate s1 "), SizeIs(5));
    EXPECT_THAT(release16.LogLines("dispatch s1 GetIDsOfNames name=\"GetCellValue\""), SizeIs(1)) << "asked once";
    ExpectReferences(release16, "s1");
}

struct OddValueCase {
    const char* name;
    const char* answer;
    bool written;
    std::vector<Message> messages;
};

class OddCellValueTest : public CommandHostTest, public testing::WithParamInterface<OddValueCase> {};

// Rule: a value that is no string (nothing, null) leaves the cell alone; a string of a number is a
// string; a value that cannot be read is reported before any cell is written.
TEST_P(OddCellValueTest, DecidesOrStops) {
    const OddValueCase& c = GetParam();
    StandIn standIn(std::string("lost_odd_value_") + c.name,
                    std::string("table s1 40 60 1 2\ncell s1 0 0 text \"a\"\ncell s1 0 1 text \"b\"\n") + c.answer +
                        "\npick s1\n",
                    kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_EQ(dialog_.Messages(), c.messages);
    EXPECT_THAT(standIn.LogLines("call s1 SetText via=invoke row=0 col=0"), SizeIs(c.written ? 1 : 0));
    if (!c.messages.empty()) {
        EXPECT_THAT(standIn.LogLines("call s1 SetText"), IsEmpty());
    }
    ExpectReferences(standIn, "s1");
}

const OddValueCase kOddValues[] = {
    {"Empty", "answer s1 GetCellValue empty cell 0 0", false, {}},
    {"Null", "answer s1 GetCellValue null cell 0 0", false, {}},
    {"StringOfANumber", "answer s1 GetCellValue text \"12\" cell 0 0", true, {}},
    {"Refused", "fail s1 GetCellValue 0x80004005 cell 0 1", false, {{u"error: -2147467259", u"Morvane"}}},
};

INSTANTIATE_TEST_SUITE_P(Answers, OddCellValueTest, testing::ValuesIn(kOddValues),
                         [](const auto& info) { return std::string(info.param.name); });

// Rule: a multiline attribute definition picked on its own is written through its content, codes kept.
TEST_F(CommandHostTest, MultilineAttributeDefinitionKeepsItsCodes) {
    StandIn standIn("lost_attdef_multiline",
                    "attdef e1 40 400 \"NOTE\" \"{\\\\C1;door}\\\\Pleaf\"\nmultiline e1\npick e1\n", kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    dialog_.Select(CaseMode::Upper);
    RunCommand();
    EXPECT_THAT(dialog_.Messages(), IsEmpty());
    EXPECT_THAT(Written(standIn, "e1", "MTextAttributeContent"), ElementsAre(uR"({\C1;DOOR}\PLEAF)"));
    EXPECT_THAT(Written(standIn, "e1"), IsEmpty());
    EXPECT_EQ(Updates(standIn, "e1"), 1u);
    ExpectReferences(standIn, "e1");
}

// Rule: a multiline attribute whose content answers no text (type mismatch) is reported with no
// attribute of the block written.
TEST_F(CommandHostTest, MultilineContentThatIsNoText) {
    StandIn standIn("lost_content_number",
                    "block b1 420 60 \"DOOR\"\nattribute a1 b1 \"NOTE\" \"{\\\\C1;a}\\\\Pb\"\nattribute a2 b1 \"MAKER\" \"acme\"\n"
                    "multiline a1\nanswer a1 MTextAttributeContent.get number 5\npick b1\n",
                    kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_EQ(dialog_.Messages(), (std::vector<Message>{{u"error: -2147352571", u"Morvane"}}));
    EXPECT_THAT(Written(standIn, "a2"), IsEmpty());
    EXPECT_THAT(Written(standIn, "a1", "MTextAttributeContent"), IsEmpty());
    ExpectReferences(standIn, "b1");
}

// What a table cell costs: the difference in Invoke calls between a table of 20 cells and one of 10
// (what every pick costs besides cancels out; a cell costs no name look-up, and the binding keeps the
// application's names from one stand-in to the next), once with every cell changed and once with none.
// Printed for the record.
TEST_F(CommandHostTest, CostPerCell) {
    const auto table = [](int cells, const char* text) {
        std::string scenario = "table s1 40 60 " + std::to_string(cells) + " 1\n";
        for (int row = 0; row < cells; ++row) scenario += "cell s1 " + std::to_string(row) + " 0 text \"" + text + "\"\n";
        return scenario + "pick s1\n";
    };
    dialog_.Select(CaseMode::Upper);
    double perCell[2] = {};
    for (const bool changed : {true, false}) {
        int totals[2] = {};
        for (int i = 0; i < 2; ++i) {
            const int cells = 10 * (i + 1);
            StandIn standIn("lost_cell_cost_" + std::to_string(cells) + (changed ? "_changed" : "_unchanged"),
                            table(cells, changed ? "door" : "DOOR"), kRelease25);
            ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
            const std::optional<CallTotals> cost = CostOfARun(standIn, [&] { RunCommand(); });
            ASSERT_TRUE(cost) << standIn.LogText();
            totals[i] = cost->invoke;
            dialog_.PickedEntity().reset();
        }
        perCell[changed ? 0 : 1] = (totals[1] - totals[0]) / 10.0;
        std::cout << (changed ? "changed" : "unchanged") << " cells: 10 cost " << totals[0] << " Invoke calls, 20 cost "
                  << totals[1] << "\n";
    }
    std::cout << "calls per changed table cell: " << perCell[0] << ", per unchanged one: " << perCell[1] << "\n";
    RecordProperty("calls_per_changed_cell", std::to_string(perCell[0]));
    RecordProperty("calls_per_unchanged_cell", std::to_string(perCell[1]));
    EXPECT_GT(perCell[0], perCell[1]);
}

}  // namespace
}  // namespace morvane::testing_host
