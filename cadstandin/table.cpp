#include "cadstandin/table.h"

#include <algorithm>
#include <numeric>

namespace cadstandin {

TableModel::TableModel(int rows, int columns)
    : rows_(rows), columns_(columns), cells_(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns)) {}

void TableModel::Define(int row, int col, CellContent content, std::u16string text, bool locked, bool linked) {
    TableCell& cell = Cell(row, col);
    cell.content = content;
    cell.locked = locked;
    cell.linked = linked;
    if (content == CellContent::Block) {
        cell.blockName = std::move(text);
        cell.text.clear();
    } else {
        cell.text = std::move(text);
    }
    cell.shown = cell.text;
    cell.field = content == CellContent::Field || content == CellContent::Formula ? ++fields_ : 0;
}

bool TableModel::Merge(const CellRange& range) {
    if (range.minRow > range.maxRow || range.minCol > range.maxCol || !Contains(range.minRow, range.minCol) ||
        !Contains(range.maxRow, range.maxCol) || (range.minRow == range.maxRow && range.minCol == range.maxCol)) {
        return false;
    }
    const auto overlaps = [&](const CellRange& other) {
        return range.minRow <= other.maxRow && other.minRow <= range.maxRow && range.minCol <= other.maxCol &&
               other.minCol <= range.maxCol;
    };
    if (std::any_of(merges_.begin(), merges_.end(), overlaps)) return false;
    merges_.push_back(range);
    return true;
}

std::optional<CellRange> TableModel::MergeOf(int row, int col) const {
    for (const CellRange& range : merges_) {
        if (range.Contains(row, col)) return range;
    }
    return std::nullopt;
}

bool TableModel::Hidden(int row, int col) const {
    const std::optional<CellRange> range = MergeOf(row, col);
    return range && (range->minRow != row || range->minCol != col);
}

CellType TableModel::TypeOf(int row, int col) const {
    return Cell(row, col).content == CellContent::Block ? CellType::Block : CellType::Text;
}

std::int32_t TableModel::StateOf(int row, int col) const {
    const TableCell& cell = Cell(row, col);
    return (cell.locked ? kCellStateContentLocked : kCellStateNone) | (cell.linked ? kCellStateLinked : kCellStateNone);
}

CellContent TableModel::SetText(int row, int col, std::u16string text) {
    TableCell& cell = Cell(row, col);
    const CellContent before = cell.content;
    cell.content = CellContent::Text;
    cell.text = std::move(text);
    cell.blockName.clear();
    cell.field = 0;
    return before;
}

void TableModel::Update() {
    for (TableCell& cell : cells_) cell.shown = cell.text;
}

const char* ContentName(CellContent content) {
    switch (content) {
    case CellContent::Empty: return "empty";
    case CellContent::Text: return "text";
    case CellContent::Number: return "number";
    case CellContent::Date: return "date";
    case CellContent::Field: return "field";
    case CellContent::Formula: return "formula";
    case CellContent::Block: return "block";
    }
    return "empty";
}

bool LooksLikeNumber(std::u16string_view text) {
    const auto isLetter = [](char16_t unit) { return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z'); };
    bool digit = false;
    std::size_t at = 0;
    for (; at < text.size(); ++at) {
        const char16_t unit = text[at];
        if (unit >= u'0' && unit <= u'9') {
            digit = true;
        } else if ((unit == u'E' || unit == u'e') && digit && at + 1 < text.size() &&
                   std::u16string_view(u"+-0123456789").find(text[at + 1]) != std::u16string_view::npos) {
            continue;
        } else if (unit == u' ' && digit && at + 1 < text.size() && isLetter(text[at + 1])) {
            break;
        } else if (std::u16string_view(u"+-.,' ").find(unit) == std::u16string_view::npos) {
            return false;
        }
    }
    // The unit: letters only.
    for (++at; at < text.size(); ++at) {
        if (!isLetter(text[at])) return false;
    }
    return digit;
}

std::array<int, 4> TableGrid::CellBox(const TableModel& table, int row, int col) const {
    const CellRange range = table.MergeOf(row, col).value_or(CellRange{row, row, col, col});
    return {columnEdges[range.minCol], rowEdges[range.minRow], columnEdges[range.maxCol + 1], rowEdges[range.maxRow + 1]};
}

namespace {

// Widens sizes[first..last] evenly (the remainder to the last) until together they reach needed.
void Spread(std::vector<int>& sizes, int first, int last, int needed) {
    const int have = std::accumulate(sizes.begin() + first, sizes.begin() + last + 1, 0);
    if (needed <= have) return;
    const int count = last - first + 1;
    const int each = (needed - have) / count;
    for (int i = first; i <= last; ++i) sizes[i] += each;
    sizes[last] += (needed - have) - each * count;
}

std::vector<int> Edges(const std::vector<int>& sizes) {
    std::vector<int> edges(sizes.size() + 1, 0);
    std::partial_sum(sizes.begin(), sizes.end(), edges.begin() + 1);
    return edges;
}

}  // namespace

TableGrid LayOutGrid(const TableModel& table, const std::function<CellSize(int row, int col)>& measure, CellSize padding,
                     CellSize minimum) {
    std::vector<int> widths(static_cast<std::size_t>(table.Columns()), minimum.width);
    std::vector<int> heights(static_cast<std::size_t>(table.Rows()), minimum.height);
    for (int row = 0; row < table.Rows(); ++row) {
        for (int col = 0; col < table.Columns(); ++col) {
            if (table.MergeOf(row, col)) continue;
            const CellSize size = measure(row, col);
            widths[col] = std::max(widths[col], size.width + 2 * padding.width);
            heights[row] = std::max(heights[row], size.height + 2 * padding.height);
        }
    }
    for (const CellRange& range : table.Merges()) {
        const CellSize size = measure(range.minRow, range.minCol);
        Spread(widths, range.minCol, range.maxCol, size.width + 2 * padding.width);
        Spread(heights, range.minRow, range.maxRow, size.height + 2 * padding.height);
    }
    return {Edges(widths), Edges(heights)};
}

}  // namespace cadstandin
