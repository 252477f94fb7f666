#include "testing/fakes/fake_cad_link.h"

#include <algorithm>
#include <deque>
#include <map>
#include <utility>

#include "failure/failure.h"
#include "failure/com_error_number.h"

namespace morvane::fakes {

using error_number::kApplicationException;
using error_number::kNoSuchMember;

// Shared by the fake and every handle it hands out, so that a handle may outlive the fake (the
// dialog's PickedEntity often does).
struct FakeCadLink::State {
    explicit State(CallLog& callLog) : log(callLog) {}

    // Logs the call, then fails it if it was told to.
    void Call(const std::string& step, const std::optional<std::string>& arguments = std::nullopt) {
        log.Add(arguments ? step + "(" + *arguments + ")" : step);
        if (const auto failure = failures.find(step); failure != failures.end()) {
            std::rethrow_exception(failure->second);
        }
    }

    FakeEntity& Add(FakeEntity entity) {
        emptyHandle = false;
        picked = &entities.emplace_back(std::move(entity));
        return *picked;
    }

    CallLog& log;
    std::optional<FakeSelection> pickfirst = FakeSelection{};
    std::vector<std::u16string> lockedLayers;
    std::map<std::string, std::exception_ptr> failures;
    std::deque<FakeEntity> entities;
    FakeEntity* picked = nullptr;
    bool emptyHandle = false;
    int liveHandles = 0;
    bool applicationVisible = false;
    std::u16string frontWindow;
};

namespace {

using State = FakeCadLink::State;

// Counts itself among the live handles for as long as it exists.
class Counted {
public:
    explicit Counted(std::shared_ptr<State> state) : state_(std::move(state)) { ++state_->liveHandles; }
protected:
    ~Counted() { --state_->liveHandles; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

    std::shared_ptr<State> state_;
};

// A table's handle, logging "GetText(1,2)", "SetText(1,2,TEXT)"... prefixed as its entity's calls are.
class TableHandle final : public CadTable {
public:
    TableHandle(std::shared_ptr<State> state, FakeEntity& entity) : state_(std::move(state)), entity_(entity) {}

    std::int32_t Rows() override { return Table("Rows").rows; }
    std::int32_t Columns() override { return Table("Columns").columns; }
    bool IsTextCell(std::int32_t row, std::int32_t column) override { return Cell("GetCellType", row, column).textCell; }
    bool ShowsFieldOrFormula(std::int32_t row, std::int32_t column) override { return Cell("GetFieldId", row, column).field; }
    std::optional<CellRange> MergedRange(std::int32_t row, std::int32_t column) override {
        return Cell("IsMergedCell", row, column).merged;
    }
    bool IsLockedOrLinked(std::int32_t row, std::int32_t column) override {
        FakeCell& cell = Cell("GetCellState", row, column);
        if (!entity_.table->states) throw Failure(kNoSuchMember);
        return cell.locked || cell.linked;
    }
    bool HoldsStringValue(std::int32_t row, std::int32_t column) override {
        FakeCell& cell = Cell("GetCellValue", row, column);
        if (!entity_.table->values) throw Failure(kNoSuchMember);
        return cell.stringValue;
    }
    void SuppressRegeneration(bool suppressed) override {
        FakeTable& table = Table("RegenerateTableSuppressed", suppressed ? "true" : "false");
        if (!table.suppression) throw Failure(kNoSuchMember);
        table.regenerationSuppressed = suppressed;
    }
    std::u16string GetText(std::int32_t row, std::int32_t column) override { return Cell("GetText", row, column).text; }
    void SetText(std::int32_t row, std::int32_t column, std::u16string_view text) override {
        FakeCell& cell = Cell("SetText", row, column, Readable(text));
        cell.text = text;
        ++cell.writes;
    }

private:
    FakeTable& Table(const std::string& operation, const std::optional<std::string>& arguments = std::nullopt) {
        state_->Call(entity_.name.empty() ? operation : entity_.name + "." + operation, arguments);
        if (!entity_.table) throw Failure(kNoSuchMember);
        return *entity_.table;
    }

    FakeCell& Cell(const std::string& operation, std::int32_t row, std::int32_t column,
                   const std::optional<std::string>& text = std::nullopt) {
        const std::string where = std::to_string(row) + "," + std::to_string(column);
        FakeTable& table = Table(operation, text ? where + "," + *text : where);
        if (row < 0 || column < 0 || row >= table.rows || column >= table.columns ||
            static_cast<std::size_t>(row * table.columns + column) >= table.cells.size()) {
            throw Failure(static_cast<std::int32_t>(0x80070057));
        }
        return table.At(row, column);
    }

    std::shared_ptr<State> state_;
    FakeEntity& entity_;
};

class EntityHandle final : public CadEntity, Counted {
public:
    EntityHandle(std::shared_ptr<State> state, FakeEntity& entity) : Counted(std::move(state)), entity_(entity) {}

    std::u16string ReadTextString() override { return Read(entity_.textString, "ReadTextString"); }
    void WriteTextString(std::u16string_view text) override { Write(entity_.textString, "WriteTextString", text); }

    void Update() override {
        Call("Update");
        ++entity_.updates;
    }

    std::u16string ObjectName() override { return Read(entity_.objectName, "ObjectName"); }

    bool HasAttributes() override {
        Call("HasAttributes");
        return Answer(entity_.hasAttributes);
    }

    std::vector<std::shared_ptr<CadEntity>> GetAttributes() override {
        Call("GetAttributes");
        Answer(entity_.hasAttributes);
        std::vector<std::shared_ptr<CadEntity>> attributes;
        for (FakeEntity* attribute : entity_.attributes) {
            attributes.push_back(std::make_shared<EntityHandle>(state_, *attribute));
        }
        return attributes;
    }

    bool ReadMTextAttribute() override {
        Call("ReadMTextAttribute");
        return Answer(entity_.mtextAttribute);
    }
    std::u16string ReadMTextAttributeContent() override {
        return Read(entity_.mtextAttributeContent, "ReadMTextAttributeContent");
    }
    void WriteMTextAttributeContent(std::u16string_view text) override {
        Write(entity_.mtextAttributeContent, "WriteMTextAttributeContent", text);
    }

    std::u16string ReadTextOverride() override { return Read(entity_.textOverride, "ReadTextOverride"); }
    void WriteTextOverride(std::u16string_view text) override {
        Write(entity_.textOverride, "WriteTextOverride", text);
    }

    std::u16string ReadFieldCode() override { return Read(entity_.fieldCode, "ReadFieldCode"); }

    bool HasExtensionDictionary() override {
        Call("HasExtensionDictionary");
        return Answer(entity_.hasExtensionDictionary);
    }

    bool ExtensionDictionaryHolds(std::u16string_view key) override {
        Call("ExtensionDictionaryHolds", Readable(key));
        // Asking makes a dictionary where there is none, as the CAD application does.
        entity_.hasExtensionDictionary = true;
        const auto& entries = entity_.extensionDictionary;
        return std::find(entries.begin(), entries.end(), key) != entries.end();
    }

    std::unique_ptr<CadTable> AsTable() override { return std::make_unique<TableHandle>(state_, entity_); }

    std::u16string Layer() override { return Read(entity_.layer, "Layer"); }
    const void* Identity() const noexcept override { return &entity_; }

private:
    void Call(const std::string& operation, const std::optional<std::string>& arguments = std::nullopt) {
        state_->Call(entity_.name.empty() ? operation : entity_.name + "." + operation, arguments);
    }

    template <class Value>
    static const Value& Answer(const std::optional<Value>& property) {
        if (!property) throw Failure(kNoSuchMember);
        return *property;
    }

    std::u16string Read(const std::optional<std::u16string>& property, const std::string& operation) {
        Call(operation);
        return Answer(property);
    }

    void Write(std::optional<std::u16string>& property, const std::string& operation, std::u16string_view text) {
        Call(operation, Readable(text));
        Answer(property);
        property = std::u16string(text);
    }

    FakeEntity& entity_;
};

class UtilityHandle final : public CadUtility, Counted {
public:
    using Counted::Counted;

    std::shared_ptr<CadEntity> GetEntity(std::u16string_view prompt) override {
        state_->Call("GetEntity", Readable(prompt));
        if (state_->emptyHandle) return nullptr;
        if (!state_->picked) throw Failure(kApplicationException);
        return std::make_shared<EntityHandle>(state_, *state_->picked);
    }
};

// The pre-selection's handle, logging "Selection.Count", "Selection.Item(0)"...
class SelectionHandle final : public CadSelection, Counted {
public:
    using Counted::Counted;

    std::int32_t Count() override {
        state_->Call("Selection.Count");
        const FakeSelection& set = Set();
        return set.count.value_or(static_cast<std::int32_t>(set.entities.size()));
    }
    std::shared_ptr<CadEntity> Item(std::int32_t index) override {
        state_->Call("Selection.Item", std::to_string(index));
        const FakeSelection& set = Set();
        if (index < 0 || static_cast<std::size_t>(index) >= set.entities.size()) {
            throw Failure(static_cast<std::int32_t>(0x80070057));
        }
        if (set.entities[static_cast<std::size_t>(index)] == nullptr) throw Failure(error_number::kObjectNotSet);
        return std::make_shared<EntityHandle>(state_, *set.entities[static_cast<std::size_t>(index)]);
    }
    void Update() override {
        state_->Call("Selection.Update");
        if (!Set().update) throw Failure(kNoSuchMember);
        ++Set().updates;
    }
    void Clear() override {
        state_->Call("Selection.Clear");
        FakeSelection& set = Set();
        set.entities.clear();
        set.count.reset();
        ++set.cleared;
    }

private:
    FakeSelection& Set() {
        if (!state_->pickfirst) throw Failure(kNoSuchMember);
        return *state_->pickfirst;
    }
};

class DocumentHandle final : public CadDocument, Counted {
public:
    using Counted::Counted;

    std::unique_ptr<CadSelection> PickfirstSelection() override {
        state_->Call("PickfirstSelection");
        if (!state_->pickfirst) throw Failure(kNoSuchMember);
        return std::make_unique<SelectionHandle>(state_);
    }

    bool LayerLocked(std::u16string_view layer) override {
        state_->Call("LayerLocked", Readable(layer));
        const auto& locked = state_->lockedLayers;
        return std::find(locked.begin(), locked.end(), layer) != locked.end();
    }

    std::unique_ptr<CadUtility> Utility() override {
        state_->Call("Utility");
        return std::make_unique<UtilityHandle>(state_);
    }

    void StartUndoMark() override { state_->Call("StartUndoMark"); }
    void EndUndoMark() override { state_->Call("EndUndoMark"); }
};

class ApplicationHandle final : public CadApplication, Counted {
public:
    using Counted::Counted;

    std::unique_ptr<CadDocument> ActiveDocument() override {
        state_->Call("ActiveDocument");
        return std::make_unique<DocumentHandle>(state_);
    }

    void SetVisible(bool visible) override {
        state_->Call("SetVisible", visible ? "true" : "false");
        state_->applicationVisible = visible;
    }

    std::u16string ActivationTitle() override {
        state_->Call("ActivationTitle");
        return std::u16string(FakeCadLink::kActivationTitle);
    }
};

}  // namespace

FakeCadLink::FakeCadLink() : FakeCadLink(ownLog_) {}

FakeCadLink::FakeCadLink(CallLog& log) : state_(std::make_shared<State>(log)) {}

FakeCadLink::~FakeCadLink() = default;

FakeEntity& FakeCadLink::PickEntity(FakeEntity entity) {
    return state_->Add(std::move(entity));
}

FakeEntity& FakeCadLink::PickText(std::u16string text) {
    return state_->Add({.textString = std::move(text), .objectName = u"AcDbText"});
}

FakeEntity& FakeCadLink::PickMText(std::u16string text) {
    return state_->Add({.textString = std::move(text), .objectName = u"AcDbMText"});
}

FakeEntity& FakeCadLink::PickLine() {
    return state_->Add({.objectName = u"AcDbLine"});
}

FakeEntity& FakeCadLink::PickBlock(const std::vector<std::u16string>& attributeTexts,
                                   const std::vector<std::optional<bool>>& mtextAttributes) {
    std::vector<FakeEntity> attributes;
    for (const std::u16string& text : attributeTexts) {
        const std::size_t index = attributes.size();
        attributes.push_back(FakeEntity{
            .textString = text,
            .mtextAttribute = index < mtextAttributes.size() ? mtextAttributes[index] : std::nullopt,
            .objectName = u"AcDbAttribute"});
    }
    return PickBlockOf(std::move(attributes));
}

FakeEntity& FakeCadLink::PickBlockOf(std::vector<FakeEntity> attributes) {
    FakeEntity& block = Block(std::move(attributes));
    state_->emptyHandle = false;
    state_->picked = &block;
    return block;
}

FakeEntity& FakeCadLink::PickTable(FakeTable table) {
    return state_->Add({.objectName = u"AcDbTable", .table = std::move(table)});
}

FakeEntity& FakeCadLink::PickDimension(std::u16string textOverride) {
    return state_->Add({.textOverride = std::move(textOverride), .objectName = u"AcDbRotatedDimension"});
}

FakeEntity& FakeCadLink::Entity(FakeEntity entity) {
    return state_->entities.emplace_back(std::move(entity));
}

FakeEntity& FakeCadLink::Block(std::vector<FakeEntity> attributes, int first) {
    std::vector<FakeEntity*> kept;
    for (FakeEntity& attribute : attributes) {
        attribute.name = "ATTRIB" + std::to_string(first + static_cast<int>(kept.size()));
        kept.push_back(&state_->entities.emplace_back(std::move(attribute)));
    }
    return state_->entities.emplace_back(
        FakeEntity{.hasAttributes = !kept.empty(), .attributes = std::move(kept), .objectName = u"AcDbBlockReference"});
}

FakeSelection& FakeCadLink::Preselect(FakeSelection selection) {
    return state_->pickfirst.emplace(std::move(selection));
}

void FakeCadLink::NoPickfirst() noexcept {
    state_->pickfirst.reset();
}

void FakeCadLink::LockLayer(std::u16string layer) {
    state_->lockedLayers.push_back(std::move(layer));
}

void FakeCadLink::PickNothing() noexcept {
    state_->picked = nullptr;
    state_->emptyHandle = false;
}

void FakeCadLink::PickEmptyHandle() noexcept {
    state_->emptyHandle = true;
}

void FakeCadLink::FailAt(std::string step, std::int32_t number) {
    FailAt(std::move(step), std::make_exception_ptr(Failure(number)));
}

void FakeCadLink::FailAt(std::string step, std::exception_ptr failure) {
    state_->failures.insert_or_assign(std::move(step), std::move(failure));
}

int FakeCadLink::LiveHandles() const noexcept {
    return state_->liveHandles;
}

bool FakeCadLink::ApplicationVisible() const noexcept {
    return state_->applicationVisible;
}

const std::u16string& FakeCadLink::FrontWindow() const noexcept {
    return state_->frontWindow;
}

const CallLog& FakeCadLink::Log() const noexcept {
    return state_->log;
}

std::unique_ptr<CadApplication> FakeCadLink::Attach() {
    state_->Call("Attach");
    return std::make_unique<ApplicationHandle>(state_);
}

void FakeCadLink::BringWindowToFront(std::u16string_view title) {
    state_->Call("BringWindowToFront", Readable(title));
    state_->frontWindow = title;
}

}  // namespace morvane::fakes
