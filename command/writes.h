#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cadlink/cad_link.h"
#include "command/case_dialog.h"
#include "command/text_kinds.h"

// What one press writes: every text is read and converted before the first is written, so that a
// failed read writes nothing.

namespace morvane {

// One text to write: the entity, the property it goes through and the converted text.
struct TextWrite {
    CadEntity* entity;
    TextProperty property;
    std::u16string text;
};

// One cell of a table to write.
struct CellWrite {
    std::int32_t row;
    std::int32_t column;
    std::u16string text;
};

// A table's cells to write; the table is redrawn once when a cell was written.
struct TableWrite {
    CadEntity* entity;
    std::unique_ptr<CadTable> table;
    std::vector<CellWrite> cells;
    std::size_t written = 0;
};

// How the written entities are redrawn: each text's entity right after its write and each table
// after the undo step (a pick), or none of them (a pre-selection, which the caller redraws whole).
enum class Redraw { AsWritten, ByCaller };

// The writes of one press, and the entities they go to (held until the writes are done).
class Writes {
public:
    void Hold(std::shared_ptr<CadEntity> entity) { held_.push_back(std::move(entity)); }
    void Add(TextWrite write) { texts_.push_back(std::move(write)); }
    void Add(TableWrite write) { tables_.push_back(std::move(write)); }

    // How far the writes go now, and back to there: an entity's writes taken back before any is made.
    struct Mark {
        std::size_t texts;
        std::size_t tables;

        bool operator==(const Mark&) const = default;
    };
    [[nodiscard]] Mark Now() const noexcept { return {texts_.size(), tables_.size()}; }
    void Rollback(Mark mark);

    // The texts and cells to write.
    [[nodiscard]] std::size_t Count() const noexcept;

    // Makes the writes, in the order they were added, as one undo step in the document when there
    // is more than one, each table's regeneration suppressed while its cells are written. A "Cancel"
    // on the dialog stops them before the next call. Throws morvane::Failure for the dispatch, the
    // undo step closed first.
    void Make(CadDocument& document, CaseDialog& dialog, Redraw redraw);

    // The entities a write went to: those of the texts and of the tables a cell of which was written
    // (each text goes to an entity of its own).
    [[nodiscard]] std::vector<CadEntity*> Written() const;

private:
    std::vector<std::shared_ptr<CadEntity>> held_;
    std::vector<TextWrite> texts_;
    std::vector<TableWrite> tables_;
    std::size_t textsWritten_ = 0;
};

}  // namespace morvane
