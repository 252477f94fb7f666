#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "command/tests/command_fixture.h"
#include "command/text_kinds.h"
#include "failure/com_error_number.h"
#include "failure/failure.h"

// The objects selected in the drawing before "Select Text": converted in one press and one undo step.

namespace morvane {
namespace {

using fakes::FakeCell;
using fakes::FakeEntity;
using fakes::FakeSelection;
using fakes::FakeTable;

class PreselectionTest : public CommandTest {
protected:
    FakeEntity& Text(std::string name, std::u16string text, std::u16string layer = u"0") {
        return cad.Entity({.name = std::move(name), .textString = std::move(text), .objectName = u"AcDbText",
                           .layer = std::move(layer)});
    }

    [[nodiscard]] int CountOf(const std::string& call) const {
        return static_cast<int>(std::count(Calls().begin(), Calls().end(), call));
    }

    [[nodiscard]] bool AnyWrite() const {
        return std::any_of(Calls().begin(), Calls().end(), [](const std::string& call) {
            return call.find("Write") != std::string::npos || call.find("SetText") != std::string::npos;
        });
    }
};

// Rule: every text of the pre-selection, of every kind, is converted in the case chosen at the press,
// with no click asked for, in one undo step; the set redraws them once and is cleared, and the window
// comes back with no message.
TEST_F(PreselectionTest, EveryKindInOneUndoStep) {
    FakeEntity& text = Text("T1", u"note one");
    FakeEntity& mtext = cad.Entity({.name = "M1", .textString = uR"({\C1;red} note)", .objectName = u"AcDbMText"});
    FakeEntity& block = cad.Block({{.textString = u"drawn", .objectName = u"AcDbAttribute"},
                                   {.textString = u"checked", .objectName = u"AcDbAttribute"}});
    FakeEntity& table = cad.Entity({.name = "S1", .objectName = u"AcDbTable",
                                    .table = FakeTable{.rows = 1, .columns = 2, .cells = {{.text = u"a"}, {.text = u"b"}}}});
    FakeEntity& line = cad.Entity({.name = "L1", .objectName = u"AcDbLine"});
    FakeSelection& set = cad.Preselect({.entities = {&text, &mtext, &block, &table, &line}});
    Run();
    EXPECT_EQ(text.textString, u"NOTE ONE");
    EXPECT_EQ(mtext.textString, uR"({\C1;RED} NOTE)");
    EXPECT_EQ(block.attributes[0]->textString, u"DRAWN");
    EXPECT_EQ(block.attributes[1]->textString, u"CHECKED");
    EXPECT_EQ(table.table->At(0, 1).text, u"B");
    EXPECT_FALSE(Called(std::string(kPickCall)));
    EXPECT_EQ(CountOf("StartUndoMark"), 1);
    EXPECT_EQ(CountOf("EndUndoMark"), 1);
    EXPECT_EQ(set.updates, 1);
    EXPECT_EQ(text.updates + mtext.updates + table.updates + block.attributes[0]->updates, 0) << "the set redraws them";
    EXPECT_EQ(set.cleared, 1);
    EXPECT_TRUE(dialog.Messages().empty());
    EXPECT_TRUE(dialog.Visible());
    EXPECT_EQ(CountOf("SelectedCase"), 1);
    EXPECT_EQ(LeftoverHandles(), 0);
    // Every text is read before the first write.
    const auto start = std::find(Calls().begin(), Calls().end(), "StartUndoMark");
    EXPECT_TRUE(std::none_of(start, Calls().end(), [](const std::string& c) { return c.find("Read") != std::string::npos; }));
}

// A set that does not redraw has each written entity redrawn.
TEST_F(PreselectionTest, EachWrittenEntityRedrawnWhereTheSetDoesNot) {
    FakeEntity& one = Text("T1", u"a");
    FakeEntity& two = Text("T2", u"b");
    FakeEntity& line = cad.Entity({.name = "L1", .objectName = u"AcDbLine"});
    cad.Preselect({.entities = {&one, &line, &two}, .update = false});
    Run();
    EXPECT_EQ(one.updates, 1);
    EXPECT_EQ(two.updates, 1);
    EXPECT_EQ(line.updates, 0);
    EXPECT_TRUE(Called("Selection.Clear"));
}

// Rule: an entity on a locked layer, or whose layer cannot be read, is left as it is and counted; the
// others are converted, each layer asked once, and one message says how many of the set were left.
TEST_F(PreselectionTest, LockedLayersAreLeftAndCounted) {
    FakeEntity& free1 = Text("T1", u"a", u"NOTES");
    FakeEntity& free2 = Text("T2", u"b", u"NOTES");
    FakeEntity& locked = Text("T3", u"c", u"FRAME");
    FakeEntity& unreadable = Text("T4", u"d");
    unreadable.layer.reset();
    FakeEntity& line = cad.Entity({.name = "L1", .objectName = u"AcDbLine", .layer = u"FRAME"});
    cad.LockLayer(u"FRAME");
    cad.Preselect({.entities = {&free1, &locked, &free2, &unreadable, &line}});
    Run();
    EXPECT_EQ(free1.textString, u"A");
    EXPECT_EQ(free2.textString, u"B");
    EXPECT_EQ(locked.textString, u"c");
    EXPECT_EQ(unreadable.textString, u"d");
    EXPECT_FALSE(Called("T3.WriteTextString(C)"));
    EXPECT_EQ(CountOf("LayerLocked(NOTES)"), 1);
    EXPECT_EQ(CountOf("LayerLocked(FRAME)"), 1);
    EXPECT_EQ(dialog.Messages(), (Messages{{u"2 of 5 objects are on a locked layer and were left as they are", u"Morvane"}}));
    EXPECT_TRUE(dialog.Visible());
}

// A layer whose lock cannot be read leaves its entities as they are.
TEST_F(PreselectionTest, LockThatCannotBeReadLeavesTheEntity) {
    FakeEntity& text = Text("T1", u"a", u"X");
    cad.FailAt("LayerLocked", kFailed);
    cad.Preselect({.entities = {&text}});
    Run();
    EXPECT_EQ(text.textString, u"a");
    EXPECT_EQ(dialog.Messages(), (Messages{{u"1 of 1 objects are on a locked layer and were left as they are", u"Morvane"}}));
}

// An entity the set gives twice is converted once.
TEST_F(PreselectionTest, AnEntityGivenTwiceIsConvertedOnce) {
    FakeEntity& text = Text("T1", u"a");
    cad.Preselect({.entities = {&text, &text}});
    Run();
    EXPECT_EQ(CountOf("T1.WriteTextString(A)"), 1);
    EXPECT_EQ(CountOf("T1.ReadTextString"), 1);
    EXPECT_FALSE(Called("StartUndoMark")) << "one text: no undo step of its own";
}

// A pre-selection whose answers cannot be trusted, or whose reading fails, writes nothing and ends
// in the dispatch with the number.
struct BadSetCase {
    const char* name;
    std::optional<std::int32_t> count;
    const char* failing;  // nullptr: none
    std::int32_t number;
    std::u16string message;
};

void PrintTo(const BadSetCase& c, std::ostream* out) { *out << c.name; }

const BadSetCase kBadSets[] = {
    {"NegativeCount", -1, nullptr, 0, u"error: 6"},
    {"HugeCount", 2147483647, nullptr, 0, u"error: 6"},
    {"CountNotANumber", std::nullopt, "Selection.Count", error_number::kTypeMismatch, u"error: -2147352571"},
    {"CountBeyondTheSet", 4, nullptr, 0, u"error: -2147024809"},
    {"ItemFails", std::nullopt, "Selection.Item", kFailed, u"error: -2147467259"},
    {"ThirdReadFails", std::nullopt, "T3.ReadTextString", error_number::kCallRejected, u"error: -2147418111"},
    {"FieldLookupBusy", std::nullopt, "T2.ReadFieldCode", error_number::kCallRejected, u"error: -2147418111"},
};

class BadSet : public PreselectionTest, public ::testing::WithParamInterface<BadSetCase> {};

TEST_P(BadSet, WritesNothing) {
    const BadSetCase& c = GetParam();
    FakeEntity& one = Text("T1", u"a");
    FakeEntity& two = cad.Entity({.name = "T2", .textString = u"b", .objectName = u"AcDbText", .fieldCode = u"b"});
    FakeEntity& three = Text("T3", u"c");
    cad.Preselect({.entities = {&one, &two, &three}, .count = c.count});
    if (c.failing) cad.FailAt(c.failing, c.number);
    Run();
    EXPECT_FALSE(AnyWrite());
    EXPECT_FALSE(Called("StartUndoMark"));
    EXPECT_FALSE(Called("Selection.Clear"));
    EXPECT_EQ(dialog.Messages(), (Messages{{c.message, u"Morvane"}}));
    EXPECT_TRUE(dialog.Visible());
    EXPECT_EQ(LeftoverHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sets, BadSet, ::testing::ValuesIn(kBadSets),
                         [](const auto& info) { return std::string(info.param.name); });

// A negative or huge count is not walked: no entity is asked for.
TEST_F(PreselectionTest, CountOutOfRangeAsksForNoEntity) {
    cad.Preselect({.entities = {}, .count = -5});
    Run();
    EXPECT_FALSE(Called("Selection.Item(0)"));
}

// A pre-selection of 100,000 objects is walked holding only what has text to write: each object
// without text is let go before the next is asked for.
TEST_F(PreselectionTest, AHugeSelectionHoldsOnlyWhatItWrites) {
    FakeEntity& line = cad.Entity({.name = "L1", .objectName = u"AcDbLine"});
    FakeEntity& text = Text("T1", u"a");
    std::vector<FakeEntity*> entities(100'000, &line);
    entities.back() = &text;
    cad.Preselect({.entities = std::move(entities)});
    int mostHeld = 0;
    log.Observe([&](std::string_view call) {
        if (call.starts_with("Selection.Item")) mostHeld = std::max(mostHeld, cad.LiveHandles());
    });
    Run();
    log.Observe(nullptr);
    EXPECT_EQ(text.textString, u"A");
    EXPECT_LE(mostHeld, 4) << "the application, the document, the set and one entity at a time";
    EXPECT_EQ(LeftoverHandles(), 0);
}

// An Item that answers no object is a failure, not the end of the set.
TEST_F(PreselectionTest, ItemWithoutObject) {
    FakeEntity& text = Text("T1", u"a");
    cad.Preselect({.entities = {&text, nullptr}});
    Run();
    EXPECT_EQ(dialog.Messages(), (Messages{{u"error: 91", u"Morvane"}}));
    EXPECT_EQ(text.textString, u"a");
}

// Without a pre-selection (an empty set, or a document that does not answer), the press asks for a
// click, as before.
TEST_F(PreselectionTest, WithoutOneThePressAsksForAClick) {
    for (const bool answers : {true, false}) {
        fakes::CallLog rowLog;
        fakes::FakeCaseDialog rowDialog{rowLog};
        fakes::FakeCadLink rowCad{rowLog};
        FakeEntity& picked = rowCad.PickText(u"abc");
        if (!answers) rowCad.NoPickfirst();
        cmdSelect_Click(rowDialog, rowCad);
        EXPECT_EQ(picked.textString, u"ABC");
        EXPECT_TRUE(rowDialog.Messages().empty());
        EXPECT_NE(std::find(rowLog.Calls().begin(), rowLog.Calls().end(), std::string(kPickCall)), rowLog.Calls().end());
    }
}

// A failed write stops there with its number: what was written stays (one Undo takes it back), the
// undo step is closed, and the set is not cleared.
TEST_F(PreselectionTest, FailedWriteStopsThere) {
    FakeEntity& one = Text("T1", u"a");
    FakeEntity& two = Text("T2", u"b");
    FakeEntity& three = Text("T3", u"c");
    cad.Preselect({.entities = {&one, &two, &three}});
    cad.FailAt("T2.WriteTextString", kFailed);
    Run();
    EXPECT_EQ(one.textString, u"A");
    EXPECT_EQ(two.textString, u"b");
    EXPECT_EQ(three.textString, u"c");
    EXPECT_TRUE(Called("EndUndoMark"));
    EXPECT_FALSE(Called("Selection.Clear"));
    EXPECT_EQ(dialog.Messages(), (Messages{{u"error: -2147467259", u"Morvane"}}));
}

// "Cancel" during the writes: nothing more is written, the undo step is closed, nothing is shown and
// the set is left as it is.
TEST_F(PreselectionTest, CancelDuringTheWrites) {
    std::vector<FakeEntity*> texts;
    for (int i = 1; i <= 20; ++i) texts.push_back(&Text("T" + std::to_string(i), u"x"));
    cad.Preselect({.entities = texts});
    std::optional<PhaseAction> cancel;
    log.Observe([&](std::string_view call) {
        if (call == "T5.WriteTextString(X)" && !cancel) cancel = dialog.Press(PhaseInput::Cancel);
    });
    ASSERT_EQ(dialog.Press(PhaseInput::SelectText), PhaseAction::Act);
    Run();
    log.Observe(nullptr);
    EXPECT_EQ(cancel, PhaseAction::CloseUndoGroupFirst);
    EXPECT_FALSE(Called("T6.WriteTextString(X)"));
    EXPECT_EQ(Calls().back(), "EndUndoMark");
    EXPECT_TRUE(dialog.Messages().empty());
    EXPECT_FALSE(dialog.Visible());
}

// "Cancel" while the texts are read (no undo step open yet) ends the program at once: nothing has been
// written.
TEST_F(PreselectionTest, CancelWhileReadingEndsAtOnce) {
    FakeEntity& one = Text("T1", u"a");
    FakeEntity& two = Text("T2", u"b");
    cad.Preselect({.entities = {&one, &two}});
    std::optional<PhaseAction> cancel;
    log.Observe([&](std::string_view call) {
        if (call == "T2.ReadTextString" && !cancel) cancel = dialog.Press(PhaseInput::Cancel);
    });
    ASSERT_EQ(dialog.Press(PhaseInput::SelectText), PhaseAction::Act);
    Run();
    log.Observe(nullptr);
    EXPECT_EQ(cancel, PhaseAction::EndProcess);
}

// Rule: the table of kinds decides what is done. The program's row keeps a multileader's field in its
// extension dictionary and leaves it alone; a row that says its fields are in its text converts it,
// its field expressions kept.
TEST_F(PreselectionTest, ARowChangedChangesWhatIsDone) {
    const auto run = [](const TextKinds& kinds) {
        fakes::CallLog rowLog;
        fakes::FakeCaseDialog rowDialog{rowLog};
        fakes::FakeCadLink rowCad{rowLog};
        FakeEntity& leader = rowCad.Entity({.name = "N1", .textString = u"see 12/10", .objectName = u"AcDbMLeader",
                                            .fieldCode = uR"(see %<\AcVar Date>%)", .hasExtensionDictionary = true,
                                            .extensionDictionary = {u"ACAD_FIELD"}});
        rowCad.Preselect({.entities = {&leader}});
        cmdSelect_Click(rowDialog, rowCad, kinds);
        return *leader.textString;
    };
    EXPECT_EQ(run(kTextKinds), u"see 12/10");
    TextKinds changed = kTextKinds;
    changed.multileader.fields = FieldPlace::FieldCode;
    EXPECT_EQ(run(changed), uR"(SEE %<\AcVar Date>%)");
}

}  // namespace
}  // namespace morvane
