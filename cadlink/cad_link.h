#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The operations the select-text command needs of the CAD application, one method each.
// Every operation throws morvane::Failure with the error number on failure.
// Handles own their reference in the CAD application and release it when destroyed.

namespace morvane {

class CadTable;

// One entity of the drawing. Shared: the dialog's PickedEntity outlives the command.
class CadEntity {
public:
    virtual ~CadEntity() = default;

    // Reads the entity's TextString property; 438 when the entity has none.
    [[nodiscard]] virtual std::u16string ReadTextString() = 0;
    // Writes TextString, whole (a text may hold U+0000).
    virtual void WriteTextString(std::u16string_view text) = 0;
    // Has the CAD application redraw the entity.
    virtual void Update() = 0;
    // The kind of entity as the CAD application names it ("AcDbText", "AcDbMText"); 438 when the
    // entity does not say.
    [[nodiscard]] virtual std::u16string ObjectName() = 0;

    // For entities without TextString: a block reference answers HasAttributes (438 when the
    // entity does not), and GetAttributes gives its attribute entities.
    [[nodiscard]] virtual bool HasAttributes() = 0;
    [[nodiscard]] virtual std::vector<std::shared_ptr<CadEntity>> GetAttributes() = 0;
    // An attribute of a release that has multiline attributes answers MTextAttribute: true when
    // its text is formatted text. 438 when the attribute does not answer it (a plain attribute), and
    // on release 15 (which has no multiline attributes) without a call.
    [[nodiscard]] virtual bool ReadMTextAttribute() = 0;
    // A multiline attribute's formatted content, codes and all (its TextString may read the text
    // without them); 438 as for MTextAttribute.
    [[nodiscard]] virtual std::u16string ReadMTextAttributeContent() = 0;
    virtual void WriteMTextAttributeContent(std::u16string_view text) = 0;
    // A dimension answers TextOverride (438 when the entity does not).
    [[nodiscard]] virtual std::u16string ReadTextOverride() = 0;
    virtual void WriteTextOverride(std::u16string_view text) = 0;

    // Fields (release 16 on). A text or multiline text answers FieldCode: its TextString with each
    // field written as its expression, "%<\AcVar Date>%". 438 when the entity does not answer it,
    // and on release 15 (which has no fields) without a call.
    [[nodiscard]] virtual std::u16string ReadFieldCode() = 0;
    // Whether the entity has an extension dictionary (where an attribute keeps its field); 438 as
    // for FieldCode.
    [[nodiscard]] virtual bool HasExtensionDictionary() = 0;
    // Whether the entity's extension dictionary holds an entry of this name. Ask only once
    // HasExtensionDictionary answered true: the CAD application makes a dictionary where there is none.
    // False only where the dictionary answers "Key not found"; any other failure throws.
    [[nodiscard]] virtual bool ExtensionDictionaryHolds(std::u16string_view key) = 0;

    // The entity as a table, asking nothing yet: an entity that is none answers 438 to each of its members.
    [[nodiscard]] virtual std::unique_ptr<CadTable> AsTable() = 0;

    // The name of the layer the entity is on.
    [[nodiscard]] virtual std::u16string Layer() = 0;
    // Equal for two handles of the same entity while both are held, whatever way each was reached.
    [[nodiscard]] virtual const void* Identity() const noexcept = 0;
};

// The objects selected in the drawing before the command (the document's PickfirstSelectionSet).
// Its entities share what the binding learns of their kinds for as long as the selection lives.
class CadSelection {
public:
    virtual ~CadSelection() = default;

    [[nodiscard]] virtual std::int32_t Count() = 0;
    // The entity at this index, from 0; 91 when the set answers no object.
    [[nodiscard]] virtual std::shared_ptr<CadEntity> Item(std::int32_t index) = 0;
    // Has the CAD application redraw the set's objects; 438 where the set does not answer it.
    virtual void Update() = 0;
    // Empties the set; the drawing's objects stay.
    virtual void Clear() = 0;
};

// A range of a table's cells, rows and columns counted from 0, first and last included.
struct CellRange {
    std::int32_t firstRow;
    std::int32_t lastRow;
    std::int32_t firstColumn;
    std::int32_t lastColumn;
};

// A table (release 16.1, AutoCAD 2005, on), reached by name: its cells by row and column, counted from 0.
class CadTable {
public:
    virtual ~CadTable() = default;

    [[nodiscard]] virtual std::int32_t Rows() = 0;
    [[nodiscard]] virtual std::int32_t Columns() = 0;
    // Whether the cell holds text (GetCellType), rather than a block.
    [[nodiscard]] virtual bool IsTextCell(std::int32_t row, std::int32_t column) = 0;
    // Whether the cell shows a field or a formula (GetFieldId not zero).
    [[nodiscard]] virtual bool ShowsFieldOrFormula(std::int32_t row, std::int32_t column) = 0;
    // The merged range the cell belongs to (IsMergedCell), or none.
    [[nodiscard]] virtual std::optional<CellRange> MergedRange(std::int32_t row, std::int32_t column) = 0;
    // Whether the cell's content is locked, read-only or linked to an outside data source
    // (GetCellState); 438 where the release has no cell states.
    [[nodiscard]] virtual bool IsLockedOrLinked(std::int32_t row, std::int32_t column) = 0;
    // Whether the cell's value is a string (GetCellValue answers VT_BSTR), rather than a number, a
    // date or anything else; 438 where the release has no typed values (before 2008).
    [[nodiscard]] virtual bool HoldsStringValue(std::int32_t row, std::int32_t column) = 0;
    // Stops the CAD application regenerating the table at every change (RegenerateTableSuppressed
    // true), or lets it again (false, which regenerates it); 438 where the table does not answer it.
    virtual void SuppressRegeneration(bool suppressed) = 0;
    [[nodiscard]] virtual std::u16string GetText(std::int32_t row, std::int32_t column) = 0;
    virtual void SetText(std::int32_t row, std::int32_t column, std::u16string_view text) = 0;
};

// The document's utility object.
class CadUtility {
public:
    virtual ~CadUtility() = default;

    // Lets the user pick one entity in the drawing, showing the prompt; the picked point is discarded.
    // A missed or cancelled pick throws -2147352567 (0x80020009).
    [[nodiscard]] virtual std::shared_ptr<CadEntity> GetEntity(std::u16string_view prompt) = 0;
};

class CadDocument {
public:
    virtual ~CadDocument() = default;

    // The document's utility object, which lets the user pick.
    [[nodiscard]] virtual std::unique_ptr<CadUtility> Utility() = 0;
    // Begin and end one undo step: one Undo in the CAD application takes back every change made
    // between them. 438 when the document does not answer them.
    virtual void StartUndoMark() = 0;
    virtual void EndUndoMark() = 0;
    // The objects selected before the command; 438 where the document does not answer it.
    [[nodiscard]] virtual std::unique_ptr<CadSelection> PickfirstSelection() = 0;
    // Whether the layer of this name is locked (the document's Layers, its Item, the layer's Lock).
    [[nodiscard]] virtual bool LayerLocked(std::u16string_view layer) = 0;
};

class CadApplication {
public:
    virtual ~CadApplication() = default;

    // The document open in the application's window.
    [[nodiscard]] virtual std::unique_ptr<CadDocument> ActiveDocument() = 0;
    // Shows or hides the application's main window.
    virtual void SetVisible(bool visible) = 0;
    // The text naming the application's main window (its title, or the start of it).
    [[nodiscard]] virtual std::u16string ActivationTitle() = 0;
};

// The way in: the running CAD application, and its window.
class CadLink {
public:
    virtual ~CadLink() = default;

    // Attaches to the running application (release 15 first, else the newest other
    // release that runs); 429 when none can be attached.
    [[nodiscard]] virtual std::unique_ptr<CadApplication> Attach() = 0;
    // Brings the top-level window with this title to the front (an exact title preferred, else
    // one that begins with it), even when this program is not in the foreground; 5 when none.
    virtual void BringWindowToFront(std::u16string_view title) = 0;
};

}  // namespace morvane
