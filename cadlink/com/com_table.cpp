#include "cadlink/com/com_table.h"

#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "cadlink/com/dispatch_call.h"
#include "failure/com_error_number.h"
#include "failure/failure.h"

namespace morvane::com {

namespace {

using Microsoft::WRL::ComPtr;

// AcCellType's text cell.
constexpr std::int32_t kTextCell = 1;
// AcCellState's flags for content the user has locked, content that is read-only and a cell linked
// to an outside data source (which the next update of the link would overwrite).
constexpr std::int32_t kContentLocked = 0x1;
constexpr std::int32_t kContentReadOnly = 0x2;
constexpr std::int32_t kLinked = 0x4;

// An object id as GetFieldId answers it: a Long, or a 64-bit integer on 64-bit releases.
bool IsNonZeroId(const Variant& value) {
    switch (value.Type()) {
    case VT_I8:
        return value.Get()->llVal != 0;
    case VT_I2:
    case VT_I4:
        return NumberAnswer(value) != 0;
    default:
        throw Failure(error_number::kTypeMismatch);
    }
}

class ComTable final : public CadTable {
public:
    ComTable(ComPtr<IDispatch> object, std::shared_ptr<ComCalls> calls)
        : table_(std::move(object), std::make_shared<DispatchNames>(), std::move(calls)) {}

    std::int32_t Rows() override { return NumberAnswer(table_.Get(L"Rows")); }
    std::int32_t Columns() override { return NumberAnswer(table_.Get(L"Columns")); }

    bool IsTextCell(std::int32_t row, std::int32_t column) override {
        return NumberAnswer(CellCall(L"GetCellType", row, column)) == kTextCell;
    }

    bool ShowsFieldOrFormula(std::int32_t row, std::int32_t column) override {
        return IsNonZeroId(CellCall(L"GetFieldId", row, column));
    }

    // IsMergedCell(row, col, minRow, maxRow, minCol, maxCol): the range comes back in the four Longs
    // passed by reference.
    std::optional<CellRange> MergedRange(std::int32_t row, std::int32_t column) override {
        std::array<LONG, 4> bounds{};  // minRow, maxRow, minCol, maxCol
        // Invoke takes the arguments last first: maxCol, minCol, maxRow, minRow.
        std::array<VARIANT, 4> byReference{OutArgument(bounds[3]), OutArgument(bounds[2]), OutArgument(bounds[1]),
                                           OutArgument(bounds[0])};
        if (!BoolAnswer(CellCall(L"IsMergedCell", row, column, byReference))) return std::nullopt;
        return CellRange{bounds[0], bounds[1], bounds[2], bounds[3]};
    }

    bool IsLockedOrLinked(std::int32_t row, std::int32_t column) override {
        return (NumberAnswer(CellCall(L"GetCellState", row, column)) & (kContentLocked | kContentReadOnly | kLinked)) != 0;
    }

    // GetCellValue answers the cell's value in its own type: a number or a date is no VT_BSTR.
    bool HoldsStringValue(std::int32_t row, std::int32_t column) override {
        return CellCall(L"GetCellValue", row, column).Type() == VT_BSTR;
    }

    void SuppressRegeneration(bool suppressed) override {
        table_.Put(L"RegenerateTableSuppressed", BoolVariant(suppressed));
    }

    std::u16string GetText(std::int32_t row, std::int32_t column) override {
        return TextAnswer(CellCall(L"GetText", row, column));
    }

    void SetText(std::int32_t row, std::int32_t column, std::u16string_view text) override {
        Variant textValue = TextVariant(text);
        (void)CellCall(L"SetText", row, column, std::span<VARIANT>(textValue.Get(), 1));
    }

private:
    // A method of one cell: (row, col, then the rest); the rest given as Invoke takes them, the
    // last one first.
    Variant CellCall(const wchar_t* name, std::int32_t row, std::int32_t column, std::span<VARIANT> rest = {}) {
        Variant rowValue = NumberVariant(row);
        Variant columnValue = NumberVariant(column);
        std::vector<VARIANT> arguments(rest.begin(), rest.end());
        arguments.push_back(*columnValue.Get());
        arguments.push_back(*rowValue.Get());
        return table_.Call(name, arguments);
    }

    ByName table_;
};

}  // namespace

std::unique_ptr<CadTable> MakeComTable(ComPtr<IDispatch> object, std::shared_ptr<ComCalls> calls) {
    return std::make_unique<ComTable>(std::move(object), std::move(calls));
}

}  // namespace morvane::com
