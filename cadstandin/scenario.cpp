#include "cadstandin/scenario.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <set>

namespace cadstandin {
namespace {

constexpr std::array kFailableOperations = {
    std::string_view{"Visible.put"},     std::string_view{"Caption.get"},
    std::string_view{"ActiveDocument.get"}, std::string_view{"Utility.get"},
    std::string_view{"GetEntity"},       std::string_view{"TextString.get"},
    std::string_view{"TextString.put"},  std::string_view{"TextOverride.get"},
    std::string_view{"TextOverride.put"}, std::string_view{"Update"},
    std::string_view{"HasAttributes.get"}, std::string_view{"GetAttributes"},
    std::string_view{"ObjectName.get"},  std::string_view{"MTextAttribute.get"},
    // A table's members (release 16 on).
    std::string_view{"Rows.get"},        std::string_view{"Columns.get"},
    std::string_view{"GetCellType"},     std::string_view{"GetText"},
    std::string_view{"SetText"},         std::string_view{"GetFieldId"},
    std::string_view{"IsMergedCell"},    std::string_view{"GetCellState"},
    std::string_view{"GetCellValue"},    std::string_view{"RegenerateTableSuppressed.put"},
    std::string_view{"MTextAttributeContent.get"}, std::string_view{"MTextAttributeContent.put"},
    // Fields, extension dictionaries (a dictionary's members on "<id>.xdict") and undo marks (doc).
    std::string_view{"FieldCode"},       std::string_view{"HasExtensionDictionary.get"},
    std::string_view{"GetExtensionDictionary"}, std::string_view{"Count.get"},
    std::string_view{"Item"},            std::string_view{"GetName"},
    std::string_view{"StartUndoMark"},   std::string_view{"EndUndoMark"},
    // The pre-selection ("pickfirst": Count.get, Item, Update too), the layers ("layers": Count.get,
    // Item; "layer.<name>": Name.get, Lock.get), an entity's layer, and the document's members
    // that hand them out.
    std::string_view{"Clear"},           std::string_view{"Layer.get"},
    std::string_view{"Lock.get"},        std::string_view{"Name.get"},
    std::string_view{"PickfirstSelectionSet.get"}, std::string_view{"Layers.get"},
};

// The reads a scenario can answer oddly (through Invoke): an entity's texts and names, a table's
// counts and cells, a collection's count and items, a layer's lock.
constexpr std::array kOddlyAnswerable = {
    std::string_view{"TextString.get"}, std::string_view{"TextOverride.get"}, std::string_view{"ObjectName.get"},
    std::string_view{"HasExtensionDictionary.get"}, std::string_view{"MTextAttributeContent.get"},
    std::string_view{"Rows.get"},       std::string_view{"Columns.get"},    std::string_view{"Count.get"},
    std::string_view{"Item"},           std::string_view{"Layer.get"},      std::string_view{"Lock.get"},
};

// The table's members that read one cell: a failure, hang or odd answer may name the cell.
constexpr std::array kCellReads = {
    std::string_view{"GetCellType"}, std::string_view{"GetText"}, std::string_view{"GetFieldId"},
    std::string_view{"IsMergedCell"}, std::string_view{"GetCellState"}, std::string_view{"GetCellValue"},
};

constexpr std::string_view kSample = R"(# The built-in sample drawing.
title "Drawing1.dwg"
text t1 60 50 "%%Unote on the plan"
text t2 60 100 "Abc"
mtext m1 60 150 "the first sentence. the second one\Pon a second line"
line l1 60 250 380 320
block b1 470 50 "TITLEBLOCK"
attribute a1 b1 "DRAWN" "j. smith"
attribute a2 b1 "TITLE" "ground floor plan"
mtext m2 470 170 "{\fArial|b1;GENERAL NOTES:}\P1. {\C1;DO NOT SCALE}.\P2. FALL \S1/80; MIN, 45\U+00B0 BENDS.\P3. SEE \LDETAIL A\l {\fArial|i1;(SHEET 2)}."
dimension d1 60 400 380 400 ""
dimension d2 470 400 720 400 "<> OVERALL\XSEE NOTE 2"
tolerance f1 470 300 "{\Fgdt;j}%%v{\Fgdt;n}0.5%%vA"
)";

// What a release with fields adds: a text with a date field, and the title block's sheet number as
// a field in its attribute (kept in the attribute's extension dictionary, as the CAD application
// keeps an attribute's field).
constexpr std::string_view kSampleFields = R"(# The fields of the built-in sample drawing.
text t3 180 100 "Plotted %<\AcVar Date \f \"M/d/yyyy\">%"
field t3 "%<\AcVar Date \f \"M/d/yyyy\">%" "12/10/2026"
attribute a3 b1 "SHEET" "A-101"
dictionary a3 "ACAD_FIELD"
)";

// What a release with multileaders adds.
constexpr std::string_view kSampleMultileader = R"(# The multileader of the built-in sample drawing.
mleader n1 590 300 "SEE {\C2;DETAIL B}\Pon sheet 2"
)";

// What a release with tables adds to the sample drawing: a door schedule below the rest, in a
// window that holds it (and still fits a 1024 x 768 screen).
constexpr std::string_view kSampleTable = R"(# The door schedule of the built-in sample drawing.
window 40 40 960 720
table s1 60 462 7 5
merge s1 0 0 0 4
cell s1 0 0 text "{\fArial|b1;DOOR SCHEDULE}"
cell s1 1 0 text "Mark"
cell s1 1 1 text "Size"
cell s1 1 2 text "Type"
cell s1 1 3 text "Fire rating"
cell s1 1 4 text "Cost"
cell s1 2 0 text "D01"
cell s1 2 1 text "910 x 2100"
cell s1 2 2 text "single swing, solid core"
cell s1 2 3 text "FD30"
cell s1 2 4 number "412.50"
cell s1 3 0 text "D02"
cell s1 3 1 text "1810 x 2100"
cell s1 3 2 text "Double swing, {\C1;glazed}"
cell s1 3 3 text "FD30s"
cell s1 3 4 formula "825.00"
cell s1 4 0 text "D03"
cell s1 4 1 text "820 x 2040"
cell s1 4 2 text "SINGLE SWING, HOLLOW CORE"
cell s1 4 3 locked text "FD60 smoke seal"
cell s1 4 4 text "tbc"
cell s1 5 0 text "D04"
cell s1 5 1 field "1010 x 2100"
cell s1 5 2 text "Sliding, Pocket"
cell s1 5 3 text "none"
cell s1 5 4 text "Allow 600.00"
cell s1 6 0 text "D05"
cell s1 6 1 text "900 x 2100"
cell s1 6 2 block "DOOR-SWING"
cell s1 6 3 text "FD30"
cell s1 6 4 text "385.00"
)";

[[noreturn]] void Fail(int line, const std::string& message) {
    throw ScenarioError("scenario line " + std::to_string(line) + ": " + message);
}

// Decodes one UTF-8 sequence at text[pos], advancing pos; returns the code point or throws.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    int extra = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        throw ScenarioError("malformed UTF-8");
    }
    if (pos + extra >= text.size()) {
        throw ScenarioError("malformed UTF-8");
    }
    for (int i = 1; i <= extra; ++i) {
        const unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80) throw ScenarioError("malformed UTF-8");
        cp = (cp << 6) | (next & 0x3F);
    }
    constexpr std::array<char32_t, 4> kMinimum = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        throw ScenarioError("malformed UTF-8");
    }
    pos += extra + 1;
    return cp;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Walks UTF-16 by code point; a lone surrogate comes back as itself with lone = true.
template <class Visit>
void ForEachCodePoint(std::u16string_view text, Visit visit) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            visit(0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00), false);
            ++i;
        } else {
            visit(char32_t(unit), unit >= 0xD800 && unit <= 0xDFFF);
        }
    }
}

struct Token {
    bool quoted = false;
    std::string word;      // unquoted
    std::u16string text;   // quoted, escapes resolved
};

// Splits a statement into blank-separated words and quoted texts. Inside quotes \0 \\ \" \n \r \t
// and \u{XXXX} are escapes; a backslash before anything else stays a backslash (MText's \P).
std::vector<Token> Tokenize(std::string_view line, int lineNumber) {
    std::vector<Token> tokens;
    std::size_t pos = 0;
    while (pos < line.size()) {
        if (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r') {
            ++pos;
            continue;
        }
        if (line[pos] == '#') break;
        Token token;
        if (line[pos] != '"') {
            const std::size_t end = line.find_first_of(" \t\r", pos);
            token.word = std::string(line.substr(pos, end == std::string_view::npos ? end : end - pos));
            pos = end == std::string_view::npos ? line.size() : end;
            tokens.push_back(std::move(token));
            continue;
        }
        token.quoted = true;
        ++pos;
        bool closed = false;
        while (pos < line.size()) {
            const char c = line[pos];
            if (c == '"') {
                closed = true;
                ++pos;
                break;
            }
            if (c != '\\' || pos + 1 >= line.size()) {
                try {
                    AppendUtf16(token.text, DecodeUtf8(line, pos));
                } catch (const ScenarioError& error) {
                    Fail(lineNumber, error.what());
                }
                continue;
            }
            const char next = line[pos + 1];
            pos += 2;
            switch (next) {
            case '0': token.text.push_back(u'\0'); break;
            case '\\': token.text.push_back(u'\\'); break;
            case '"': token.text.push_back(u'"'); break;
            case 'n': token.text.push_back(u'\n'); break;
            case 'r': token.text.push_back(u'\r'); break;
            case 't': token.text.push_back(u'\t'); break;
            case 'u': {
                const std::size_t close = line.find('}', pos);
                unsigned value = 0;
                if (pos >= line.size() || line[pos] != '{' || close == std::string_view::npos ||
                    close == pos + 1 || close - pos - 1 > 4) {
                    Fail(lineNumber, "\\u needs {XXXX}, one to four hex digits");
                }
                const auto [end, error] = std::from_chars(line.data() + pos + 1, line.data() + close, value, 16);
                if (error != std::errc{} || end != line.data() + close) Fail(lineNumber, "bad \\u{} escape");
                token.text.push_back(static_cast<char16_t>(value));
                pos = close + 1;
                break;
            }
            default:
                token.text.push_back(u'\\');
                pos -= 1;
                break;
            }
        }
        if (!closed) Fail(lineNumber, "unterminated text");
        tokens.push_back(std::move(token));
    }
    return tokens;
}

class StatementReader {
public:
    StatementReader(std::vector<Token> tokens, int line) : tokens_(std::move(tokens)), line_(line) {}

    [[nodiscard]] std::string Word(const char* what) {
        const Token& token = Next(what);
        if (token.quoted) Fail(line_, std::string(what) + " must not be quoted");
        return token.word;
    }
    [[nodiscard]] std::u16string Text(const char* what) {
        const Token& token = Next(what);
        if (!token.quoted) Fail(line_, std::string(what) + " must be a quoted text");
        return token.text;
    }
    [[nodiscard]] int Number(const char* what) {
        const std::string word = Word(what);
        int value = 0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (error != std::errc{} || end != word.data() + word.size()) Fail(line_, std::string(what) + " must be a number");
        return value;
    }
    [[nodiscard]] std::int32_t Result(const char* what) {
        const std::string word = Word(what);
        if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
            std::uint32_t value = 0;
            const auto [end, error] = std::from_chars(word.data() + 2, word.data() + word.size(), value, 16);
            if (error != std::errc{} || end != word.data() + word.size()) Fail(line_, std::string(what) + " must be a HRESULT");
            return static_cast<std::int32_t>(value);
        }
        std::int32_t value = 0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (error != std::errc{} || end != word.data() + word.size()) Fail(line_, std::string(what) + " must be a HRESULT");
        return value;
    }
    [[nodiscard]] bool More() const { return next_ < tokens_.size(); }
    [[nodiscard]] bool NextIsText() const { return More() && tokens_[next_].quoted; }
    void End() const {
        if (More()) Fail(line_, "unexpected words at the end");
    }
    [[nodiscard]] int Line() const { return line_; }

private:
    const Token& Next(const char* what) {
        if (next_ >= tokens_.size()) Fail(line_, std::string("missing ") + what);
        return tokens_[next_++];
    }

    std::vector<Token> tokens_;
    std::size_t next_ = 0;
    int line_;
};

CellAddress ReadCell(StatementReader& reader) {
    CellAddress cell;
    cell.row = reader.Number("row");
    cell.col = reader.Number("column");
    if (cell.row < 0 || cell.col < 0) Fail(reader.Line(), "row and column count from 0");
    return cell;
}

// What may follow a failure's HRESULT or a hang's time, in any order: a count or always, and a
// table's cell ("cell <row> <column>").
void ReadCountAndCell(StatementReader& reader, int& count, CellAddress& cell) {
    while (reader.More()) {
        const std::string word = reader.Word("count, always or cell");
        if (word == "cell") {
            cell = ReadCell(reader);
        } else if (word == "always") {
            count = InjectedFailure::kAlways;
        } else {
            const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), count);
            if (error != std::errc{} || end != word.data() + word.size() || count < 1) {
                Fail(reader.Line(), "count must be a positive number or always");
            }
        }
    }
}

bool YesNo(StatementReader& reader) {
    const std::string word = reader.Word("yes or no");
    if (word == "yes") return true;
    if (word == "no") return false;
    Fail(reader.Line(), "expected yes or no");
}

int Seconds(StatementReader& reader) {
    const int seconds = reader.Number("seconds");
    if (seconds < 0 || seconds > 3600) Fail(reader.Line(), "seconds must be 0 to 3600");
    return seconds * 1000;
}

// A slow or busy application, and what a newer release adds: hang, busy, multiline. False for
// any other statement.
bool ReadTimingStatement(Scenario& scenario, const std::string& keyword, StatementReader& reader) {
    if (keyword == "hang") {
        HangingCall& hang = scenario.hangs.emplace_back();
        hang.object = reader.Word("object");
        hang.operation = reader.Word("operation");
        if (!IsFailableOperation(hang.operation)) Fail(reader.Line(), "unknown operation " + hang.operation);
        hang.milliseconds = Seconds(reader);
        ReadCountAndCell(reader, hang.count, hang.cell);
    } else if (keyword == "stall") {
        HangingCall& stall = scenario.stalls.emplace_back();
        stall.object = reader.Word("object");
        stall.operation = reader.Word("operation");
        if (!IsFailableOperation(stall.operation)) Fail(reader.Line(), "unknown operation " + stall.operation);
        stall.milliseconds = Seconds(reader);
    } else if (keyword == "busy") {
        if (scenario.busy) Fail(reader.Line(), "one busy period only");
        BusyPeriod& busy = scenario.busy.emplace();
        busy.milliseconds = Seconds(reader);
        while (reader.More()) {
            const std::string word = reader.Word("retry-later or after");
            if (word == "retry-later") {
                busy.retryLater = true;
            } else if (word == "after") {
                busy.afterObject = reader.Word("object");
                busy.afterOperation = reader.Word("operation");
                if (!IsFailableOperation(busy.afterOperation)) Fail(reader.Line(), "unknown operation " + busy.afterOperation);
            } else {
                Fail(reader.Line(), "expected retry-later or after");
            }
        }
    } else if (keyword == "multiline") {
        scenario.multilineAttributes.push_back(reader.Word("attribute id"));
    } else {
        return false;
    }
    return true;
}

// An entity's layer as a layer line gives it; applied once the drawing is known (the sample
// drawing's entities too).
struct LayerAssignment {
    std::string entity;
    std::u16string layer;
    int line = 0;
};

// What ParseScenario knows besides the statements: the release, what the scenario has set, and the
// entities' layers.
struct ParseContext {
    int release = 15;
    bool titled = false;
    bool windowed = false;
    std::vector<LayerAssignment> layered;
};

// The layer of this name, made (unlocked) where the drawing has none; its name as first spelt.
LayerDefinition& LayerNamed(Scenario& scenario, std::u16string_view name) {
    for (LayerDefinition& layer : scenario.layers) {
        if (SameNameIgnoringCase(layer.name, name)) return layer;
    }
    return scenario.layers.emplace_back(LayerDefinition{std::u16string(name), false});
}

// A layer's name: one word of the scenario (UTF-8).
std::u16string LayerNameWord(StatementReader& reader) {
    const std::string word = reader.Word("layer name");
    try {
        return Utf8ToUtf16(word);
    } catch (const ScenarioError& error) {
        Fail(reader.Line(), error.what());
    }
}

// The drawing's layers, their locks and the pre-selection: layer, lock, preselect. False for any
// other statement.
bool ReadLayerStatement(Scenario& scenario, const std::string& keyword, StatementReader& reader, ParseContext& context) {
    if (keyword == "layer") {
        LayerAssignment& assignment = context.layered.emplace_back();
        assignment.entity = reader.Word("entity id");
        assignment.layer = LayerNamed(scenario, LayerNameWord(reader)).name;
        assignment.line = reader.Line();
    } else if (keyword == "lock") {
        LayerNamed(scenario, LayerNameWord(reader)).locked = true;
    } else if (keyword == "preselect") {
        do {
            scenario.preselection.push_back(reader.Word("entity id"));
        } while (reader.More());
    } else {
        return false;
    }
    return true;
}

// Puts each entity a layer line names on its layer.
void ApplyLayers(Scenario& scenario, const ParseContext& context) {
    std::set<std::string> placed;
    for (const LayerAssignment& assignment : context.layered) {
        const auto entity = std::find_if(scenario.entities.begin(), scenario.entities.end(),
                                         [&](const EntityDefinition& e) { return e.id == assignment.entity; });
        if (entity == scenario.entities.end()) Fail(assignment.line, "no entity " + assignment.entity);
        if (!placed.insert(assignment.entity).second) Fail(assignment.line, "the layer of " + assignment.entity + " is given twice");
        entity->layer = assignment.layer;
    }
}

// The table a cell or merge statement names: one defined before it.
TableModel& TableNamed(Scenario& scenario, StatementReader& reader) {
    const std::string id = reader.Word("table id");
    for (EntityDefinition& definition : scenario.entities) {
        if (definition.id == id && definition.kind == EntityKind::Table) return definition.table;
    }
    Fail(reader.Line(), "no table " + id + " before it");
}

// A table and its cells: table, cell, merge. False for any other statement.
bool ReadTableStatement(Scenario& scenario, const std::string& keyword, StatementReader& reader, const ParseContext& context) {
    if (keyword == "table") {
        if (context.release < kTablesFrom) {
            Fail(reader.Line(), "tables exist from release " + std::to_string(kTablesFrom) + " on, not in release " +
                                    std::to_string(context.release));
        }
        EntityDefinition& definition = scenario.entities.emplace_back();
        definition.kind = EntityKind::Table;
        definition.id = reader.Word("id");
        definition.x1 = reader.Number("x");
        definition.y1 = reader.Number("y");
        const int rows = reader.Number("rows");
        const int columns = reader.Number("columns");
        if (rows < 1 || columns < 1 || rows > TableModel::kMaximumSize || columns > TableModel::kMaximumSize) {
            Fail(reader.Line(), "rows and columns from 1 to " + std::to_string(TableModel::kMaximumSize));
        }
        definition.table = TableModel(rows, columns);
    } else if (keyword == "cell") {
        TableModel& table = TableNamed(scenario, reader);
        const CellAddress at = ReadCell(reader);
        if (!table.Contains(at.row, at.col)) Fail(reader.Line(), "the cell is outside the table");
        if (table.Cell(at.row, at.col).content != CellContent::Empty) Fail(reader.Line(), "the cell is described twice");
        std::string kind = reader.Word("text, number, date, field, formula, block, locked or linked");
        const bool locked = kind == "locked";
        const bool linked = kind == "linked";
        if (locked || linked) kind = reader.NextIsText() ? "text" : reader.Word("text, number, date, field, formula or block");
        std::u16string text;
        CellContent content = CellContent::Text;
        if (kind == "text") {
            text = reader.Text("text");
        } else if (kind == "number") {
            content = CellContent::Number;
            text = reader.Text("number");
            if (!LooksLikeNumber(text)) Fail(reader.Line(), "a number cell's text must look like a number");
        } else if (kind == "date") {
            content = CellContent::Date;
            text = reader.Text("date");
        } else if (kind == "field" || kind == "formula") {
            content = kind == "field" ? CellContent::Field : CellContent::Formula;
            text = reader.Text("value");
        } else if (kind == "block") {
            content = CellContent::Block;
            if (reader.More()) text = reader.Text("block name");
        } else {
            Fail(reader.Line(), "a cell holds text, number, date, field, formula or block");
        }
        table.Define(at.row, at.col, content, std::move(text), locked, linked);
    } else if (keyword == "merge") {
        TableModel& table = TableNamed(scenario, reader);
        const CellAddress first = ReadCell(reader);
        const CellAddress last = ReadCell(reader);
        if (!table.Merge({first.row, last.row, first.col, last.col})) {
            Fail(reader.Line(), "a merge spans two cells or more inside the table, and overlaps no other");
        }
    } else {
        return false;
    }
    return true;
}

void ReadStatement(Scenario& scenario, StatementReader& reader, ParseContext& context) {
    const std::string keyword = reader.Word("statement");
    const auto entity = [&](EntityKind kind) -> EntityDefinition& {
        EntityDefinition& definition = scenario.entities.emplace_back();
        definition.kind = kind;
        definition.id = reader.Word("id");
        return definition;
    };
    if (keyword == "title") {
        scenario.title = reader.Text("title");
        context.titled = true;
    } else if (keyword == "window") {
        scenario.windowX = reader.Number("x");
        scenario.windowY = reader.Number("y");
        scenario.windowWidth = reader.Number("width");
        scenario.windowHeight = reader.Number("height");
        if (scenario.windowWidth < 200 || scenario.windowHeight < 150) Fail(reader.Line(), "window too small");
        context.windowed = true;
    } else if (keyword == "visible") {
        scenario.visible = YesNo(reader);
    } else if (keyword == "pick-timeout") {
        scenario.pickTimeoutSeconds = reader.Number("seconds");
        if (scenario.pickTimeoutSeconds < 0) Fail(reader.Line(), "negative timeout");
    } else if (keyword == "text" || keyword == "mtext") {
        EntityDefinition& definition = entity(keyword == "text" ? EntityKind::Text : EntityKind::MText);
        definition.x1 = reader.Number("x");
        definition.y1 = reader.Number("y");
        definition.text = reader.Text("text");
    } else if (keyword == "mleader" || keyword == "tolerance") {
        if (keyword == "mleader" && context.release < kMultileadersFrom) {
            Fail(reader.Line(), "multileaders exist from release " + std::to_string(kMultileadersFrom) +
                                    " on, not in release " + std::to_string(context.release));
        }
        EntityDefinition& definition = entity(keyword == "mleader" ? EntityKind::MLeader : EntityKind::Tolerance);
        definition.x1 = reader.Number("x");
        definition.y1 = reader.Number("y");
        if (keyword == "mleader" && !reader.NextIsText()) {
            // A multileader whose content is a block: its TextString reads "".
            if (reader.Word("text or block") != "block") Fail(reader.Line(), "a multileader holds a text or a block");
            definition.name = reader.Text("block name");
        } else {
            definition.text = reader.Text("text");
        }
    } else if (keyword == "field") {
        if (context.release < kFieldsFrom) {
            Fail(reader.Line(), "fields exist from release " + std::to_string(kFieldsFrom) + " on, not in release " +
                                    std::to_string(context.release));
        }
        FieldDeclaration& field = scenario.fields.emplace_back();
        field.entity = reader.Word("text id");
        field.expression = reader.Text("field expression");
        field.value = reader.Text("value");
        const std::vector<FieldSpan> spans = OutermostFields(field.expression);
        if (spans.size() != 1 || spans[0].begin != 0 || spans[0].length != field.expression.size()) {
            Fail(reader.Line(), "a field expression is one %<...>% and nothing else");
        }
    } else if (keyword == "dictionary") {
        const std::string id = reader.Word("entity id");
        const auto owner = std::find_if(scenario.entities.begin(), scenario.entities.end(),
                                        [&](const EntityDefinition& e) { return e.id == id; });
        if (owner == scenario.entities.end()) Fail(reader.Line(), "no entity " + id + " before it");
        if (owner->hasDictionary) Fail(reader.Line(), "the dictionary of " + id + " is described twice");
        owner->hasDictionary = true;
        while (reader.More()) owner->dictionary.push_back(reader.Text("entry name"));
    } else if (keyword == "line" || keyword == "dimension") {
        EntityDefinition& definition = entity(keyword == "line" ? EntityKind::Line : EntityKind::Dimension);
        definition.x1 = reader.Number("x1");
        definition.y1 = reader.Number("y1");
        definition.x2 = reader.Number("x2");
        definition.y2 = reader.Number("y2");
        if (definition.kind == EntityKind::Dimension) definition.text = reader.Text("text override");
    } else if (keyword == "block") {
        EntityDefinition& definition = entity(EntityKind::Block);
        definition.x1 = reader.Number("x");
        definition.y1 = reader.Number("y");
        definition.name = reader.Text("block name");
    } else if (keyword == "attribute") {
        EntityDefinition& definition = entity(EntityKind::Attribute);
        definition.block = reader.Word("block id");
        definition.name = reader.Text("tag");
        definition.text = reader.Text("text");
    } else if (keyword == "attdef") {
        // An attribute definition on its own in the drawing: its tag, and its default value as its text.
        EntityDefinition& definition = entity(EntityKind::AttributeDefinition);
        definition.x1 = reader.Number("x");
        definition.y1 = reader.Number("y");
        definition.name = reader.Text("tag");
        definition.text = reader.Text("text");
    } else if (keyword == "pick") {
        PickOutcomeDefinition& pick = scenario.picks.emplace_back();
        const std::string what = reader.Word("pick outcome");
        if (what == "miss") {
            pick.kind = PickKind::Miss;
        } else if (what == "cancel") {
            pick.kind = PickKind::Cancel;
        } else if (what == "vanish") {
            pick.kind = PickKind::Vanish;
        } else if (what == "click") {
            pick.kind = PickKind::Click;
        } else if (what == "fail") {
            pick.kind = PickKind::Fail;
            pick.result = reader.Result("HRESULT");
        } else {
            pick.kind = PickKind::Entity;
            pick.id = what;
        }
    } else if (keyword == "fail") {
        InjectedFailure& failure = scenario.failures.emplace_back();
        failure.object = reader.Word("object");
        failure.operation = reader.Word("operation");
        if (!IsFailableOperation(failure.operation)) Fail(reader.Line(), "unknown operation " + failure.operation);
        failure.result = reader.Result("HRESULT");
        ReadCountAndCell(reader, failure.count, failure.cell);
    } else if (keyword == "answer") {
        OddAnswer& answer = scenario.oddAnswers.emplace_back();
        answer.object = reader.Word("object");
        answer.operation = reader.Word("operation");
        const bool cellRead = std::find(kCellReads.begin(), kCellReads.end(), answer.operation) != kCellReads.end();
        if (std::find(kOddlyAnswerable.begin(), kOddlyAnswerable.end(), answer.operation) == kOddlyAnswerable.end() && !cellRead) {
            Fail(reader.Line(), "only TextString.get, TextOverride.get, ObjectName.get, HasExtensionDictionary.get, Layer.get, "
                                "a table's Rows.get, Columns.get, GetText, GetCellType, GetFieldId, GetCellState, "
                                "GetCellValue, IsMergedCell, an attribute's MTextAttributeContent.get, a collection's "
                                "Count.get and Item and a layer's Lock.get can be answered oddly");
        }
        const std::string kind = reader.Word("answer");
        if (kind == "empty") {
            answer.kind = OddAnswerKind::Empty;
        } else if (kind == "null") {
            answer.kind = OddAnswerKind::Null;
        } else if (kind == "number") {
            answer.kind = OddAnswerKind::Number;
            answer.number = reader.Number("number");
        } else if (kind == "object") {
            answer.kind = OddAnswerKind::Object;
        } else if (kind == "text") {
            answer.kind = OddAnswerKind::Text;
            answer.text = reader.Text("text");
        } else if (kind == "range" && answer.operation == "IsMergedCell") {
            answer.kind = OddAnswerKind::Range;
            answer.range.minRow = reader.Number("first row");
            answer.range.maxRow = reader.Number("last row");
            answer.range.minCol = reader.Number("first column");
            answer.range.maxCol = reader.Number("last column");
        } else {
            Fail(reader.Line(), "answer must be empty, null, number, object, text (or range for IsMergedCell)");
        }
        if (reader.More()) {
            if (!cellRead || reader.Word("cell") != "cell") Fail(reader.Line(), "only a table's cell reads answer for one cell");
            answer.cell = ReadCell(reader);
        }
    } else if (!ReadTimingStatement(scenario, keyword, reader) && !ReadTableStatement(scenario, keyword, reader, context) &&
               !ReadLayerStatement(scenario, keyword, reader, context)) {
        Fail(reader.Line(), "unknown statement " + keyword);
    }
    reader.End();
}

// A failure, hang or odd answer for one cell: only for the members that take a cell, on a table
// (or any entity) that has that cell.
void CheckCell(const Scenario& scenario, const std::string& object, const std::string& operation, const CellAddress& cell,
               const char* what) {
    if (cell.Any()) return;
    const bool takesCell =
        operation == "SetText" || std::find(kCellReads.begin(), kCellReads.end(), operation) != kCellReads.end();
    if (!takesCell) throw ScenarioError(std::string(what) + " " + operation + " names a cell, but takes none");
    if (object == "*") return;
    const auto table = std::find_if(scenario.entities.begin(), scenario.entities.end(), [&](const EntityDefinition& e) {
        return e.id == object && e.kind == EntityKind::Table;
    });
    if (table == scenario.entities.end() || !table->table.Contains(cell.row, cell.col)) {
        throw ScenarioError(std::string(what) + " on " + object + ": no such table cell");
    }
}

// app, doc, util, * (any entity), an entity's id, its extension dictionary "<id>.xdict", the
// pre-selection, the layers, or one layer "layer.<name>" (spelt as the layer is).
bool KnownObject(const std::string& object, const std::set<std::string>& ids, const Scenario& scenario) {
    constexpr std::string_view kDictionary = ".xdict";
    if (object.size() > kDictionary.size() && object.ends_with(kDictionary)) {
        return ids.contains(object.substr(0, object.size() - kDictionary.size()));
    }
    if (std::any_of(scenario.layers.begin(), scenario.layers.end(),
                    [&](const LayerDefinition& layer) { return LayerObjectName(layer.name) == object; })) {
        return true;
    }
    return object == "app" || object == "doc" || object == "util" || object == "*" || object == kPreselectionObject ||
           object == kLayersObject || ids.contains(object);
}

void CheckTiming(const Scenario& scenario, const std::set<std::string>& ids) {
    const auto known = [&](const std::string& object) { return KnownObject(object, ids, scenario); };
    for (const HangingCall& hang : scenario.hangs) {
        if (!known(hang.object)) throw ScenarioError("hang on unknown object " + hang.object);
        CheckCell(scenario, hang.object, hang.operation, hang.cell, "hang");
    }
    for (const HangingCall& stall : scenario.stalls) {
        if (!known(stall.object)) throw ScenarioError("stall on unknown object " + stall.object);
    }
    if (scenario.busy && !scenario.busy->afterObject.empty() && !known(scenario.busy->afterObject)) {
        throw ScenarioError("busy after unknown object " + scenario.busy->afterObject);
    }
    for (const std::string& id : scenario.multilineAttributes) {
        const auto attribute = std::find_if(scenario.entities.begin(), scenario.entities.end(), [&](const EntityDefinition& e) {
            return e.id == id && (e.kind == EntityKind::Attribute || e.kind == EntityKind::AttributeDefinition);
        });
        if (attribute == scenario.entities.end()) throw ScenarioError("multiline names no attribute or attribute definition: " + id);
    }
}

void Check(const Scenario& scenario) {
    std::set<std::string> ids;
    std::set<std::string> blocks;
    for (const EntityDefinition& definition : scenario.entities) {
        if (definition.id == "app" || definition.id == "doc" || definition.id == "util" || definition.id == "*" ||
            definition.id == "miss" || definition.id == "cancel" || definition.id == "fail" || definition.id == "vanish" ||
            definition.id == "click" || definition.id == kPreselectionObject || definition.id == kLayersObject ||
            definition.id.starts_with("layer.")) {
            throw ScenarioError("entity id " + definition.id + " is reserved");
        }
        if (!ids.insert(definition.id).second) throw ScenarioError("entity id " + definition.id + " used twice");
        if (definition.kind == EntityKind::Block) blocks.insert(definition.id);
        if (definition.kind == EntityKind::Attribute && !blocks.contains(definition.block)) {
            throw ScenarioError("attribute " + definition.id + ": no block " + definition.block + " before it");
        }
    }
    for (const PickOutcomeDefinition& pick : scenario.picks) {
        if (pick.kind == PickKind::Entity && !ids.contains(pick.id)) throw ScenarioError("pick of unknown entity " + pick.id);
    }
    for (const std::string& id : scenario.preselection) {
        const auto entity = std::find_if(scenario.entities.begin(), scenario.entities.end(),
                                         [&](const EntityDefinition& e) { return e.id == id; });
        if (entity == scenario.entities.end()) throw ScenarioError("preselect of unknown entity " + id);
        // An attribute belongs to its block reference: selecting the block selects it.
        if (entity->kind == EntityKind::Attribute) throw ScenarioError("preselect of attribute " + id + ": select its block");
    }
    for (const InjectedFailure& failure : scenario.failures) {
        const std::string& object = failure.object;
        if (!KnownObject(object, ids, scenario)) {
            throw ScenarioError("fail on unknown object " + object);
        }
        CheckCell(scenario, object, failure.operation, failure.cell, "fail");
    }
    for (const OddAnswer& answer : scenario.oddAnswers) {
        // Only objects that answer through Invoke have odd answers (not the application, document or utility).
        if (answer.object == "app" || answer.object == "doc" || answer.object == "util" ||
            !KnownObject(answer.object, ids, scenario)) {
            throw ScenarioError("answer on unknown object " + answer.object);
        }
        CheckCell(scenario, answer.object, answer.operation, answer.cell, "answer");
    }
    CheckTiming(scenario, ids);
    for (const FieldDeclaration& field : scenario.fields) {
        const auto text = std::find_if(scenario.entities.begin(), scenario.entities.end(), [&](const EntityDefinition& e) {
            return e.id == field.entity && (e.kind == EntityKind::Text || e.kind == EntityKind::MText);
        });
        if (text == scenario.entities.end()) throw ScenarioError("field names no text or mtext: " + field.entity);
    }
}

}  // namespace

bool SameNameIgnoringCase(std::u16string_view a, std::u16string_view b) {
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

const LayerDefinition* FindLayer(const Scenario& scenario, std::u16string_view name) {
    for (const LayerDefinition& layer : scenario.layers) {
        if (SameNameIgnoringCase(layer.name, name)) return &layer;
    }
    return nullptr;
}

std::string LayerObjectName(std::u16string_view layer) {
    return "layer." + Utf16ToUtf8(layer);
}

bool IsFailableOperation(std::string_view operation) {
    return std::find(kFailableOperations.begin(), kFailableOperations.end(), operation) != kFailableOperations.end();
}

Scenario ParseScenario(std::string_view utf8, int release) {
    if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
    Scenario scenario;
    ParseContext context;
    context.release = release;
    int lineNumber = 0;
    while (!utf8.empty()) {
        ++lineNumber;
        const std::size_t end = utf8.find('\n');
        const std::string_view line = utf8.substr(0, end);
        utf8.remove_prefix(end == std::string_view::npos ? utf8.size() : end + 1);
        std::vector<Token> tokens = Tokenize(line, lineNumber);
        if (tokens.empty()) continue;
        StatementReader reader(std::move(tokens), lineNumber);
        ReadStatement(scenario, reader, context);
    }
    if (scenario.entities.empty()) {
        Scenario sample = SampleScenario(release);
        scenario.entities = std::move(sample.entities);
        if (!context.titled) scenario.title = sample.title;
        if (!context.windowed) {
            scenario.windowX = sample.windowX;
            scenario.windowY = sample.windowY;
            scenario.windowWidth = sample.windowWidth;
            scenario.windowHeight = sample.windowHeight;
        }
    }
    ApplyLayers(scenario, context);
    Check(scenario);
    if (release >= kFieldsFrom) {
        for (EntityDefinition& definition : scenario.entities) {
            if (definition.kind == EntityKind::Text || definition.kind == EntityKind::MText) {
                const std::u16string code = definition.text;
                (void)SetFieldCode(definition, code, scenario.fields);
            }
        }
    }
    return scenario;
}

int SetFieldCode(EntityDefinition& definition, std::u16string_view code, const std::vector<FieldDeclaration>& fields) {
    const int count = static_cast<int>(OutermostFields(code).size());
    definition.text = ShowFields(code, fields, definition.id);
    definition.fieldCode = count > 0 ? std::u16string(code) : std::u16string();
    return count;
}

Scenario SampleScenario(int release) {
    std::string sample(kSample);
    if (release >= kTablesFrom) sample += kSampleTable;
    if (release >= kFieldsFrom) sample += kSampleFields;
    if (release >= kMultileadersFrom) sample += kSampleMultileader;
    return ParseScenario(sample, release);
}

std::string QuoteText(std::u16string_view text) {
    std::string out = "\"";
    ForEachCodePoint(text, [&](char32_t cp, bool lone) {
        char buffer[16];
        switch (cp) {
        case 0: out += "\\0"; return;
        case '\\': out += "\\\\"; return;
        case '"': out += "\\\""; return;
        case '\n': out += "\\n"; return;
        case '\r': out += "\\r"; return;
        case '\t': out += "\\t"; return;
        default: break;
        }
        if (lone || cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) {
            std::snprintf(buffer, sizeof buffer, "\\u{%04X}", static_cast<unsigned>(cp));
            out += buffer;
        } else {
            AppendUtf8(out, cp);
        }
    });
    out += '"';
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    std::size_t pos = 0;
    while (pos < utf8.size()) AppendUtf16(out, DecodeUtf8(utf8, pos));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    ForEachCodePoint(text, [&](char32_t cp, bool lone) { AppendUtf8(out, lone ? char32_t{0xFFFD} : cp); });
    return out;
}

std::string HexResult(std::int32_t result) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<std::uint32_t>(result));
    return buffer;
}

}  // namespace cadstandin
