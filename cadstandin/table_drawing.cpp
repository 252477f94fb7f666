#include "cadstandin/table_drawing.h"

#include <algorithm>
#include <array>

#include "cadstandin/mtext_drawing.h"
#include "cadstandin/mtext_format.h"
#include "cadstandin/table.h"

namespace cadstandin {
namespace {

constexpr double kCellTextHeight = 15;  // pixels; smaller than a text's, as a schedule's usually is
constexpr const wchar_t* kCellFace = L"Tahoma";
constexpr CellSize kPadding{6, 3};
constexpr CellSize kMinimum{36, 22};
constexpr int kSymbol = 14;  // a block cell's symbol, square
constexpr COLORREF kCellText = RGB(255, 255, 255);
constexpr COLORREF kBlockColor = RGB(0, 230, 0);  // as blocks are drawn
constexpr COLORREF kFieldBackground = RGB(72, 80, 92);

MTextLook Look(COLORREF color) {
    return {color, kCellFace, kCellTextHeight};
}

// A block cell shows its symbol and its block's name, as plain text.
std::u16string BlockLabel(const TableCell& cell) {
    std::u16string label;
    for (const char16_t unit : cell.blockName) {
        if (unit == u'\\' || unit == u'{' || unit == u'}') label += u'\\';
        label += unit;
    }
    return label;
}

CellSize Measure(HDC dc, const TableCell& cell) {
    if (cell.content == CellContent::Block) {
        const SIZE name = DrawMText(dc, 0, 0, LayOutMText(BlockLabel(cell), kCellTextHeight), Look(kBlockColor), false);
        return {kSymbol + 6 + name.cx, std::max<int>(kSymbol, name.cy)};
    }
    const SIZE size = DrawMText(dc, 0, 0, LayOutMText(cell.shown, kCellTextHeight), Look(kCellText), false);
    return {size.cx, size.cy};
}

TableGrid Grid(HDC dc, const TableModel& table) {
    return LayOutGrid(table, [&](int row, int col) { return Measure(dc, table.Cell(row, col)); }, kPadding, kMinimum);
}

// A door swing: the leaf closed along the bottom, open up the side, and its arc.
void BlockSymbol(HDC dc, int x, int y) {
    const HPEN pen = CreatePen(PS_SOLID, 1, kBlockColor);
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, x, y, x + kSymbol, y + kSymbol);
    MoveToEx(dc, x, y + kSymbol, nullptr);
    LineTo(dc, x, y);
    Arc(dc, x - kSymbol, y, x + kSymbol, y + 2 * kSymbol, x + kSymbol, y + kSymbol, x, y);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

}  // namespace

RECT TableBounds(HDC dc, const EntityState& table) {
    const TableGrid grid = Grid(dc, table.definition.table);
    const EntityDefinition& definition = table.definition;
    return {definition.x1, definition.y1, definition.x1 + grid.columnEdges.back() + 1, definition.y1 + grid.rowEdges.back() + 1};
}

void DrawTable(HDC dc, const EntityState& entity, COLORREF gridColor) {
    const TableModel& table = entity.definition.table;
    const int left = entity.definition.x1;
    const int top = entity.definition.y1;
    const TableGrid grid = Grid(dc, table);
    const HPEN pen = CreatePen(PS_SOLID, 1, gridColor);
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    for (int row = 0; row < table.Rows(); ++row) {
        for (int col = 0; col < table.Columns(); ++col) {
            if (table.Hidden(row, col)) continue;
            const TableCell& cell = table.Cell(row, col);
            const std::array<int, 4> box = grid.CellBox(table, row, col);
            const RECT area{left + box[0], top + box[1], left + box[2] + 1, top + box[3] + 1};
            if (cell.content == CellContent::Field || cell.content == CellContent::Formula) {
                const HBRUSH shade = CreateSolidBrush(kFieldBackground);
                FillRect(dc, &area, shade);
                DeleteObject(shade);
            }
            const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
            Rectangle(dc, area.left, area.top, area.right, area.bottom);
            SelectObject(dc, oldBrush);

            const CellSize size = Measure(dc, cell);
            const bool merged = table.MergeOf(row, col).has_value();
            const int x = area.left + (merged ? (area.right - area.left - size.width) / 2 : kPadding.width);
            const int y = area.top + kPadding.height;
            if (cell.content == CellContent::Block) {
                BlockSymbol(dc, x, y + (size.height - kSymbol) / 2);
                DrawMText(dc, x + kSymbol + 6, y, LayOutMText(BlockLabel(cell), kCellTextHeight), Look(kBlockColor), true);
            } else {
                DrawMText(dc, x, y, LayOutMText(cell.shown, kCellTextHeight), Look(kCellText), true);
            }
        }
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

}  // namespace cadstandin
