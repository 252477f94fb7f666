#include "command/table_text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "command/answers.h"
#include "command/text_kinds.h"
#include "failure/failure.h"

namespace morvane {

namespace {

// The most cells a table may have for the program to take it on: far beyond any drawing's
// schedule, and small enough that the cells' bookkeeping is never a burden.
constexpr std::int64_t kMostCells = 1 << 20;

// The table's size as it answers it, checked before anything is held for its cells.
struct TableSize {
    std::int32_t rows;
    std::int32_t columns;

    [[nodiscard]] std::size_t Index(std::int32_t row, std::int32_t column) const noexcept {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(column);
    }
};

TableSize SizeOf(CadTable& table) {
    const TableSize size{table.Rows(), table.Columns()};
    if (size.rows < 0 || size.columns < 0 ||
        static_cast<std::int64_t>(size.rows) * static_cast<std::int64_t>(size.columns) > kMostCells) {
        throw Failure(error_number::kOverflow);
    }
    return size;
}

// The cells of the table, each visited once: a merged range is taken through its first cell and
// the rest of its cells skipped. A range that does not hold the cell it was asked for is not
// trusted: the cell stands alone. A table that does not answer IsMergedCell has no merged cells.
class CellWalk {
public:
    CellWalk(CadTable& table, TableSize size) : table_(table), size_(size), seen_(size.Index(size.rows, 0)) {}

    // Calls visit(row, column) once for each cell that stands for itself or its range. The walk
    // goes row by row: the first of a range's cells it reaches is the range's first.
    template <class Visit>
    void ForEach(Visit visit) {
        for (std::int32_t row = 0; row < size_.rows; ++row) {
            for (std::int32_t column = 0; column < size_.columns; ++column) {
                if (seen_[size_.Index(row, column)]) continue;
                MarkRangeSeen(row, column);
                visit(row, column);
            }
        }
    }

private:
    // Marks the cell seen, and with it the rest of its merged range.
    void MarkRangeSeen(std::int32_t row, std::int32_t column) {
        seen_[size_.Index(row, column)] = true;
        if (!merges_) return;
        const std::optional<std::optional<CellRange>> answer = IfAnswered(AnswerRule::MemberUnknown, [&] { return table_.MergedRange(row, column); });
        if (!answer) {
            merges_ = false;
            return;
        }
        const std::optional<CellRange>& range = *answer;
        if (!range || range->firstRow > row || range->lastRow < row || range->firstColumn > column ||
            range->lastColumn < column) {
            return;
        }
        for (std::int32_t r = std::max(range->firstRow, 0); r <= std::min(range->lastRow, size_.rows - 1); ++r) {
            for (std::int32_t c = std::max(range->firstColumn, 0); c <= std::min(range->lastColumn, size_.columns - 1); ++c) {
                seen_[size_.Index(r, c)] = true;
            }
        }
    }

    CadTable& table_;
    TableSize size_;
    std::vector<bool> seen_;
    bool merges_ = true;
};

// Asks the table something only some releases answer, once per pick: after a 438 the answer for
// every cell is the release's.
class CellQuestion {
public:
    // ask(row, column); what a release without it answers for every cell.
    template <class Ask>
    bool Of(Ask ask, bool withoutIt) {
        if (!answers_) return withoutIt;
        const std::optional<bool> answer = IfAnswered(AnswerRule::MemberUnknown, ask);
        answers_ = answer.has_value();
        return answer.value_or(withoutIt);
    }

private:
    bool answers_ = true;
};

}  // namespace

TableWrite ReadTable(CadEntity& entity, CaseMode mode, const TextKind& cells) {
    TableWrite write{.entity = &entity, .table = entity.AsTable(), .cells = {}};
    CadTable& table = Require(write.table);
    const TableSize size = SizeOf(table);
    // A table that does not answer GetCellState has no locked or linked cells; one that does not
    // answer GetCellValue (before 2008) has no typed values: its cells hold text.
    CellQuestion states;
    CellQuestion values;
    const TextFormat format = FormatOf(cells, std::nullopt);
    CellWalk(table, size).ForEach([&](std::int32_t row, std::int32_t column) {
        if (!table.IsTextCell(row, column)) return;
        std::u16string text = table.GetText(row, column);
        std::u16string converted = ConvertText(text, mode, format);
        // An unchanged cell stays exactly as it was, and is not asked anything more.
        if (converted == text) return;
        if (cells.fields == FieldPlace::CellFieldId && table.ShowsFieldOrFormula(row, column)) return;
        if (states.Of([&] { return table.IsLockedOrLinked(row, column); }, false)) return;
        // Writing a number's or a date's text would make a string of its value.
        if (!values.Of([&] { return table.HoldsStringValue(row, column); }, true)) return;
        write.cells.push_back({row, column, std::move(converted)});
    });
    return write;
}

}  // namespace morvane
