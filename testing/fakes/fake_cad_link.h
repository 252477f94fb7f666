#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cadlink/cad_link.h"
#include "testing/fakes/call_log.h"

namespace morvane::fakes {

// One cell of a fake table.
struct FakeCell {
    std::u16string text{};
    bool textCell = true;       // else a block cell
    bool field = false;         // GetFieldId not zero: a field or a formula
    bool locked = false;
    bool linked = false;        // linked to an outside data source (cell state 4)
    bool stringValue = true;    // GetCellValue answers a string; else a number or a date
    std::optional<CellRange> merged{};
    int writes = 0;
};

// A fake table: its cells row by row; Rows and Columns answer rows and columns (which need not fit
// the cells: cells outside answer 0x80070057, E_INVALIDARG). Without states the table does not
// answer GetCellState (438), without values GetCellValue, without suppression
// RegenerateTableSuppressed; regenerationSuppressed is the property's value now.
struct FakeTable {
    std::int32_t rows = 0;
    std::int32_t columns = 0;
    std::vector<FakeCell> cells{};
    bool states = true;
    bool values = true;
    bool suppression = true;
    bool regenerationSuppressed = false;

    [[nodiscard]] FakeCell& At(std::int32_t row, std::int32_t column) { return cells.at(static_cast<std::size_t>(row * columns + column)); }
};

// One entity of the fake drawing. It answers what is set and fails with 438 (no such property or
// method) for what is not, as the CAD application does.
struct FakeEntity {
    // Prefixes the entity's calls in the log ("ATTRIB1.Update"); empty for a picked entity.
    std::string name{};
    std::optional<std::u16string> textString{};
    std::optional<bool> hasAttributes{};
    std::vector<FakeEntity*> attributes{};
    // What an attribute answers to MTextAttribute; none: it does not answer (438).
    std::optional<bool> mtextAttribute{};
    // A multiline attribute's content with its codes; none: not answered (438).
    std::optional<std::u16string> mtextAttributeContent{};
    std::optional<std::u16string> textOverride{};
    // The CAD application's name for the kind of entity ("AcDbMText"); none answers 438.
    std::optional<std::u16string> objectName{};
    // What FieldCode answers (the text with its fields as expressions); none answers 438.
    std::optional<std::u16string> fieldCode{};
    // What HasExtensionDictionary answers (none: 438), and the names of the dictionary's entries.
    std::optional<bool> hasExtensionDictionary{};
    std::vector<std::u16string> extensionDictionary{};
    // A table's cells; none: the entity answers none of a table's members.
    std::optional<FakeTable> table{};
    // The layer it is on; none answers 438.
    std::optional<std::u16string> layer = u"0";
    int updates = 0;
};

// The document's pre-selection: the entities its Item answers, in order (an entity may come twice);
// Count answers count where given, else their number. Without update the set does not answer
// Update (438). cleared counts its Clear calls (which empty it).
struct FakeSelection {
    std::vector<FakeEntity*> entities{};
    std::optional<std::int32_t> count{};
    bool update = true;
    int cleared = 0;
    int updates = 0;
};

// The test double of the CAD binding: a running CAD application with one drawing. Logs every
// call ("Attach", "SetVisible(true)", "GetEntity(Select Text from the drawing:)",
// "ATTRIB2.WriteTextString(X)", "StartUndoMark", "ATTRIB1.ExtensionDictionaryHolds(ACAD_FIELD)"), fails any step it is told to with any number, and counts the
// handles it hands out that are still alive.
class FakeCadLink : public CadLink {
public:
    // Logs into its own call log.
    FakeCadLink();
    // Logs into a log shared with other fakes; the log must outlive the fake and its handles.
    explicit FakeCadLink(CallLog& log);
    FakeCadLink(const FakeCadLink&) = delete;
    FakeCadLink& operator=(const FakeCadLink&) = delete;
    ~FakeCadLink() override;

    // The entity that every pick returns from now on. Until one is set, and after PickNothing,
    // every pick misses (0x80020009). The entities live as long as the fake.
    // Any entity, as described.
    FakeEntity& PickEntity(FakeEntity entity);
    // A single-line text ("AcDbText").
    FakeEntity& PickText(std::u16string text);
    // A multiline text ("AcDbMText"), whose TextString is formatted text.
    FakeEntity& PickMText(std::u16string text);
    // An entity that answers none of the text properties.
    FakeEntity& PickLine();
    // A block reference: HasAttributes answers whether there are any; attributes ATTRIB1, ATTRIB2
    // ("AcDbAttribute")... Their MTextAttribute answers, in order, when given (else they do not
    // answer it).
    FakeEntity& PickBlock(const std::vector<std::u16string>& attributeTexts,
                          const std::vector<std::optional<bool>>& mtextAttributes = {});
    // A block reference whose attributes are as described (named ATTRIB1, ATTRIB2... here).
    FakeEntity& PickBlockOf(std::vector<FakeEntity> attributes);
    // A table ("AcDbTable").
    FakeEntity& PickTable(FakeTable table);
    // A dimension: answers TextOverride, not HasAttributes.
    FakeEntity& PickDimension(std::u16string textOverride);
    void PickNothing() noexcept;
    // An entity of the drawing that no pick returns (for the pre-selection); named in the log as given.
    FakeEntity& Entity(FakeEntity entity);
    // A block reference with attributes as described, named ATTRIB<first>, ATTRIB<first + 1>...
    FakeEntity& Block(std::vector<FakeEntity> attributes, int first = 1);
    // The document's pre-selection from now on (an empty one until set); after NoPickfirst the
    // document does not answer PickfirstSelectionSet (438).
    FakeSelection& Preselect(FakeSelection selection);
    void NoPickfirst() noexcept;
    // LayerLocked answers true for this layer from now on.
    void LockLayer(std::u16string layer);
    // From now on every pick reports success but hands back an empty handle.
    void PickEmptyHandle() noexcept;

    // From now on the step fails with the number (or the exception), after it is logged and
    // before it has any effect. A step is named as in the log, without arguments: "Update",
    // "ATTRIB2.Update".
    void FailAt(std::string step, std::int32_t number);
    void FailAt(std::string step, std::exception_ptr failure);

    // Handles (application, document, utility, entity) handed out and not yet destroyed.
    [[nodiscard]] int LiveHandles() const noexcept;
    // Whether the application was made visible, and the title last brought to the front.
    [[nodiscard]] bool ApplicationVisible() const noexcept;
    [[nodiscard]] const std::u16string& FrontWindow() const noexcept;
    // The log the fake writes into (its own or the shared one).
    [[nodiscard]] const CallLog& Log() const noexcept;

    // The activation title the application reports.
    static constexpr std::u16string_view kActivationTitle = u"AutoCAD 2000 - [Drawing1.dwg]";

    // Hands out an application handle, or fails as told ("Attach").
    [[nodiscard]] std::unique_ptr<CadApplication> Attach() override;
    // Records the title as the front window, or fails as told ("BringWindowToFront").
    void BringWindowToFront(std::u16string_view title) override;

    // What the fake and its handles share; defined with the handles.
    struct State;

private:
    CallLog ownLog_;
    std::shared_ptr<State> state_;
};

}  // namespace morvane::fakes
