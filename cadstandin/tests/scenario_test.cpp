#include "cadstandin/scenario.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace cadstandin {
namespace {

using namespace std::string_literals;

// Rule: a scenario's texts reach the drawing exactly, escapes included (U+0000, quotes, code units).
struct TextCase {
    const char* name;
    std::string source;     // the quoted text as written in the scenario
    std::u16string parsed;  // what the entity holds
};

class ScenarioText : public testing::TestWithParam<TextCase> {};

TEST_P(ScenarioText, ParsesToTheExactUnits) {
    const Scenario scenario = ParseScenario("text t1 1 2 " + GetParam().source + "\n");
    ASSERT_EQ(scenario.entities.size(), 1u);
    EXPECT_EQ(scenario.entities[0].text, GetParam().parsed);
}

const TextCase kTextCases[] = {
    {"Plain", R"("%%Unote")", u"%%Unote"},
    {"EmbeddedNul", R"("a\0b")", u"a\0b"s},
    {"OnlyNul", R"("\0")", u"\0"s},
    {"Empty", R"("")", u""},
    {"QuoteAndBackslash", R"("say \"hi\" \\ there")", u"say \"hi\" \\ there"},
    {"MTextParagraphKept", R"("one\Ptwo")", u"one\\Ptwo"},
    {"ControlEscapes", R"("a\tb\nc\rd")", u"a\tb\nc\rd"},
    {"CodeUnitEscape", R"("\u{D800}x\u{41}")", u"\xD800x\x41"s},
    {"Utf8", "\"Gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80\"", u"Gr\u00FC\u00DF \U0001F600"},
    {"BlanksInside", R"("  two  words  ")", u"  two  words  "},
};

INSTANTIATE_TEST_SUITE_P(Cases, ScenarioText, testing::ValuesIn(kTextCases),
                         [](const testing::TestParamInfo<TextCase>& info) { return info.param.name; });

// Rule: the log shows every text unambiguously, and what the scenario writes the log reads back alike.
TEST_P(ScenarioText, LogFormIsTheScenarioForm) {
    const std::string quoted = QuoteText(GetParam().parsed);
    const Scenario again = ParseScenario("text t1 1 2 " + quoted + "\n");
    EXPECT_EQ(again.entities[0].text, GetParam().parsed) << quoted;
}

// Rule: embedded U+0000 and other control characters are escaped in the log, never written raw.
TEST(QuoteText, EscapesWhatWouldBeAmbiguous) {
    EXPECT_EQ(QuoteText(u"a\0b"s), R"("a\0b")");
    EXPECT_EQ(QuoteText(u"\"\\\n"), R"("\"\\\n")");
    EXPECT_EQ(QuoteText(u"\x01\x7F"), R"("\u{0001}\u{007F}")");
    EXPECT_EQ(QuoteText(u"\xDC00"), R"("\u{DC00}")");
    EXPECT_EQ(QuoteText(u"\U0001F600"), "\"\xF0\x9F\x98\x80\"");
}

// Rule: a scenario defines drawing, pick queue, failures and settings.
TEST(Scenario, ReadsEveryStatement) {
    const Scenario scenario = ParseScenario(
        "\xEF\xBB\xBF# comment\n"
        "title \"Plan.dwg\"\r\n"
        "window 10 20 640 480\n"
        "visible no\n"
        "pick-timeout 5\n"
        "text t1 40 60 \"x\"  # trailing comment\n"
        "mtext m1 40 120 \"y\"\n"
        "line l1 1 2 3 4\n"
        "block b1 5 6 \"DOOR\"\n"
        "attribute a1 b1 \"TAG\" \"v\"\n"
        "dimension d1 1 2 3 4 \"\"\n"
        "pick t1\npick miss\npick cancel\npick fail 0x80004005\npick fail -2147352567\npick vanish\npick click\n"
        "fail t1 TextString.put 0x80070005\n"
        "fail * Update 0x8007000E always\n"
        "fail app Visible.put 0x80004005 2\n"
        "answer t1 TextString.get number 42\n"
        "answer * TextOverride.get object\n"
        "answer m1 ObjectName.get null\n");
    EXPECT_EQ(scenario.title, u"Plan.dwg");
    EXPECT_EQ(scenario.windowX, 10);
    EXPECT_EQ(scenario.windowHeight, 480);
    EXPECT_FALSE(scenario.visible);
    EXPECT_EQ(scenario.pickTimeoutSeconds, 5);
    ASSERT_EQ(scenario.entities.size(), 6u);
    EXPECT_EQ(scenario.entities[4].kind, EntityKind::Attribute);
    EXPECT_EQ(scenario.entities[4].block, "b1");
    EXPECT_EQ(scenario.entities[4].name, u"TAG");
    EXPECT_EQ(scenario.entities[5].x2, 3);
    ASSERT_EQ(scenario.picks.size(), 7u);
    EXPECT_EQ(scenario.picks[0].id, "t1");
    EXPECT_EQ(scenario.picks[3].result, static_cast<std::int32_t>(0x80004005));
    EXPECT_EQ(scenario.picks[4].result, static_cast<std::int32_t>(0x80020009));
    EXPECT_EQ(scenario.picks[5].kind, PickKind::Vanish);
    EXPECT_EQ(scenario.picks[6].kind, PickKind::Click);
    ASSERT_EQ(scenario.failures.size(), 3u);
    EXPECT_EQ(scenario.failures[1].count, InjectedFailure::kAlways);
    EXPECT_EQ(scenario.failures[2].count, 2);
    ASSERT_EQ(scenario.oddAnswers.size(), 3u);
    EXPECT_EQ(scenario.oddAnswers[0].kind, OddAnswerKind::Number);
    EXPECT_EQ(scenario.oddAnswers[0].number, 42);
    EXPECT_EQ(scenario.oddAnswers[1].object, "*");
    EXPECT_EQ(scenario.oddAnswers[1].kind, OddAnswerKind::Object);
    EXPECT_EQ(scenario.oddAnswers[2].operation, "ObjectName.get");
}

// Rule: without entities the scenario uses the sample drawing, which has every kind and a "%%U" text.
TEST(Scenario, SampleDrawingHasEveryKind) {
    const Scenario scenario = ParseScenario("pick miss\n");
    std::set<EntityKind> seen;
    bool underlined = false;
    for (const EntityDefinition& definition : scenario.entities) {
        seen.insert(definition.kind);
        underlined = underlined || definition.text.starts_with(u"%%U");
    }
    for (const EntityKind kind : {EntityKind::Text, EntityKind::MText, EntityKind::Line, EntityKind::Block,
                                  EntityKind::Attribute, EntityKind::Dimension, EntityKind::Tolerance}) {
        EXPECT_TRUE(seen.contains(kind)) << static_cast<int>(kind);
    }
    EXPECT_TRUE(underlined);
    EXPECT_EQ(scenario.picks.size(), 1u);
}

// Rule: a scenario that cannot be served is refused with the line that is wrong.
class ScenarioRefused : public testing::TestWithParam<const char*> {};

TEST_P(ScenarioRefused, NamesTheProblem) {
    EXPECT_THROW(static_cast<void>(ParseScenario(GetParam())), ScenarioError);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScenarioRefused,
                         testing::Values("text t1 1 2 \"open\n", "text t1 1 2 unquoted\n", "text t1 x 2 \"a\"\n",
                                         "text t1 1 2 \"a\" extra\n", "frobnicate\n", "text t1 1 2 \"a\"\ntext t1 3 4 \"b\"\n",
                                         "attribute a1 b9 \"T\" \"v\"\ntext t1 1 2 \"a\"\n", "pick nobody\n",
                                         "fail zz TextString.put 0x80004005\n", "fail app Explode 0x80004005\n",
                                         "fail app Visible.put 0xZZ\n", "fail app Visible.put 1 0\n",
                                         "text app 1 2 \"a\"\n", "text t1 1 2 \"\\u{}\"\n", "text t1 1 2 \"\xC3\"\n",
                                         "text t1 1 2 \"\xC0\x80\"\n", "window 1 1 10 10\n", "visible maybe\n",
                                         "text t1 1 2 \"a\"\nanswer t1 Update empty\n",
                                         "text t1 1 2 \"a\"\nanswer t1 TextString.get maybe\n",
                                         "answer zz TextString.get empty\n"));

// Rule: an HRESULT is shown the way the log and the tests compare it.
TEST(HexResult, EightUpperHexDigits) {
    EXPECT_EQ(HexResult(static_cast<std::int32_t>(0x80020009)), "0x80020009");
    EXPECT_EQ(HexResult(0), "0x00000000");
}

}  // namespace
}  // namespace cadstandin

namespace cadstandin {
namespace {

// Rule: a slow application (a call that hangs), a busy one (calls rejected for a while) and
// multiline attributes are part of a scenario.
TEST(ScenarioTiming, ReadsBlockBusyAndMultiline) {
    const Scenario timed = ParseScenario(
        "text t1 1 2 \"x\"\n"
        "hang app Visible.put 30\n"
        "hang * Update 2 always\n"
        "busy 20 retry-later after app Caption.get\n"
        "stall t1 Update 20\n");
    ASSERT_EQ(timed.hangs.size(), 2u);
    ASSERT_EQ(timed.stalls.size(), 1u);
    EXPECT_EQ(timed.stalls[0].object, "t1");
    EXPECT_EQ(timed.stalls[0].operation, "Update");
    EXPECT_EQ(timed.stalls[0].milliseconds, 20'000);
    EXPECT_EQ(timed.hangs[0].object, "app");
    EXPECT_EQ(timed.hangs[0].operation, "Visible.put");
    EXPECT_EQ(timed.hangs[0].milliseconds, 30'000);
    EXPECT_EQ(timed.hangs[0].count, 1);
    EXPECT_EQ(timed.hangs[1].count, InjectedFailure::kAlways);
    ASSERT_TRUE(timed.busy.has_value());
    EXPECT_EQ(timed.busy->milliseconds, 20'000);
    EXPECT_TRUE(timed.busy->retryLater);
    EXPECT_EQ(timed.busy->afterObject, "app");
    EXPECT_EQ(timed.busy->afterOperation, "Caption.get");

    const Scenario plain = ParseScenario("busy 2\nblock b9 1 2 \"DOOR\"\nattribute a1 b9 \"T\" \"{x}\"\nmultiline a1\n");
    ASSERT_TRUE(plain.busy.has_value());
    EXPECT_FALSE(plain.busy->retryLater);
    EXPECT_TRUE(plain.busy->afterObject.empty());
    EXPECT_EQ(plain.multilineAttributes, std::vector<std::string>{"a1"});
}

// Rule: a timing statement that cannot be served is refused with its reason.
TEST(ScenarioTiming, RefusesWhatCannotBeServed) {
    for (const char* bad : {"hang app Visible.put\n", "hang app Nothing.get 3\n", "hang nobody Update 3\n",
                            "hang app Update -1\n", "hang app Update 3 0\n", "busy\n", "busy 2 sometimes\n",
                            "busy 2\nbusy 3\n", "busy 2 after nobody Update\n", "text t1 1 2 \"x\"\nmultiline t1\n",
                            "multiline a9\n", "stall nobody Update 3\n", "stall app Nothing.get 3\n",
                            "stall app Update\n"}) {
        EXPECT_THROW((void)ParseScenario(bad), ScenarioError) << bad;
    }
}

}  // namespace
}  // namespace cadstandin

namespace cadstandin {
namespace {

constexpr int kNewerRelease = 25;

// Rule: a table is described by its size, then its cells (every kind, locked, linked or neither) and merges.
TEST(ScenarioTable, ReadsTablesCellsAndMerges) {
    const Scenario scenario = ParseScenario(
        "table t1 40 300 4 3\n"
        "merge t1 0 0 0 2\n"
        "cell t1 0 0 text \"{\\fArial|b1;Title}\\Pline\"\n"
        "cell t1 1 0 number \"12.50\"\n"
        "cell t1 1 1 field \"910 x 2100\"\n"
        "cell t1 1 2 formula \"25.00\"\n"
        "cell t1 2 0 block \"DOOR-SWING\"\n"
        "cell t1 2 1 block\n"
        "cell t1 2 2 locked \"FD60\"\n"
        "cell t1 3 0 locked number \"7\"\n"
        "cell t1 3 1 date \"5-Jan-24\"\n"
        "cell t1 3 2 linked number \"12 mm\"\n"
        "pick t1\n",
        kNewerRelease);
    ASSERT_EQ(scenario.entities.size(), 1u);
    const EntityDefinition& definition = scenario.entities[0];
    EXPECT_EQ(definition.kind, EntityKind::Table);
    EXPECT_EQ(definition.x1, 40);
    EXPECT_EQ(definition.y1, 300);
    const TableModel& table = definition.table;
    EXPECT_EQ(table.Rows(), 4);
    EXPECT_EQ(table.Columns(), 3);
    EXPECT_EQ(table.Cell(0, 0).text, u"{\\fArial|b1;Title}\\Pline") << "cell texts are formatted text, written as is";
    EXPECT_EQ(table.Merges(), (std::vector<CellRange>{{0, 0, 0, 2}}));
    EXPECT_EQ(table.Cell(1, 0).content, CellContent::Number);
    EXPECT_EQ(table.Cell(1, 1).content, CellContent::Field);
    EXPECT_EQ(table.Cell(1, 1).text, u"910 x 2100");
    EXPECT_EQ(table.Cell(1, 2).content, CellContent::Formula);
    EXPECT_EQ(table.Cell(2, 0).content, CellContent::Block);
    EXPECT_EQ(table.Cell(2, 0).blockName, u"DOOR-SWING");
    EXPECT_EQ(table.Cell(2, 1).content, CellContent::Block);
    EXPECT_EQ(table.Cell(2, 2).content, CellContent::Text);
    EXPECT_TRUE(table.Cell(2, 2).locked);
    EXPECT_EQ(table.Cell(3, 0).content, CellContent::Number);
    EXPECT_TRUE(table.Cell(3, 0).locked);
    EXPECT_EQ(table.Cell(3, 1).content, CellContent::Date);
    EXPECT_EQ(table.Cell(3, 1).text, u"5-Jan-24");
    EXPECT_EQ(table.Cell(3, 2).content, CellContent::Number);
    EXPECT_EQ(table.StateOf(3, 2), kCellStateLinked);
    EXPECT_EQ(table.StateOf(3, 0), kCellStateContentLocked);
    ASSERT_EQ(scenario.picks.size(), 1u);
    EXPECT_EQ(scenario.picks[0].id, "t1");
}

// Rule: a table statement that cannot be served is refused; release 15 has no tables at all.
TEST(ScenarioTable, RefusesWhatCannotBeServed) {
    EXPECT_THROW((void)ParseScenario("table t1 1 2 3 3\n"), ScenarioError) << "release 15";
    EXPECT_THROW((void)ParseScenario("table t1 1 2 3 3\n", 15), ScenarioError) << "release 15";
    EXPECT_NO_THROW((void)ParseScenario("table t1 1 2 3 3\n", 16));
    for (const char* bad : {"table t1 1 2 0 3\n", "table t1 1 2 3 101\n", "table t1 1 2 3\n", "cell t1 0 0 text \"a\"\n",
                            "text t1 1 2 \"a\"\ncell t1 0 0 text \"a\"\n", "table t1 1 2 3 3\ncell t1 3 0 text \"a\"\n",
                            "table t1 1 2 3 3\ncell t1 0 -1 text \"a\"\n", "table t1 1 2 3 3\ncell t1 0 0 number \"tbc\"\n",
                            "table t1 1 2 3 3\ncell t1 0 0 text \"a\"\ncell t1 0 0 text \"b\"\n",
                            "table t1 1 2 3 3\ncell t1 0 0 picture \"a\"\n", "table t1 1 2 3 3\ncell t1 0 0 text\n",
                            "table t1 1 2 3 3\ncell t1 0 0 locked block \"B\" extra\n", "table t1 1 2 3 3\nmerge t1 1 1 1 1\n",
                            "table t1 1 2 3 3\nmerge t1 0 0 0 3\n", "table t1 1 2 3 3\nmerge t1 0 0 1 1\nmerge t1 1 1 2 2\n",
                            "table t1 1 2 3 3\ntable t1 5 6 1 1\n"}) {
        EXPECT_THROW((void)ParseScenario(bad, kNewerRelease), ScenarioError) << bad;
    }
}

// Rule: a failure, hang or odd answer of a table member may be for one cell; a table's counts and
// reads have odd answers of their own (a text for a count, a range that misses its own cell).
TEST(ScenarioTable, FailuresHangsAndAnswersMayNameACell) {
    const Scenario scenario = ParseScenario(
        "table t1 1 2 3 3\n"
        "fail t1 SetText 0x80004005 cell 2 1 always\n"
        "fail t1 GetText 0x80004005 3 cell 0 0\n"
        "fail * IsMergedCell 0x80004005\n"
        "fail t1 Rows.get 0x80004005\n"
        "hang t1 GetText 1 cell 1 1\n"
        "answer t1 Rows.get text \"7\"\n"
        "answer t1 Columns.get number 2147483647\n"
        "answer t1 GetText null cell 2 2\n"
        "answer t1 IsMergedCell range 0 0 1 2 cell 2 0\n",
        kNewerRelease);
    ASSERT_EQ(scenario.failures.size(), 4u);
    EXPECT_EQ(scenario.failures[0].cell, (CellAddress{2, 1}));
    EXPECT_EQ(scenario.failures[0].count, InjectedFailure::kAlways);
    EXPECT_EQ(scenario.failures[1].cell, (CellAddress{0, 0}));
    EXPECT_EQ(scenario.failures[1].count, 3);
    EXPECT_TRUE(scenario.failures[2].cell.Any());
    ASSERT_EQ(scenario.hangs.size(), 1u);
    EXPECT_EQ(scenario.hangs[0].cell, (CellAddress{1, 1}));
    ASSERT_EQ(scenario.oddAnswers.size(), 4u);
    EXPECT_EQ(scenario.oddAnswers[0].kind, OddAnswerKind::Text);
    EXPECT_EQ(scenario.oddAnswers[0].text, u"7");
    EXPECT_EQ(scenario.oddAnswers[1].number, 2147483647);
    EXPECT_EQ(scenario.oddAnswers[2].kind, OddAnswerKind::Null);
    EXPECT_EQ(scenario.oddAnswers[2].cell, (CellAddress{2, 2}));
    EXPECT_EQ(scenario.oddAnswers[3].kind, OddAnswerKind::Range);
    EXPECT_EQ(scenario.oddAnswers[3].range, (CellRange{0, 0, 1, 2}));
    EXPECT_TRUE(scenario.oddAnswers[0].cell.Any());

    for (const char* bad : {"table t1 1 2 3 3\nfail t1 Update 0x80004005 cell 0 0\n",
                            "table t1 1 2 3 3\nfail t1 SetText 0x80004005 cell 3 0\n",
                            "table t1 1 2 3 3\ntext x1 1 1 \"a\"\nfail x1 GetText 0x80004005 cell 0 0\n",
                            "table t1 1 2 3 3\nfail t1 SetText 0x80004005 cell 0\n",
                            "table t1 1 2 3 3\nanswer t1 SetText empty\n",
                            "table t1 1 2 3 3\nanswer t1 Rows.get empty cell 0 0\n",
                            "table t1 1 2 3 3\nanswer t1 GetText range 0 0 0 1\n",
                            "table t1 1 2 3 3\nanswer t1 GetText empty cell 5 5\n",
                            "table t1 1 2 3 3\nhang t1 Rows.get 1 cell 0 0\n"}) {
        EXPECT_THROW((void)ParseScenario(bad, kNewerRelease), ScenarioError) << bad;
    }
}

// Rule: from release 16 on the sample drawing has a door schedule (merged title, header row, a field,
// a formula, a block, a locked and a number cell) in a window that fits a 1024 x 768 screen; release 15's
// sample has no table.
TEST(ScenarioTable, SampleHasADoorScheduleFromRelease16) {
    const auto tables = [](const Scenario& scenario) {
        std::vector<const EntityDefinition*> found;
        for (const EntityDefinition& definition : scenario.entities) {
            if (definition.kind == EntityKind::Table) found.push_back(&definition);
        }
        return found;
    };
    EXPECT_TRUE(tables(SampleScenario(15)).empty());
    EXPECT_TRUE(tables(ParseScenario("pick miss\n")).empty());

    for (const Scenario& scenario : {SampleScenario(kNewerRelease), ParseScenario("pick miss\n", 16)}) {
        const std::vector<const EntityDefinition*> found = tables(scenario);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_LE(scenario.windowX + scenario.windowWidth, 1024);
        EXPECT_LE(scenario.windowY + scenario.windowHeight, 768);
        const TableModel& table = found[0]->table;
        EXPECT_EQ(table.MergeOf(0, 0), (CellRange{0, 0, 0, table.Columns() - 1})) << "the title spans every column";
        EXPECT_NE(table.Cell(0, 0).text.find(u"DOOR SCHEDULE"), std::u16string::npos);
        int kinds[static_cast<int>(CellContent::Block) + 1] = {};
        int locked = 0;
        for (int row = 1; row < table.Rows(); ++row) {
            for (int col = 0; col < table.Columns(); ++col) {
                ++kinds[static_cast<int>(table.Cell(row, col).content)];
                locked += table.Cell(row, col).locked ? 1 : 0;
                EXPECT_NE(table.Cell(row, col).content, CellContent::Empty) << row << "," << col;
            }
        }
        for (const CellContent content : {CellContent::Number, CellContent::Field, CellContent::Formula, CellContent::Block}) {
            EXPECT_EQ(kinds[static_cast<int>(content)], 1) << ContentName(content);
        }
        EXPECT_EQ(locked, 1);
    }
}

}  // namespace
}  // namespace cadstandin
