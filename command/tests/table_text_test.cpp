#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "command/command_phase.h"
#include "command/tests/command_fixture.h"
#include "failure/com_error_number.h"
#include "failure/failure.h"

// A picked table: every text cell in the chosen case, in one undo step; what it leaves as it was.

namespace morvane {
namespace {

using fakes::FakeCell;
using fakes::FakeTable;

// A door schedule: a merged title, a header, doors with a block cell, a formula, a locked cell and
// a number.
FakeTable DoorSchedule() {
    const CellRange title{0, 0, 0, 2};
    return FakeTable{
        .rows = 4,
        .columns = 3,
        .cells = {
            {.text = u"Door schedule", .merged = title}, {.text = u"", .merged = title}, {.text = u"", .merged = title},
            {.text = u"Mark"}, {.text = uR"({\C1;Type})"}, {.text = u"Width"},
            {.text = u"d1"}, {.text = u"", .textCell = false}, {.text = u"12.50"},
            {.text = u"Fire door", .locked = true}, {.text = u"sum of widths", .field = true}, {.text = u"Oak veneer"},
        }};
}

// Every text cell is converted and written once, in one undo step, and the table redrawn once.
TEST_F(CommandTest, TableCellsInTheChosenCase) {
    fakes::FakeEntity& picked = cad.PickTable(DoorSchedule());
    Run();
    FakeTable& table = *picked.table;
    EXPECT_EQ(table.At(0, 0).text, u"DOOR SCHEDULE");
    EXPECT_EQ(table.At(1, 0).text, u"MARK");
    EXPECT_EQ(table.At(1, 1).text, uR"({\C1;TYPE})");
    EXPECT_EQ(table.At(2, 0).text, u"D1");
    EXPECT_EQ(table.At(3, 2).text, u"OAK VENEER");
    // What stays exactly as it was: the merged range's other cells, the block, the number, the
    // locked cell and the formula.
    for (const auto& [row, column] : {std::pair{0, 1}, {0, 2}, {2, 1}, {2, 2}, {3, 0}, {3, 1}}) {
        EXPECT_EQ(table.At(row, column).writes, 0) << row << "," << column;
    }
    EXPECT_EQ(table.At(3, 0).text, u"Fire door");
    EXPECT_EQ(table.At(3, 1).text, u"sum of widths");
    for (const FakeCell& cell : table.cells) EXPECT_LE(cell.writes, 1);
    EXPECT_FALSE(Called("GetText(0,1)")) << "a merged range is read through its first cell";
    EXPECT_FALSE(Called("GetText(2,1)")) << "a block cell is not read";
    EXPECT_EQ(picked.updates, 1);
    EXPECT_TRUE(dialog.Messages().empty());
    const auto start = std::find(Calls().begin(), Calls().end(), "StartUndoMark");
    const auto firstWrite = std::find_if(Calls().begin(), Calls().end(), [](const std::string& c) { return c.starts_with("SetText"); });
    const auto end = std::find(Calls().begin(), Calls().end(), "EndUndoMark");
    EXPECT_LT(start, firstWrite);
    EXPECT_LT(firstWrite, end);
    const auto lastRead = std::find_if(Calls().rbegin(), Calls().rend(), [](const std::string& c) { return c.starts_with("GetText"); });
    EXPECT_LT(lastRead.base(), firstWrite) << "every cell read before any is written";
}

// Title Case on the schedule: each cell is its own text for the word rules.
TEST_F(CommandTest, TableInTitleCase) {
    FakeTable schedule = DoorSchedule();
    schedule.At(3, 2).text = u"OAK VENEER";
    fakes::FakeEntity& picked = cad.PickTable(schedule);
    dialog.Select(CaseMode::Title);
    Run();
    EXPECT_EQ(picked.table->At(0, 0).text, u"Door Schedule");
    EXPECT_EQ(picked.table->At(3, 2).text, u"Oak Veneer");
    EXPECT_EQ(picked.table->At(0, 0).writes, 1);
    EXPECT_EQ(picked.table->At(1, 0).writes, 0) << "unchanged, not written";
}

// A table whose cells the case does not change is not written, marked or redrawn.
TEST_F(CommandTest, UnchangedTableIsNotWritten) {
    fakes::FakeEntity& picked = cad.PickTable(FakeTable{.rows = 1, .columns = 2, .cells = {{.text = u"A1"}, {.text = u"12.50"}}});
    Run();
    EXPECT_FALSE(Called("StartUndoMark"));
    EXPECT_EQ(picked.updates, 0);
    EXPECT_FALSE(Called("GetFieldId(0,0)")) << "an unchanged cell is asked nothing more";
}

// A release without cell states: every cell is unlocked, and the state is asked only once.
TEST_F(CommandTest, TableWithoutCellStates) {
    FakeTable table{.rows = 1, .columns = 2, .cells = {{.text = u"a"}, {.text = u"b", .locked = true}}, .states = false};
    fakes::FakeEntity& picked = cad.PickTable(table);
    Run();
    EXPECT_EQ(picked.table->At(0, 0).text, u"A");
    EXPECT_EQ(picked.table->At(0, 1).text, u"B");
    EXPECT_EQ(std::count_if(Calls().begin(), Calls().end(), [](const std::string& c) { return c.starts_with("GetCellState"); }), 1);
}

// Bad answers from a table: a clear error or nothing to do, never a crash, never a cell written,
// and no attempt to hold a size the table cannot have.
struct BadTableCase {
    const char* name;
    FakeTable table;
    const char* failing;  // a step that fails, or nullptr
    std::int32_t number;
    Messages messages;
};

const Messages kOverflowBox{{u"error: 6", u"Morvane"}};

const BadTableCase kBadTables[] = {
    {"NoRows", {.rows = 0, .columns = 3}, nullptr, 0, {}},
    {"NegativeRows", {.rows = -1, .columns = 3}, nullptr, 0, kOverflowBox},
    {"NegativeColumns", {.rows = 2, .columns = -5}, nullptr, 0, kOverflowBox},
    {"TooManyCells", {.rows = 2147483647, .columns = 2147483647}, nullptr, 0, kOverflowBox},
    {"RowsNotANumber", {.rows = 1, .columns = 1, .cells = {{.text = u"a"}}}, "Rows", error_number::kTypeMismatch,
     {{u"error: -2147352571", u"Morvane"}}},
    {"TextNotAString", {.rows = 1, .columns = 2, .cells = {{.text = u"a"}, {.text = u"b"}}}, "GetText",
     error_number::kTypeMismatch, {{u"error: -2147352571", u"Morvane"}}},
    {"MergeUnanswerable", {.rows = 1, .columns = 2, .cells = {{.text = u"a"}, {.text = u"b"}}}, "IsMergedCell",
     -2147467259, {{u"error: -2147467259", u"Morvane"}}},
    {"CellOverLimit", {.rows = 1, .columns = 2, .cells = {{.text = u"a"}, {.text = u"%%U" + std::u16string(32768, u'x')}}},
     nullptr, 0, kOverflowBox},
};

void PrintTo(const BadTableCase& row, std::ostream* out) { *out << row.name; }

class BadTable : public CommandTest, public ::testing::WithParamInterface<BadTableCase> {};

TEST_P(BadTable, WritesNothing) {
    const BadTableCase& row = GetParam();
    fakes::FakeEntity& picked = cad.PickTable(row.table);
    if (row.failing) cad.FailAt(row.failing, row.number);
    Run();
    EXPECT_EQ(dialog.Messages(), row.messages);
    for (const FakeCell& cell : picked.table->cells) EXPECT_EQ(cell.writes, 0);
    EXPECT_FALSE(Called("StartUndoMark"));
    EXPECT_LE(Calls().size(), 40u) << "no walk over cells the table cannot have";
    EXPECT_EQ(Calls().back(), "Show");
}

INSTANTIATE_TEST_SUITE_P(Answers, BadTable, ::testing::ValuesIn(kBadTables),
                         [](const auto& info) { return std::string(info.param.name); });

// Merged ranges that do not hold their own cell, or overlap, never get a cell written twice.
TEST_F(CommandTest, OddMergesWriteNoCellTwice) {
    const CellRange elsewhere{1, 1, 1, 1};
    const CellRange wide{0, 1, 0, 1};
    fakes::FakeEntity& picked = cad.PickTable(FakeTable{
        .rows = 2, .columns = 2,
        .cells = {{.text = u"a", .merged = elsewhere}, {.text = u"b", .merged = wide}, {.text = u"c", .merged = wide}, {.text = u"d", .merged = wide}}});
    Run();
    for (const FakeCell& cell : picked.table->cells) EXPECT_LE(cell.writes, 1);
    EXPECT_EQ(picked.table->At(0, 0).text, u"A") << "a range without its cell: the cell stands alone";
    EXPECT_EQ(picked.table->At(0, 1).text, u"B");
}

// A failed write ends the undo step and goes to the dispatch; the cells written before stay.
TEST_F(CommandTest, TableWriteFailure) {
    fakes::FakeEntity& picked = cad.PickTable(FakeTable{.rows = 1, .columns = 2, .cells = {{.text = u"a"}, {.text = u"b"}}});
    cad.FailAt("SetText", -2147467259);
    Run();
    EXPECT_EQ(dialog.Messages(), (Messages{{u"error: -2147467259", u"Morvane"}}));
    EXPECT_TRUE(Called("EndUndoMark"));
    EXPECT_EQ(picked.updates, 0);
}

// Cells that hold a value: a number or a date whose text the case would change, and a linked cell,
// stay as they are; a release without typed values (438) holds text; GetCellValue is asked only
// for cells that would change.
TEST_F(CommandTest, CellsWithValuesStayAsTheyAre) {
    fakes::FakeEntity& picked = cad.PickTable(FakeTable{
        .rows = 1, .columns = 5,
        .cells = {{.text = u"1.5E+03", .stringValue = false}, {.text = u"5-Jan-24", .stringValue = false},
                  {.text = u"from link", .linked = true}, {.text = u"door"}, {.text = u"12"}}});
    dialog.Select(CaseMode::Lower);
    Run();
    FakeTable& table = *picked.table;
    for (int column = 0; column < 3; ++column) EXPECT_EQ(table.At(0, column).writes, 0) << column;
    EXPECT_EQ(table.At(0, 3).writes, 0) << "unchanged";
    EXPECT_EQ(table.At(0, 1).text, u"5-Jan-24");
    EXPECT_FALSE(Called("GetCellValue(0,3)")) << "asked only for cells that would change";
    EXPECT_FALSE(Called("GetCellValue(0,2)")) << "a linked cell is left before its value is asked";

    FakeTable older{.rows = 1, .columns = 2, .cells = {{.text = u"a", .stringValue = false}, {.text = u"b"}}, .values = false};
    fakes::FakeEntity& before2008 = cad.PickTable(older);
    dialog.Select(CaseMode::Upper);
    const std::size_t before = Calls().size();
    Run();
    EXPECT_EQ(before2008.table->At(0, 0).text, u"A");
    EXPECT_EQ(before2008.table->At(0, 1).text, u"B");
    EXPECT_EQ(std::count_if(Calls().begin() + static_cast<std::ptrdiff_t>(before), Calls().end(),
                            [](const std::string& call) { return call.starts_with("GetCellValue"); }),
              1)
        << "asked once per pick";
}

// A value that cannot be asked is reported before any cell is written.
TEST_F(CommandTest, CellValueFailureWritesNothing) {
    fakes::FakeEntity& picked = cad.PickTable(FakeTable{.rows = 1, .columns = 2, .cells = {{.text = u"a"}, {.text = u"b"}}});
    cad.FailAt("GetCellValue", kFailed);
    Run();
    EXPECT_EQ(dialog.Messages(), (Messages{{u"error: -2147467259", u"Morvane"}}));
    for (const FakeCell& cell : picked.table->cells) EXPECT_EQ(cell.writes, 0);
    EXPECT_FALSE(Called("StartUndoMark"));
}

// The table is regenerated once: its regeneration suppressed around the writes, inside the undo
// step, let again on every way out before the step ends, then one Update. A table that does not
// answer it is written without; one cell needs no suppression.
struct RegenerationCase {
    const char* name;
    std::vector<FakeCell> cells;
    bool suppression;
    std::vector<const char*> failing;
    std::vector<std::string> expected;  // the calls from the undo mark on
    std::u16string message;             // empty: none
};

const RegenerationCase kRegenerationCases[] = {
    {"Suppressed", {{.text = u"a"}, {.text = u"b"}}, true, {},
     {"StartUndoMark", "RegenerateTableSuppressed(true)", "SetText(0,0,A)", "SetText(0,1,B)",
      "RegenerateTableSuppressed(false)", "EndUndoMark", "Update", "Show"}, u""},
    {"NotAnswered", {{.text = u"a"}, {.text = u"b"}}, false, {},
     {"StartUndoMark", "RegenerateTableSuppressed(true)", "SetText(0,0,A)", "SetText(0,1,B)", "EndUndoMark", "Update",
      "Show"}, u""},
    {"OneCell", {{.text = u"a"}, {.text = u"B"}}, true, {}, {"SetText(0,0,A)", "Update", "Show"}, u""},
    {"WriteFails", {{.text = u"a"}, {.text = u"b"}}, true, {"SetText"},
     {"StartUndoMark", "RegenerateTableSuppressed(true)", "SetText(0,0,A)", "RegenerateTableSuppressed(false)",
      "EndUndoMark", "ShowMessage(error: -2147467259|Morvane)", "Show"}, u"error: -2147467259"},
    {"RefusedOnTheWayIn", {{.text = u"a"}, {.text = u"b"}}, true, {"RegenerateTableSuppressed"},
     {"StartUndoMark", "RegenerateTableSuppressed(true)", "EndUndoMark", "ShowMessage(error: -2147467259|Morvane)",
      "Show"}, u"error: -2147467259"},
};

void PrintTo(const RegenerationCase& row, std::ostream* out) { *out << row.name; }

class TableRegeneration : public CommandTest, public ::testing::WithParamInterface<RegenerationCase> {};

TEST_P(TableRegeneration, HappensOnce) {
    const RegenerationCase& row = GetParam();
    fakes::FakeEntity& picked = cad.PickTable(
        FakeTable{.rows = 1, .columns = static_cast<std::int32_t>(row.cells.size()), .cells = row.cells, .suppression = row.suppression});
    for (const char* step : row.failing) cad.FailAt(step, kFailed);
    Run();
    const auto first = std::find_if(Calls().begin(), Calls().end(), [](const std::string& call) {
        return call == "StartUndoMark" || call.starts_with("RegenerateTableSuppressed") || call.starts_with("SetText");
    });
    EXPECT_EQ(std::vector<std::string>(first, Calls().end()), row.expected);
    EXPECT_EQ(dialog.Messages().empty(), row.message.empty());
    EXPECT_FALSE(picked.table->regenerationSuppressed && row.failing.empty()) << "let again";
}

INSTANTIATE_TEST_SUITE_P(Tables, TableRegeneration, ::testing::ValuesIn(kRegenerationCases),
                         [](const auto& info) { return std::string(info.param.name); });

// "Cancel" while a cell's write waits: nothing more is written, and the table's regeneration is let
// go again before the undo step ends.
TEST_F(CommandTest, CancelInsideATableLetsItsRegenerationGo) {
    fakes::FakeEntity& picked =
        cad.PickTable(FakeTable{.rows = 1, .columns = 3, .cells = {{.text = u"a"}, {.text = u"b"}, {.text = u"c"}}});
    log.Observe([&](std::string_view call) {
        if (call == "SetText(0,0,A)") (void)dialog.Press(PhaseInput::Cancel);
    });
    ASSERT_EQ(dialog.Press(PhaseInput::SelectText), PhaseAction::Act);
    Run();
    log.Observe(nullptr);
    const auto first = std::find(Calls().begin(), Calls().end(), "StartUndoMark");
    const std::vector<std::string> expected{"StartUndoMark", "RegenerateTableSuppressed(true)", "SetText(0,0,A)",
                                            "RegenerateTableSuppressed(false)", "EndUndoMark"};
    EXPECT_EQ(std::vector<std::string>(first, Calls().end()), expected);
    EXPECT_FALSE(picked.table->regenerationSuppressed);
}

// Refused on the way back, after every cell was written: reported once the undo step has ended, and
// the table is redrawn all the same, so that the written cells show.
TEST_F(CommandTest, RegenerationRefusedOnTheWayBack) {
    fakes::FakeEntity& picked = cad.PickTable(FakeTable{.rows = 1, .columns = 2, .cells = {{.text = u"a"}, {.text = u"b"}}});
    log.Observe([&](std::string_view call) {
        if (call == "RegenerateTableSuppressed(false)") cad.FailAt("RegenerateTableSuppressed", kFailed);
    });
    Run();
    const auto first = std::find(Calls().begin(), Calls().end(), "StartUndoMark");
    const std::vector<std::string> expected{"StartUndoMark", "RegenerateTableSuppressed(true)", "SetText(0,0,A)",
                                            "SetText(0,1,B)", "RegenerateTableSuppressed(false)", "EndUndoMark",
                                            "Update", "ShowMessage(error: -2147467259|Morvane)", "Show"};
    EXPECT_EQ(std::vector<std::string>(first, Calls().end()), expected);
    EXPECT_EQ(picked.table->At(0, 1).text, u"B");
}

}  // namespace
}  // namespace morvane
