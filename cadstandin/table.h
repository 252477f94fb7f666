#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A table of the drawing (the CAD application's AcDbTable, release 16 on) as the stand-in models it:
// rows and columns of cells counted from 0, each holding a text, a number, a field, a formula or a
// block, some locked, some merged into one. Portable: the scenario fills it, the automation object
// reads and writes it, the window draws it.

namespace cadstandin {

// What a cell holds. A number and a date are shown as text ("12.50", "5-Jan-24"); a field and a
// formula show their value.
enum class CellContent { Empty, Text, Number, Date, Field, Formula, Block };

// The CAD application's AcCellType: a block cell, or a text cell (every other content).
enum class CellType : std::int32_t { Unknown = 0, Text = 1, Block = 2 };

// The CAD application's AcCellState flags; the stand-in's cells are locked, linked to a data source,
// both or neither.
inline constexpr std::int32_t kCellStateNone = 0;
inline constexpr std::int32_t kCellStateContentLocked = 1;
inline constexpr std::int32_t kCellStateLinked = 4;

// One cell, by row and column; row -1 stands for any cell (a failure that is not for one cell).
struct CellAddress {
    int row = -1;
    int col = -1;
    [[nodiscard]] bool Any() const { return row < 0; }
    bool operator==(const CellAddress&) const = default;
};

// Merged cells: the rows and columns from min to max, both included.
struct CellRange {
    int minRow = 0;
    int maxRow = 0;
    int minCol = 0;
    int maxCol = 0;
    [[nodiscard]] bool Contains(int row, int col) const {
        return row >= minRow && row <= maxRow && col >= minCol && col <= maxCol;
    }
    bool operator==(const CellRange&) const = default;
};

struct TableCell {
    CellContent content = CellContent::Empty;
    std::u16string text;        // what GetText answers: formatted text, a number, a field's or formula's value
    std::u16string shown;       // the text on screen: text as of the last Update
    std::u16string blockName;   // a block cell's block (shown in the cell; GetText answers "")
    bool locked = false;        // acCellStateContentLocked
    bool linked = false;        // acCellStateLinked: filled from an outside data source
    int field = 0;              // fields and formulas are numbered from 1 in their table; 0: none
};

class TableModel {
public:
    static constexpr int kMaximumSize = 100;  // rows and columns each

    TableModel() = default;
    // rows and columns from 1 to kMaximumSize; every cell empty.
    TableModel(int rows, int columns);

    [[nodiscard]] int Rows() const { return rows_; }
    [[nodiscard]] int Columns() const { return columns_; }
    [[nodiscard]] bool Contains(int row, int col) const { return row >= 0 && row < rows_ && col >= 0 && col < columns_; }
    // The cell; row and col must be inside the table.
    [[nodiscard]] TableCell& Cell(int row, int col) { return cells_[Index(row, col)]; }
    [[nodiscard]] const TableCell& Cell(int row, int col) const { return cells_[Index(row, col)]; }

    // Fills a cell as the scenario describes it (a field or formula gets the next field number).
    void Define(int row, int col, CellContent content, std::u16string text, bool locked, bool linked = false);
    // Merges a range of cells; false when it is one cell, leaves the table or overlaps another merge.
    [[nodiscard]] bool Merge(const CellRange& range);
    [[nodiscard]] const std::vector<CellRange>& Merges() const { return merges_; }
    // The merged range the cell belongs to, if any.
    [[nodiscard]] std::optional<CellRange> MergeOf(int row, int col) const;
    // A cell covered by a merge that it does not begin (its top left cell shows the merge's text).
    [[nodiscard]] bool Hidden(int row, int col) const;

    [[nodiscard]] CellType TypeOf(int row, int col) const;
    [[nodiscard]] std::int32_t StateOf(int row, int col) const;
    // Writes a text into a cell, which becomes a text cell whatever it held before; returns what it held.
    CellContent SetText(int row, int col, std::u16string text);
    // After Update every cell shows its text.
    void Update();

private:
    [[nodiscard]] std::size_t Index(int row, int col) const { return static_cast<std::size_t>(row) * columns_ + col; }

    int rows_ = 0;
    int columns_ = 0;
    int fields_ = 0;
    std::vector<TableCell> cells_;
    std::vector<CellRange> merges_;
};

// "empty", "text", "number", "date", "field", "formula", "block": as the scenario and the log name them.
[[nodiscard]] const char* ContentName(CellContent content);

// Whether a text looks like a number as the CAD application formats one: digits with signs,
// separators, blanks and an exponent ("1.5E+03"), one digit at least, and a unit after a blank ("12 mm").
[[nodiscard]] bool LooksLikeNumber(std::u16string_view text);

// Where the grid lines of a table lie, from its top left: column edges (Columns() + 1 of them) and
// row edges (Rows() + 1).
struct TableGrid {
    std::vector<int> columnEdges;
    std::vector<int> rowEdges;
    // A cell's rectangle (a merge's whole rectangle for a merged cell): left, top, right, bottom.
    [[nodiscard]] std::array<int, 4> CellBox(const TableModel& table, int row, int col) const;
};

struct CellSize {
    int width = 0;
    int height = 0;
};

// Lays the grid out from each shown cell's measured content (padding added on every side): a column
// is as wide as its widest unmerged cell, a row as high as its highest; a merge whose content does not
// fit its columns (rows) widens (heightens) them evenly. minimum bounds every column and row.
[[nodiscard]] TableGrid LayOutGrid(const TableModel& table, const std::function<CellSize(int row, int col)>& measure,
                                   CellSize padding, CellSize minimum);

}  // namespace cadstandin
