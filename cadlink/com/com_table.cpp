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

// An object id as GetFieldId answers it: a LONG_PTR, 32 or 64 bits as the release is.
bool IsNonZeroId(const Variant& value) { return IntegerAnswer(value) != 0; }

class ComTable final : public CadTable {
public:
    ComTable(ComPtr<IDispatch> object, std::shared_ptr<ComCalls> calls)
        : table_(std::move(object), std::make_shared<DispatchNames>(), calls), calls_(std::move(calls)) {}

    std::int32_t Rows() override { return NumberAnswer(table_.Get(L"Rows")); }
    std::int32_t Columns() override { return NumberAnswer(table_.Get(L"Columns")); }

    bool IsTextCell(std::int32_t row, std::int32_t column) override {
        return NumberAnswer(CellCall(L"GetCellType", row, column)) == kTextCell;
    }

    bool ShowsFieldOrFormula(std::int32_t row, std::int32_t column) override {
        return IsNonZeroId(CellCall(L"GetFieldId", row, column));
    }

    // IsMergedCell(row, col, minRow, maxRow, minCol, maxCol): the range comes back in the four ints
    // passed by reference. They go as Longs, which the type library's Invoke takes for an int*; an
    // application that refuses them with a type mismatch (the member did not run) is asked once more
    // with ints, and asked with ints from then on.
    std::optional<CellRange> MergedRange(std::int32_t row, std::int32_t column) override {
        if (calls_->IntegersByReference() == IntegerByReference::Long) {
            std::optional<MergedAnswer<LONG>> answer;
            try {
                answer.emplace(AskMerged<LONG>(row, column));
            } catch (const Failure& failure) {
                if (failure.number() != error_number::kTypeMismatch) throw;
            }
            if (answer) return answer->Range();
        }
        const MergedAnswer<INT> answer = AskMerged<INT>(row, column);
        calls_->IntegersByReference(IntegerByReference::Int);
        return answer.Range();
    }

    bool IsLockedOrLinked(std::int32_t row, std::int32_t column) override {
        return (NumberAnswer(CellCall(L"GetCellState", row, column)) & (kContentLocked | kContentReadOnly | kLinked)) != 0;
    }

    // GetCellValue answers the cell's value in its own type: a number or a date is no VT_BSTR.
    bool HoldsStringValue(std::int32_t row, std::int32_t column) override {
        return CellCall(L"GetCellValue", row, column).Type() == VT_BSTR;
    }

    // Setting it twice does no harm: asked again while the application is busy, so that a table is
    // not left without regeneration.
    void SuppressRegeneration(bool suppressed) override {
        table_.Put(L"RegenerateTableSuppressed", BoolVariant(suppressed), Repeatable::Yes);
    }

    std::u16string GetText(std::int32_t row, std::int32_t column) override {
        return TextAnswer(CellCall(L"GetText", row, column));
    }

    void SetText(std::int32_t row, std::int32_t column, std::u16string_view text) override {
        Variant textValue = TextVariant(text);
        (void)CellCall(L"SetText", row, column, std::span<VARIANT>(textValue.Get(), 1));
    }

private:
    // IsMergedCell's answer and its bounds, passed by reference as Integer (LONG or INT).
    template <class Integer>
    struct MergedAnswer {
        Variant merged;
        std::array<Integer, 4> bounds{};  // minRow, maxRow, minCol, maxCol

        // Read once the call is back: a type mismatch here is the answer's, not the bounds' form.
        [[nodiscard]] std::optional<CellRange> Range() const {
            if (!BoolAnswer(merged)) return std::nullopt;
            return CellRange{bounds[0], bounds[1], bounds[2], bounds[3]};
        }
    };

    template <class Integer>
    MergedAnswer<Integer> AskMerged(std::int32_t row, std::int32_t column) {
        MergedAnswer<Integer> answer;
        auto& b = answer.bounds;
        // Invoke takes the arguments last first: maxCol, minCol, maxRow, minRow.
        std::array<VARIANT, 4> byReference{OutArgument(b[3]), OutArgument(b[2]), OutArgument(b[1]), OutArgument(b[0])};
        answer.merged = CellCall(L"IsMergedCell", row, column, byReference);
        return answer;
    }

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
    std::shared_ptr<ComCalls> calls_;
};

}  // namespace

std::unique_ptr<CadTable> MakeComTable(ComPtr<IDispatch> object, std::shared_ptr<ComCalls> calls) {
    return std::make_unique<ComTable>(std::move(object), std::move(calls));
}

}  // namespace morvane::com
