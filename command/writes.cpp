#include "command/writes.h"

#include "command/run_between.h"
#include "command/undo_step.h"
#include "failure/failure.h"

namespace morvane {

namespace {

void WriteText(CadEntity& entity, TextProperty property, std::u16string_view text) {
    switch (property) {
    case TextProperty::TextString:
        entity.WriteTextString(text);
        return;
    case TextProperty::MTextAttributeContent:
        entity.WriteMTextAttributeContent(text);
        return;
    case TextProperty::TextOverride:
        entity.WriteTextOverride(text);
        return;
    case TextProperty::CellText:
    case TextProperty::None:
        break;
    }
    throw Failure(error_number::kInternalError);
}

// Runs the cells' writes with the table's regeneration suppressed, so that the CAD application
// rebuilds the table once rather than at every cell; a table that gets one cell makes no extra
// call. A table that does not answer RegenerateTableSuppressed (438) is written without. Once it
// was suppressed, it is let again on every way out; when a write failed, its failure is the one
// reported, else the failure to let it again.
template <class CellWrites>
void RegeneratedOnce(CadTable& table, std::size_t cells, CellWrites writes) {
    (void)RunBetween(
        cells > 1, [&] { table.SuppressRegeneration(true); }, writes, [&] { table.SuppressRegeneration(false); });
}

}  // namespace

void Writes::Rollback(Mark mark) {
    texts_.resize(mark.texts);
    tables_.erase(tables_.begin() + static_cast<std::ptrdiff_t>(mark.tables), tables_.end());
}

std::size_t Writes::Count() const noexcept {
    std::size_t count = texts_.size();
    for (const TableWrite& table : tables_) count += table.cells.size();
    return count;
}

void Writes::Make(CadDocument& document, CaseDialog& dialog, Redraw redraw) {
    // Once a table's cell is written the table is redrawn, also when a later write or letting the
    // table regenerate again failed; not after "Cancel", which makes no further call but EndUndoMark.
    (void)RunBetween(
        true, [] {},
        [&] {
            InOneUndoStep(document, dialog, Count(), [&](const auto& beforeEachCall) {
                for (const TextWrite& write : texts_) {
                    beforeEachCall();
                    WriteText(*write.entity, write.property, write.text);
                    ++textsWritten_;
                    if (redraw == Redraw::AsWritten) {
                        beforeEachCall();
                        write.entity->Update();
                    }
                }
                for (TableWrite& table : tables_) {
                    RegeneratedOnce(*table.table, table.cells.size(), [&] {
                        for (const CellWrite& cell : table.cells) {
                            beforeEachCall();
                            table.table->SetText(cell.row, cell.column, cell.text);
                            ++table.written;
                        }
                    });
                }
            });
        },
        [&] {
            if (redraw != Redraw::AsWritten || dialog.CancelRequested()) return;
            for (const TableWrite& table : tables_) {
                if (table.written > 0) table.entity->Update();
            }
        });
}

std::vector<CadEntity*> Writes::Written() const {
    std::vector<CadEntity*> written;
    for (std::size_t i = 0; i < textsWritten_; ++i) written.push_back(texts_[i].entity);
    for (const TableWrite& table : tables_) {
        if (table.written > 0) written.push_back(table.entity);
    }
    return written;
}

}  // namespace morvane
