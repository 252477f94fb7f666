// End to end: a picked table against the stand-in of a newer release, driven by name: every text
// cell in the chosen case in one pick, a merged range through its first cell only, what the table
// holds besides text left as it was, odd answers refused before anything is written, and what a
// large table costs.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testing/command_host/command_host_fixture.h"

namespace morvane::testing_host {
namespace {

using testing::Each;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;


struct CellText {
    int row;
    int column;
    std::u16string text;

    bool operator==(const CellText&) const = default;
    friend void PrintTo(const CellText& cell, std::ostream* out) {
        *out << "(" << cell.row << "," << cell.column << ") \"" << std::string(cell.text.begin(), cell.text.end()) << "\"";
    }
};

int NumberField(const std::string& line, std::string_view key) {
    const std::u16string value = LogField(line, key).value_or(u"-1");
    return std::stoi(std::string(value.begin(), value.end()));
}

// The texts the table's cells were given, in order ("call s1 SetText ..." lines that succeeded).
std::vector<CellText> CellsWritten(const StandIn& standIn, const std::string& table) {
    std::vector<CellText> cells;
    for (const std::string& line : standIn.LogLines("call " + table + " SetText ")) {
        if (LogField(line, "hr") != u"0x00000000") continue;
        cells.push_back({NumberField(line, "row"), NumberField(line, "col"), LogField(line, "value").value_or(u"")});
    }
    return cells;
}

// The table's cells as the stand-in's last dump described them (type, state, field, content,
// merge, text), by row and column.
std::map<std::pair<int, int>, std::string> LastDumpOfCells(const StandIn& standIn, const std::string& table) {
    std::map<std::pair<int, int>, std::string> cells;
    for (const std::string& line : standIn.LogLines("cell " + table + " ")) {
        cells[{NumberField(line, "row"), NumberField(line, "col")}] = line;
    }
    return cells;
}

struct ScheduleCase {
    const char* name;
    CaseMode mode;
    std::vector<CellText> written;
};

class SampleScheduleTest : public CommandHostTest, public testing::WithParamInterface<ScheduleCase> {};

// The sample drawing's door schedule, in each case: every text cell whose text changes is written
// once, through the top left cell of the merged title; the number, formula, field, block and
// locked cells, and the cells whose text is already in the case, stay exactly as they were; one
// redraw, no message.
TEST_P(SampleScheduleTest, ConvertsEveryTextCellOnce) {
    const ScheduleCase& c = GetParam();
    StandIn standIn(std::string("schedule_") + c.name, "pick s1\n", kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    const std::optional<References> undoBefore = standIn.Dump();
    ASSERT_TRUE(undoBefore);
    const auto before = LastDumpOfCells(standIn, "s1");
    dialog_.Select(c.mode);
    RunCommand();
    EXPECT_THAT(dialog_.Messages(), IsEmpty());
    EXPECT_TRUE(dialog_.Visible());
    EXPECT_EQ(CellsWritten(standIn, "s1"), c.written);
    EXPECT_EQ(Updates(standIn, "s1"), 1u);
    const std::optional<References> undoAfter = standIn.Dump();
    ASSERT_TRUE(undoAfter);
    EXPECT_EQ(undoAfter->undoSteps - undoBefore->undoSteps, 1) << "one Undo takes back the whole pick";
    EXPECT_EQ(undoAfter->undoOpen, 0);
    const auto after = LastDumpOfCells(standIn, "s1");
    for (const std::pair<int, int>& kept : {std::pair{2, 4}, std::pair{3, 4}, std::pair{5, 1}, std::pair{6, 2},
                                          std::pair{4, 3}, std::pair{0, 1}}) {
        EXPECT_EQ(after.at(kept), before.at(kept)) << "cell " << kept.first << "," << kept.second;
    }
    ExpectReferences(standIn, "s1");
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SampleScheduleTest,
    testing::Values(
        ScheduleCase{"Upper", CaseMode::Upper,
                     {{1, 0, u"MARK"}, {1, 1, u"SIZE"}, {1, 2, u"TYPE"}, {1, 3, u"FIRE RATING"}, {1, 4, u"COST"},
                      {2, 1, u"910 X 2100"}, {2, 2, u"SINGLE SWING, SOLID CORE"},
                      {3, 1, u"1810 X 2100"}, {3, 2, u"DOUBLE SWING, {\\C1;GLAZED}"}, {3, 3, u"FD30S"},
                      {4, 1, u"820 X 2040"}, {4, 4, u"TBC"},
                      {5, 2, u"SLIDING, POCKET"}, {5, 3, u"NONE"}, {5, 4, u"ALLOW 600.00"},
                      {6, 1, u"900 X 2100"}}},
        ScheduleCase{"Lower", CaseMode::Lower,
                     {{0, 0, u"{\\fArial|b1;door schedule}"},
                      {1, 0, u"mark"}, {1, 1, u"size"}, {1, 2, u"type"}, {1, 3, u"fire rating"}, {1, 4, u"cost"},
                      {2, 0, u"d01"}, {2, 3, u"fd30"},
                      {3, 0, u"d02"}, {3, 2, u"double swing, {\\C1;glazed}"}, {3, 3, u"fd30s"},
                      {4, 0, u"d03"}, {4, 2, u"single swing, hollow core"},
                      {5, 0, u"d04"}, {5, 2, u"sliding, pocket"}, {5, 4, u"allow 600.00"},
                      {6, 0, u"d05"}, {6, 3, u"fd30"}}},
        ScheduleCase{"Title", CaseMode::Title,
                     {{0, 0, u"{\\fArial|b1;Door Schedule}"}, {1, 3, u"Fire Rating"},
                      {2, 1, u"910 X 2100"}, {2, 2, u"Single Swing, Solid Core"}, {2, 3, u"Fd30"},
                      {3, 1, u"1810 X 2100"}, {3, 2, u"Double Swing, {\\C1;Glazed}"}, {3, 3, u"Fd30s"},
                      {4, 1, u"820 X 2040"}, {4, 2, u"Single Swing, Hollow Core"}, {4, 4, u"Tbc"},
                      {5, 3, u"None"},
                      {6, 1, u"900 X 2100"}, {6, 3, u"Fd30"}}},
        ScheduleCase{"Sentence", CaseMode::Sentence,
                     // A sentence that begins with a figure has no letter to raise: "910 x 2100" stays.
                     {{0, 0, u"{\\fArial|b1;Door schedule}"},
                      {2, 2, u"Single swing, solid core"}, {2, 3, u"Fd30"},
                      {3, 3, u"Fd30s"},
                      {4, 2, u"Single swing, hollow core"}, {4, 4, u"Tbc"},
                      {5, 2, u"Sliding, pocket"}, {5, 3, u"None"},
                      {6, 3, u"Fd30"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A range merged over two rows and three columns (rows 1 and 2, columns 0 to 2): its cells hidden
// behind the first each keep a lowercase text of their own, so that a visit to one shows as a write.
constexpr char kMergedRange[] = "table s1 40 60 4 3\n"
                                "merge s1 1 0 2 2\n"
                                "cell s1 0 0 text \"a\"\ncell s1 0 1 text \"b\"\ncell s1 0 2 text \"c\"\n"
                                "cell s1 1 0 text \"merged note\"\n"
                                "cell s1 1 1 text \"hidden one\"\ncell s1 1 2 text \"hidden two\"\n"
                                "cell s1 2 0 text \"hidden three\"\ncell s1 2 1 text \"hidden four\"\n"
                                "cell s1 2 2 text \"hidden five\"\n"
                                "cell s1 3 0 text \"d\"\ncell s1 3 1 text \"e\"\ncell s1 3 2 text \"f\"\n"
                                "pick s1\n";

// A merged range whose rows and columns differ is written once, through its first cell; none of the
// cells it hides is visited (a client that took IsMergedCell's bounds in another order would visit
// and write them).
TEST_F(CommandHostTest, MergedRangeIsWrittenThroughItsFirstCellOnly) {
    StandIn standIn("merged_range", kMergedRange, kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    dialog_.Select(CaseMode::Upper);
    RunCommand();
    EXPECT_THAT(dialog_.Messages(), IsEmpty());
    EXPECT_EQ(CellsWritten(standIn, "s1"),
              (std::vector<CellText>{{0, 0, u"A"}, {0, 1, u"B"}, {0, 2, u"C"}, {1, 0, u"MERGED NOTE"},
                                     {3, 0, u"D"}, {3, 1, u"E"}, {3, 2, u"F"}}));
    EXPECT_THAT(standIn.LogLines("call s1 SetText "), Each(Not(HasSubstr("hidden=yes"))));
    ExpectReferences(standIn, "s1");
}

struct OddCase {
    const char* name;
    const char* statements;  // added to a 3 x 2 table of lowercase text cells
    std::vector<Message> messages;
    std::vector<CellText> written;
};

class OddTableTest : public CommandHostTest, public testing::WithParamInterface<OddCase> {};

constexpr char kSmallTable[] = "table s1 40 60 3 2\n"
                               "cell s1 0 0 text \"a\"\ncell s1 0 1 text \"b\"\n"
                               "cell s1 1 0 text \"c\"\ncell s1 1 1 text \"d\"\n"
                               "cell s1 2 0 text \"e\"\ncell s1 2 1 text \"f\"\n"
                               "pick s1\n";

const std::vector<CellText> kAllWritten{{0, 0, u"A"}, {0, 1, u"B"}, {1, 0, u"C"}, {1, 1, u"D"}, {2, 0, u"E"}, {2, 1, u"F"}};

// A table that answers oddly, or fails while it is read, is left exactly as it was with a clear
// error; nothing is held for a size that cannot be, and no cell is written twice. A failure while
// writing leaves the cells before it written, and is reported.
TEST_P(OddTableTest, WritesNothingItCannotTrust) {
    const OddCase& c = GetParam();
    StandIn standIn(std::string("odd_table_") + c.name, std::string(kSmallTable) + c.statements, kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    const std::optional<References> before = standIn.Dump();
    ASSERT_TRUE(before);
    dialog_.Select(CaseMode::Upper);
    RunCommand();
    EXPECT_EQ(dialog_.Messages(), c.messages);
    EXPECT_TRUE(dialog_.Visible());
    EXPECT_EQ(CellsWritten(standIn, "s1"), c.written);
    // Whatever was written is one undo step, its mark ended even when a write failed.
    const std::optional<References> after = standIn.Dump();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->undoSteps - before->undoSteps, c.written.empty() ? 0 : 1);
    EXPECT_EQ(after->undoOpen, 0);
    ExpectReferences(standIn, "s1");
}

const Message kOverflow{u"error: 6", u"Morvane"};
const Message kTypeMismatch{u"error: -2147352571", u"Morvane"};
const Message kFailed{u"error: -2147467259", u"Morvane"};

INSTANTIATE_TEST_SUITE_P(
    Answers, OddTableTest,
    testing::Values(
        OddCase{"NoRows", "answer s1 Rows.get number 0\n", {}, {}},
        OddCase{"NegativeRows", "answer s1 Rows.get number -3\n", {kOverflow}, {}},
        OddCase{"RowsBeyondAnyTable", "answer s1 Rows.get number 2147483647\n", {kOverflow}, {}},
        OddCase{"ColumnsAsText", "answer s1 Columns.get text \"7\"\n", {kTypeMismatch}, {}},
        OddCase{"CellTextAsNumber", "answer s1 GetText number 5 cell 2 1\n", {kTypeMismatch}, {}},
        OddCase{"CellReadFails", "fail s1 GetText 0x80004005 cell 2 1\n", {kFailed}, {}},
        OddCase{"MergeQuestionFails", "fail s1 IsMergedCell 0x80004005 cell 1 0\n", {kFailed}, {}},
        // A release whose IsMergedCell takes its bounds in another type than the typed call's.
        OddCase{"MergeArgumentsRefused", "fail s1 IsMergedCell 0x80020005 cell 1 0\n", {kTypeMismatch}, {}},
        // A table that does not know IsMergedCell has no merged cells: every cell is its own.
        OddCase{"MergeUnknown", "fail s1 IsMergedCell 0x80020003 always\n", {}, kAllWritten},
        OddCase{"MergeWithoutItsCell", "answer s1 IsMergedCell range 2 2 0 1 cell 0 0\n", {}, kAllWritten},
        OddCase{"WriteFails", "fail s1 SetText 0x80004005 cell 1 1\n", {kFailed},
                {{0, 0, u"A"}, {0, 1, u"B"}, {1, 0, u"C"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A table of rows x columns text cells, every one in lower case.
std::string TableOfText(int rows, int columns) {
    std::string scenario = "table s1 40 60 " + std::to_string(rows) + " " + std::to_string(columns) + "\n";
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            scenario += "cell s1 " + std::to_string(row) + " " + std::to_string(column) + " text \"item " +
                        std::to_string(row) + " part " + std::to_string(column) + "\"\n";
        }
    }
    return scenario + "pick s1\n";
}

// What a table costs: the names are looked up once per pick, and each text cell that changes costs
// seven calls (whether it is merged, its type, its text, its field, its state, its value, the write),
// the table regenerated once. A 20 x 5 table stays within that; a 100 x 10 one is measured and its
// time printed.
TEST_F(CommandHostTest, CostOfATable) {
    for (const auto& [rows, columns] : {std::pair{20, 5}, std::pair{100, 10}}) {
        const std::string size = std::to_string(rows) + "x" + std::to_string(columns);
        StandIn standIn("table_cost_" + size, TableOfText(rows, columns), kRelease25);
        ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
        dialog_.Select(CaseMode::Upper);
        const auto start = std::chrono::steady_clock::now();
        const std::optional<CallTotals> cost = CostOfARun(standIn, [&] { RunCommand(); });
        const auto took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_TRUE(cost);
        const int cells = rows * columns;
        std::cout << "a " << size << " table in one pick: " << Describe(*cost) << ", "
                  << static_cast<double>(cost->total) / cells << " calls per cell, " << took << " s\n";
        RecordProperty("table_" + size + "_calls", cost->total);
        EXPECT_THAT(dialog_.Messages(), IsEmpty());
        EXPECT_EQ(CellsWritten(standIn, "s1").size(), static_cast<std::size_t>(cells));
        EXPECT_LE(cost->total, 7 * cells + 40);
        EXPECT_LE(cost->getIdsOfNames, 24);
        EXPECT_THAT(standIn.LogLines("regenerate s1 "), ElementsAre("regenerate s1 n=1 after=RegenerateTableSuppressed.put"));
        dialog_.PickedEntity().reset();
    }
}

}  // namespace
}  // namespace morvane::testing_host
