#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cadstandin/field_text.h"
#include "cadstandin/table.h"

// The stand-in's scenario: its drawing, the queue of pick outcomes and the failures to inject.
// Portable: parsed and checked here, served by the Windows program.

namespace cadstandin {

enum class EntityKind { Text, MText, Line, Block, Attribute, Dimension, Table, MLeader, Tolerance, AttributeDefinition };

struct EntityDefinition {
    EntityKind kind = EntityKind::Text;
    std::string id;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // text and block: x1,y1 only
    std::u16string text;                  // TextString (a text's field values shown), or a dimension's TextOverride
    std::u16string fieldCode;             // a text or mtext with fields: its FieldCode; else empty
    bool hasDictionary = false;           // it has an extension dictionary
    std::vector<std::u16string> dictionary;  // the names of that dictionary's entries, in order
    std::u16string name;                  // a block's name, an attribute's tag, a multileader's block content
    std::string block;                    // an attribute's block reference
    TableModel table;                     // a table's cells (release 16 on)
    std::u16string layer = u"0";          // the layer it is on, as the drawing's layers spell it
};

// A layer of the drawing. Layer "0" is always there; a layer a scenario names exists, unlocked
// unless the scenario locks it.
struct LayerDefinition {
    std::u16string name;  // as first spelt
    bool locked = false;
};

enum class PickKind { Entity, Miss, Cancel, Fail, Vanish, Click };

struct PickOutcomeDefinition {
    PickKind kind = PickKind::Click;
    std::string id;            // PickKind::Entity
    std::int32_t result = 0;   // PickKind::Fail
};

struct InjectedFailure {
    std::string object;        // app, doc, util, an entity id, or * for any entity
    std::string operation;     // e.g. TextString.put
    std::int32_t result = 0;
    int count = 1;             // kAlways for every call
    static constexpr int kAlways = -1;
    CellAddress cell;          // a table member's cell, or any cell
};

// A call that hangs: the member waits this long before it runs, as in a hung application.
struct HangingCall {
    std::string object;        // app, doc, util, an entity id, or * for any entity
    std::string operation;     // e.g. Visible.put
    int milliseconds = 0;
    int count = 1;             // InjectedFailure::kAlways for every call
    CellAddress cell;          // a table member's cell, or any cell
};

// A busy application: for a while every incoming call on its automation objects is rejected.
struct BusyPeriod {
    int milliseconds = 0;
    // How the rejection reaches the client: RPC_E_CALL_REJECTED through the stand-in's message
    // filter (SERVERCALL_REJECTED), or RPC_E_SERVERCALL_RETRYLATER returned by the members
    // themselves (Wine does not act on a filter's SERVERCALL_RETRYLATER).
    bool retryLater = false;
    // When it begins: at the first incoming call, or once this member has run.
    std::string afterObject;   // empty: the first incoming call
    std::string afterOperation;
};

// A text read answered through Invoke with something that is no text, as a faulty or busy CAD
// application might: nothing (VT_EMPTY), VT_NULL, a number (VT_I4) or an object (the entity itself);
// a count answered with a text (VT_BSTR); a table's merged cell answered with a range of the
// scenario's choosing (IsMergedCell only, its own answer type).
enum class OddAnswerKind { Empty, Null, Number, Object, Text, Range };

struct OddAnswer {
    std::string object;        // an entity id, or * for any entity
    std::string operation;     // TextString.get or TextOverride.get
    OddAnswerKind kind = OddAnswerKind::Empty;
    std::int32_t number = 0;   // OddAnswerKind::Number
    std::u16string text;       // OddAnswerKind::Text
    CellRange range;           // OddAnswerKind::Range
    CellAddress cell;          // a table member's cell, or any cell
};

struct Scenario {
    std::u16string title = u"Drawing1.dwg";
    int windowX = 40, windowY = 40, windowWidth = 800, windowHeight = 560;
    bool visible = true;
    int pickTimeoutSeconds = 60;
    std::vector<EntityDefinition> entities;
    std::deque<PickOutcomeDefinition> picks;
    std::vector<InjectedFailure> failures;
    std::vector<HangingCall> hangs;
    // Members after whose answer the application stops answering anything for a while.
    std::vector<HangingCall> stalls;
    std::optional<BusyPeriod> busy;
    std::vector<std::string> multilineAttributes;  // attributes that answer MTextAttribute true
    std::vector<OddAnswer> oddAnswers;
    std::vector<FieldDeclaration> fields;  // what the texts' field expressions show
    std::vector<LayerDefinition> layers = {LayerDefinition{u"0", false}};  // "0" first, then as first named
    // The pre-selection (the objects gripped before a command), in order; an id may repeat.
    std::vector<std::string> preselection;
};

// A scenario statement that cannot be understood; what() names the line.
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a scenario (UTF-8, BOM allowed) for a release of the CAD application (tables and fields
// only from release 16 on, multileaders from release 17 on). Without entities it takes the built-in sample drawing of that release.
// Throws ScenarioError.
[[nodiscard]] Scenario ParseScenario(std::string_view utf8, int release = 15);

// The built-in sample drawing: one entity of every kind the release has, a text beginning with "%%U"
// among them; from release 16 on a door schedule (a table) too, in a larger window.
[[nodiscard]] Scenario SampleScenario(int release = 15);

// The first releases with tables and fields, and with multileaders.
inline constexpr int kTablesFrom = 16;
inline constexpr int kFieldsFrom = 16;
inline constexpr int kMultileadersFrom = 17;
// The first release whose tables have typed cell values (GetCellValue): 2008, release 17.1.
inline constexpr int kCellValuesFrom = 17;

// A text or mtext's field code (a text the scenario or a client wrote): its fields, and what it shows.
// Returns the number of fields; definition.text becomes the text shown, definition.fieldCode the code
// (empty when there is no field).
int SetFieldCode(EntityDefinition& definition, std::u16string_view code, const std::vector<FieldDeclaration>& fields);

// Names the CAD application compares without regard to case (layers, dictionary entries): equal
// when they differ only in the case of ASCII letters.
[[nodiscard]] bool SameNameIgnoringCase(std::u16string_view a, std::u16string_view b);

// The drawing's layer of that name (compared without regard to case); nullptr when there is none.
[[nodiscard]] const LayerDefinition* FindLayer(const Scenario& scenario, std::u16string_view name);

// The names of the objects beside the entities, as the log and the scenario's fail, hang and answer
// lines call them: the pre-selection, the layers, and one layer ("layer.<name>", spelt as the layer).
inline constexpr std::string_view kPreselectionObject = "pickfirst";
inline constexpr std::string_view kLayersObject = "layers";
[[nodiscard]] std::string LayerObjectName(std::u16string_view layer);

// The operations that can be made to fail, as named in scenarios and in the log.
[[nodiscard]] bool IsFailableOperation(std::string_view operation);

// A text as the log shows it: in double quotes, with \0 \\ \" \n \r \t and \u{XXXX} escapes for
// every other control character and lone surrogate; the rest as UTF-8.
[[nodiscard]] std::string QuoteText(std::u16string_view text);

// UTF-8 <-> UTF-16 for texts of the scenario and the log; a malformed UTF-8 byte throws ScenarioError.
[[nodiscard]] std::u16string Utf8ToUtf16(std::string_view utf8);
[[nodiscard]] std::string Utf16ToUtf8(std::u16string_view text);

// "0x%08X".
[[nodiscard]] std::string HexResult(std::int32_t result);

}  // namespace cadstandin
