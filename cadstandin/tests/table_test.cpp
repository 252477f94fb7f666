#include "cadstandin/table.h"

#include <gtest/gtest.h>

namespace cadstandin {
namespace {

// A small schedule: a title merged across three columns, a number, a field, a locked text, a block.
TableModel Schedule() {
    TableModel table(3, 3);
    EXPECT_TRUE(table.Merge({0, 0, 0, 2}));
    table.Define(0, 0, CellContent::Text, u"{\\fArial|b1;DOORS}", false);
    table.Define(1, 0, CellContent::Number, u"12.50", false);
    table.Define(1, 1, CellContent::Field, u"910 x 2100", false);
    table.Define(1, 2, CellContent::Formula, u"25.00", false);
    table.Define(2, 0, CellContent::Text, u"FD30", true);
    table.Define(2, 1, CellContent::Block, u"DOOR-SWING", false);
    return table;
}

// Rule: a cell answers its type, state and field as the CAD application's enumerations say.
TEST(TableModel, CellsAnswerTypeStateAndField) {
    const TableModel table = Schedule();
    EXPECT_EQ(table.TypeOf(2, 1), CellType::Block);
    EXPECT_EQ(table.TypeOf(1, 0), CellType::Text) << "a number is a text cell";
    EXPECT_EQ(table.TypeOf(2, 2), CellType::Text) << "an empty cell is a text cell";
    EXPECT_EQ(table.StateOf(2, 0), kCellStateContentLocked);
    EXPECT_EQ(table.StateOf(1, 0), kCellStateNone);
    EXPECT_EQ(table.Cell(1, 1).field, 1) << "fields and formulas are numbered in their table";
    EXPECT_EQ(table.Cell(1, 2).field, 2);
    EXPECT_EQ(table.Cell(1, 0).field, 0);
    EXPECT_EQ(table.Cell(2, 1).text, u"") << "a block cell has no text";
    EXPECT_EQ(table.Cell(2, 1).blockName, u"DOOR-SWING");
}

// Rule: SetText makes any cell a text cell (a number, a field, a block alike) and says what it replaced;
// the screen shows the new text only after Update.
TEST(TableModel, SetTextReplacesWhateverTheCellHeld) {
    TableModel table = Schedule();
    for (const auto& [row, col, before] : {std::tuple{1, 0, CellContent::Number}, std::tuple{1, 1, CellContent::Field},
                                          std::tuple{2, 1, CellContent::Block}, std::tuple{2, 2, CellContent::Empty}}) {
        EXPECT_EQ(table.SetText(row, col, u"x"), before) << row << "," << col;
        EXPECT_EQ(table.Cell(row, col).content, CellContent::Text);
        EXPECT_EQ(table.Cell(row, col).field, 0);
        EXPECT_EQ(table.TypeOf(row, col), CellType::Text);
        EXPECT_NE(table.Cell(row, col).shown, u"x");
    }
    table.Update();
    EXPECT_EQ(table.Cell(1, 0).shown, u"x");
}

// Rule: every cell of a merge belongs to it; only its top left cell is shown.
TEST(TableModel, MergedCellsShareTheirRange) {
    const TableModel table = Schedule();
    for (int col = 0; col < 3; ++col) {
        ASSERT_TRUE(table.MergeOf(0, col).has_value());
        EXPECT_EQ(*table.MergeOf(0, col), (CellRange{0, 0, 0, 2}));
        EXPECT_EQ(table.Hidden(0, col), col != 0);
    }
    EXPECT_FALSE(table.MergeOf(1, 0).has_value());
    EXPECT_FALSE(table.Hidden(1, 0));
}

// Rule: a merge must span two cells or more inside the table and overlap no other merge.
TEST(TableModel, RefusesImpossibleMerges) {
    TableModel table = Schedule();
    for (const CellRange& bad : {CellRange{1, 1, 1, 1}, CellRange{1, 3, 0, 0}, CellRange{2, 2, 2, 3}, CellRange{0, 1, 2, 2},
                                 CellRange{2, 1, 0, 0}, CellRange{-1, 0, 0, 0}}) {
        EXPECT_FALSE(table.Merge(bad)) << bad.minRow << "," << bad.maxRow << "," << bad.minCol << "," << bad.maxCol;
    }
    EXPECT_TRUE(table.Merge({1, 2, 0, 0}));
}

// Rule: columns are as wide as their widest unmerged cell; a merged title wider than its columns
// widens them evenly, and a merged cell's box is the whole range.
TEST(TableModel, GridMakesRoomForEveryCell) {
    const TableModel table = Schedule();
    const auto measure = [](int row, int col) {
        if (row == 0) return CellSize{400, 20};  // the title
        return CellSize{col == 0 ? 50 : 100, 10};
    };
    const TableGrid grid = LayOutGrid(table, measure, {5, 2}, {20, 16});
    ASSERT_EQ(grid.columnEdges.size(), 4u);
    ASSERT_EQ(grid.rowEdges.size(), 4u);
    EXPECT_EQ(grid.columnEdges.back(), 410) << "the title and its padding";
    EXPECT_EQ(grid.columnEdges[1] - grid.columnEdges[0], 60 + (410 - 280) / 3);
    EXPECT_EQ(grid.rowEdges[1] - grid.rowEdges[0], 24);
    EXPECT_EQ(grid.rowEdges[2] - grid.rowEdges[1], 16) << "the minimum height";
    EXPECT_EQ(grid.CellBox(table, 0, 1), (std::array<int, 4>{0, 0, 410, 24}));
    EXPECT_EQ(grid.CellBox(table, 1, 1), (std::array<int, 4>{grid.columnEdges[1], 24, grid.columnEdges[2], 40}));
}

// Rule: a number cell's text must look like a number.
TEST(TableModel, NumbersLookLikeNumbers) {
    for (const char16_t* number : {u"12.50", u"-3", u"1,240.00", u"1 240,5", u"+7", u"1.5E+03", u"1e5", u"12 mm"}) {
        EXPECT_TRUE(LooksLikeNumber(number)) << ::testing::PrintToString(std::u16string(number));
    }
    for (const char16_t* other : {u"", u"tbc", u"-", u"e5", u"12 m2", u"mm 12", u"12 mm x"}) EXPECT_FALSE(LooksLikeNumber(other));
}

}  // namespace
}  // namespace cadstandin
