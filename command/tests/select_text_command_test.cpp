#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>
#include <ostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "command/tests/command_fixture.h"
#include "failure/com_error_number.h"

namespace morvane {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

using error_number::kApplicationException;

// The road of one pick: every step in order, the stripped text shown, one write and one redraw.
TEST_F(CommandTest, RoadOfOnePick) {
    fakes::FakeEntity& text = cad.PickText(u"%%Unote");
    Run();
    const std::vector<std::string> expected{
        "Attach", "ActiveDocument", "SetVisible(true)", "ActivationTitle",
        "BringWindowToFront(AutoCAD 2000 - [Drawing1.dwg])", "Hide", "PickfirstSelection", "Selection.Count", "Utility",
        std::string(kPickCall), "SelectedCase",
        "ReadTextString", "ShowMessage(note|Morvane)", "ReadTextString", "ReadFieldCode", "HasExtensionDictionary",
        "WriteTextString(%%uNOTE)", "Update", "Show"};
    EXPECT_EQ(Calls(), expected);
    EXPECT_EQ(text.textString, u"%%uNOTE");
    EXPECT_EQ(text.updates, 1);
    EXPECT_TRUE(cad.ApplicationVisible());
    EXPECT_EQ(cad.FrontWindow(), fakes::FakeCadLink::kActivationTitle);
    EXPECT_TRUE(dialog.Visible());
    ASSERT_TRUE(dialog.PickedEntity());
    EXPECT_EQ(LeftoverHandles(), 0);
}

// The box waits while the CAD application stays usable: what the text holds once it is closed is
// what is converted, underlined or not, and an edit made meanwhile is kept.
TEST_F(CommandTest, TextReadAgainAfterTheBox) {
    struct Case {
        std::u16string editedTo;
        std::u16string written;
    };
    for (const Case& row : {Case{u"%%Unote edited", u"%%uNOTE EDITED"}, Case{u"no longer underlined", u"NO LONGER UNDERLINED"}}) {
        fakes::FakeEntity& text = cad.PickText(u"%%Unote");
        dialog.WhileMessageWaits([&] { text.textString = row.editedTo; });
        Run();
        EXPECT_EQ(dialog.Messages().back().text, u"note");
        EXPECT_EQ(text.textString, row.written);
    }
}

// The case is the one chosen when the pick returned: one chosen while the window is back (here
// while the box waits) converts nothing of this pick, and is the case of the next click.
TEST_F(CommandTest, CaseChosenDuringAPickIsForTheNextClick) {
    fakes::FakeEntity& text = cad.PickText(u"%%UNote");
    dialog.WhileMessageWaits([&] { dialog.Select(CaseMode::Lower); });
    Run();
    EXPECT_EQ(text.textString, u"%%uNOTE");
    dialog.WhileMessageWaits({});
    Run();
    EXPECT_EQ(text.textString, u"%%unote");
}

// The command holds the picked entity itself: emptying PickedEntity while it runs (the window
// going away) neither stops the write nor leaves a reference behind.
TEST_F(CommandTest, KeepsItsOwnReferenceToTheEntity) {
    fakes::FakeEntity& text = cad.PickText(u"%%Unote");
    dialog.WhileMessageWaits([&] { dialog.PickedEntity().reset(); });
    Run();
    EXPECT_EQ(text.textString, u"%%uNOTE");
    EXPECT_EQ(text.updates, 1);
    EXPECT_EQ(cad.LiveHandles(), 0);
}

// What is written for a picked text: converted and written whole, the underline code put back,
// the text behind it shown first; never cut, never stopped at U+0000.
struct TextCase {
    const char* name;
    std::u16string text;
    CaseMode mode;
    Messages shown;
    std::u16string written;
};

const std::u16string kLongest(32767, u'x');

const TextCase kTextCases[] = {
    {"UnderlinedUpper", u"%%Uabc", CaseMode::Upper, {{u"abc", u"Morvane"}}, u"%%uABC"},
    {"PlainLower", u"Abc", CaseMode::Lower, {}, u"abc"},
    {"UnderlineCodeAlone", u"%%u", CaseMode::Upper, {{u"", u"Morvane"}}, u"%%u"},
    {"UnderlinedTitle", u"%%Ufirst line", CaseMode::Title, {{u"first line", u"Morvane"}}, u"%%uFirst Line"},
    {"InnerCodeIsPlainText", u"ab%%Ucd", CaseMode::Lower, {}, u"ab%%ucd"},
    {"EmbeddedNul", u"a\0b%%Uc"s, CaseMode::Upper, {}, u"A\0B%%UC"s},
    {"UnderlinedEmbeddedNul", u"%%Ua\0b"s, CaseMode::Upper, {{u"a\0b"s, u"Morvane"}}, u"%%uA\0B"s},
    {"LongPlainText", std::u16string(40000, u'x'), CaseMode::Upper, {}, std::u16string(40000, u'X')},
    {"LongestUnderlinedText", u"%%U" + kLongest, CaseMode::Upper, {{kLongest, u"Morvane"}},
     u"%%u" + std::u16string(32767, u'X')},
};

void PrintTo(const TextCase& row, std::ostream* out) { *out << row.name; }

class PickedText : public CommandTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(PickedText, IsRewrittenWhole) {
    const TextCase& row = GetParam();
    fakes::FakeEntity& text = cad.PickText(row.text);
    dialog.Select(row.mode);
    Run();
    EXPECT_EQ(dialog.Messages(), row.shown);
    EXPECT_EQ(text.textString, row.written);
    EXPECT_EQ(text.updates, 1);
    EXPECT_TRUE(dialog.Visible());
}

INSTANTIATE_TEST_SUITE_P(Texts, PickedText, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The failure dispatch: a failure at any step skips every later step, and the step and the number
// pick the reaction: the exception without a number is a missed pick only from the pick, and a 438
// is reported like any other number (only the reads that ask what the entity holds take a 438 as an
// answer). The dialog is never hidden on 429 at attach and is shown again on every way out after it
// was hidden; every reference the command took is let go.
struct DispatchCase {
    const char* name;
    const char* step;
    std::int32_t number;
    Messages messages;
    bool hides;
    bool shows;
    std::u16string_view textAfter;
};

const Messages kMissedNumberBox{{u"error: -2147352567", u"Morvane"}};
const Messages k438Box{{u"error: 438", u"Morvane"}};

const DispatchCase kDispatchCases[] = {
    {"NotRunning", "Attach", error_number::kCannotAttach, {kNotOpenBox}, false, false, u"Abc"},
    {"AttachRefused", "Attach", kFailed, {{u"error: -2147467259", u"Morvane"}}, false, true, u"Abc"},
    {"NoDocument", "ActiveDocument", error_number::kNoSuchInterface, {{u"error: 430", u"Morvane"}}, false, true, u"Abc"},
    {"MissedNumberFromVisible", "SetVisible", kApplicationException, kMissedNumberBox, false, true, u"Abc"},
    {"NoTitle", "ActivationTitle", error_number::kNoSuchMember, k438Box, false, true, u"Abc"},
    {"NoWindowWithTitle", "BringWindowToFront", 5, {{u"error: 5", u"Morvane"}}, false, true, u"Abc"},
    {"NoUtility", "Utility", -2147417848, {{u"error: -2147417848", u"Morvane"}}, true, true, u"Abc"},
    {"NoUtilityMember", "Utility", error_number::kNoSuchMember, k438Box, true, true, u"Abc"},
    {"MissedNumberFromUtility", "Utility", kApplicationException, kMissedNumberBox, true, true, u"Abc"},
    {"MissedPick", "GetEntity", kApplicationException, {kMissedBox}, true, true, u"Abc"},
    {"NoPickMember", "GetEntity", error_number::kNoSuchMember, k438Box, true, true, u"Abc"},
    {"ServerGoneDuringPick", "GetEntity", -2147023174, {{u"error: -2147023174", u"Morvane"}}, true, true, u"Abc"},
    {"NotRunningAfterHiding", "GetEntity", error_number::kCannotAttach, {kNotOpenBox}, true, true, u"Abc"},
    {"ReadRefused", "ReadTextString", -2147418113, {{u"error: -2147418113", u"Morvane"}}, true, true, u"Abc"},
    {"MissedNumberFromRead", "ReadTextString", kApplicationException, kMissedNumberBox, true, true, u"Abc"},
    {"WriteRefused", "WriteTextString", kFailed, {{u"error: -2147467259", u"Morvane"}}, true, true, u"Abc"},
    {"WriteReadOnly", "WriteTextString", error_number::kNoSuchMember, k438Box, true, true, u"Abc"},
    {"UpdateRefused", "Update", kFailed, {{u"error: -2147467259", u"Morvane"}}, true, true, u"ABC"},
    {"UpdateUnknown", "Update", error_number::kNoSuchMember, k438Box, true, true, u"ABC"},
    {"MissedNumberFromUpdate", "Update", kApplicationException, kMissedNumberBox, true, true, u"ABC"},
    {"LowestNumber", "Update", INT32_MIN, {{u"error: -2147483648", u"Morvane"}}, true, true, u"ABC"},
    {"HighestNumber", "Update", INT32_MAX, {{u"error: 2147483647", u"Morvane"}}, true, true, u"ABC"},
};

void PrintTo(const DispatchCase& row, std::ostream* out) { *out << row.name; }

class Dispatch : public CommandTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(Dispatch, ReactsByStepAndNumber) {
    const DispatchCase& row = GetParam();
    fakes::FakeEntity& text = cad.PickText(u"Abc");
    cad.FailAt(row.step, row.number);
    Run();

    EXPECT_EQ(dialog.Messages(), row.messages);
    EXPECT_EQ(Called("Hide"), row.hides);
    EXPECT_EQ(Called("Show"), row.shows);
    EXPECT_TRUE(dialog.Visible());
    if (row.shows) {
        EXPECT_EQ(Calls().back(), "Show");
    }
    EXPECT_EQ(text.textString, row.textAfter);
    EXPECT_EQ(LeftoverHandles(), 0);

    // The failing step is the last call to the CAD application: the dispatch only talks to the dialog.
    const auto failed = std::find_if(Calls().begin(), Calls().end(),
                                     [&](const std::string& call) { return call.starts_with(row.step); });
    ASSERT_NE(failed, Calls().end());
    for (auto later = failed + 1; later != Calls().end(); ++later) {
        EXPECT_TRUE(later->starts_with("ShowMessage(") || *later == "Show") << *later;
    }
}

INSTANTIATE_TEST_SUITE_P(Numbers, Dispatch, ::testing::ValuesIn(kDispatchCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Failures that are not the program's own are reported with a number and do not escape.
TEST_F(CommandTest, ForeignFailuresAreReportedByNumber) {
    const struct {
        const char* step;
        std::exception_ptr failure;
        std::u16string message;
    } rows[] = {
        {"ReadTextString", std::make_exception_ptr(std::bad_alloc()), u"error: 7"},
        {"GetEntity", std::make_exception_ptr(std::runtime_error("broken")), u"error: 51"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.step);
        fakes::CallLog ownLog;
        fakes::FakeCaseDialog freshDialog(ownLog);
        fakes::FakeCadLink freshCad(ownLog);
        freshCad.PickText(u"Abc");
        freshCad.FailAt(row.step, row.failure);
        cmdSelect_Click(freshDialog, freshCad);
        EXPECT_EQ(freshDialog.Messages(), (Messages{{row.message, u"Morvane"}}));
        EXPECT_EQ(ownLog.Calls().back(), "Show");
        EXPECT_EQ(freshCad.LiveHandles(), freshDialog.PickedEntity() ? 1 : 0);
    }
}

// A prefixed text too long for the 16-bit count ends in "error: 6" with nothing shown or written.
TEST_F(CommandTest, NothingWrittenAfterOverflow) {
    const std::u16string tooLong = u"%%U" + std::u16string(32768, u'x');
    fakes::FakeEntity& text = cad.PickText(tooLong);
    Run();
    EXPECT_EQ(dialog.Messages(), (Messages{{u"error: 6", u"Morvane"}}));
    EXPECT_EQ(text.textString, tooLong);
    EXPECT_EQ(text.updates, 0);
    EXPECT_EQ(std::count_if(Calls().begin(), Calls().end(), [](const std::string& call) { return call.starts_with("Write"); }), 0);
    EXPECT_TRUE(dialog.Visible());
    EXPECT_EQ(LeftoverHandles(), 0);
}

// With no option selected the text behind the code is still shown, but nothing is written.
TEST_F(CommandTest, NoOptionSelectedWritesNothing) {
    fakes::FakeEntity& text = cad.PickText(u"%%Uabc");
    dialog.Select(std::nullopt);
    Run();
    EXPECT_EQ(dialog.Messages(), (Messages{{u"abc", u"Morvane"}}));
    EXPECT_EQ(text.textString, u"%%Uabc");
    EXPECT_EQ(text.updates, 0);
    EXPECT_EQ(Calls().back(), "Show");
}

// Each run starts with the underline flag false: a prefixed text does not mark the next one.
TEST_F(CommandTest, UnderlineFlagStartsFalseEachRun) {
    fakes::FakeEntity& first = cad.PickText(u"%%Ua");
    Run();
    fakes::FakeEntity& second = cad.PickText(u"b");
    Run();
    EXPECT_EQ(first.textString, u"%%uA");
    EXPECT_EQ(second.textString, u"B");
    EXPECT_EQ(dialog.Messages(), (Messages{{u"a", u"Morvane"}}));
}

// PickedEntity is emptied (and its reference let go) after the utility is taken and just before
// the pick, and then holds the picked entity.
TEST_F(CommandTest, PickedEntityEmptiedJustBeforeThePick) {
    cad.PickText(u"first");
    Run();
    ASSERT_TRUE(dialog.PickedEntity());
    fakes::FakeEntity& second = cad.PickText(u"second");

    bool heldAtUtility = false;
    bool emptyAtPick = false;
    int handlesAtPick = -1;
    log.Observe([&](std::string_view call) {
        if (call == "Utility") heldAtUtility = dialog.PickedEntity() != nullptr;
        if (call == kPickCall) {
            emptyAtPick = dialog.PickedEntity() == nullptr;
            handlesAtPick = cad.LiveHandles();
        }
    });
    Run();
    EXPECT_TRUE(heldAtUtility);
    EXPECT_TRUE(emptyAtPick);
    EXPECT_EQ(handlesAtPick, 3) << "application, document and utility only";
    ASSERT_TRUE(dialog.PickedEntity());
    EXPECT_EQ(dialog.PickedEntity()->ReadTextString(), u"SECOND");
    EXPECT_EQ(second.textString, u"SECOND");
}

// PickedEntity keeps the entity after a failure that follows the pick, and is empty after a miss.
TEST_F(CommandTest, PickedEntityAfterFailures) {
    cad.PickText(u"Abc");
    cad.FailAt("Update", kFailed);
    Run();
    ASSERT_TRUE(dialog.PickedEntity());
    EXPECT_EQ(dialog.PickedEntity()->ReadTextString(), u"ABC");

    cad.PickNothing();
    Run();
    EXPECT_FALSE(dialog.PickedEntity());
    EXPECT_EQ(dialog.Messages().back(), kMissedBox);
    EXPECT_EQ(cad.LiveHandles(), 0);
}

// An empty handle from the binding (which hands out none) is reported as 91, never used.
TEST_F(CommandTest, EmptyHandlesAreFailures) {
    cad.PickEmptyHandle();
    Run();
    EXPECT_EQ(dialog.Messages(), (Messages{{u"error: 91", u"Morvane"}}));
    EXPECT_TRUE(dialog.Visible());
    EXPECT_EQ(cad.LiveHandles(), 0);

    struct NoApplication : CadLink {
        std::unique_ptr<CadApplication> Attach() override { return nullptr; }
        void BringWindowToFront(std::u16string_view) override {}
    } noApplication;
    fakes::FakeCaseDialog other;
    cmdSelect_Click(other, noApplication);
    EXPECT_EQ(other.Messages(), (Messages{{u"error: 91", u"Morvane"}}));
    EXPECT_TRUE(other.Visible());
}

// A dialog that cannot even show a message box is still shown again, and nothing escapes.
TEST_F(CommandTest, FailingMessageBoxStillShowsTheDialog) {
    fakes::FakeEntity& text = cad.PickText(u"%%Uabc");
    dialog.FailMessages(std::make_exception_ptr(std::bad_alloc()));
    Run();
    EXPECT_EQ(text.textString, u"%%Uabc");
    EXPECT_TRUE(dialog.Visible());
    EXPECT_EQ(Calls().back(), "Show");
    EXPECT_EQ(LeftoverHandles(), 0);
}

// A failing box for 429 at attach leaves the dialog as it was: never hidden, so never shown.
TEST_F(CommandTest, FailingMessageBoxAtAttachLeavesTheDialogAlone) {
    cad.FailAt("Attach", error_number::kCannotAttach);
    dialog.FailMessages(std::make_exception_ptr(std::bad_alloc()));
    Run();
    EXPECT_FALSE(Called("Hide"));
    EXPECT_FALSE(Called("Show"));
    EXPECT_TRUE(dialog.Visible());
}

}  // namespace
}  // namespace morvane
