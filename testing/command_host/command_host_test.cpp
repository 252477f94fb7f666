// End to end: the real select-text command with the real COM binding against the stand-in CAD
// application in another process, a fake dialog in place of the window.
#include <windows.h>
#include <objbase.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cadlink/com/com_cad_link.h"
#include "cadlink/tests/window_program.h"
#include "command/select_text_command.h"
#include "testing/command_host/command_host_fixture.h"
#include "testing/command_host/host_main.h"
#include "testing/command_host/stand_in.h"
#include "testing/fakes/fake_case_dialog.h"
#include "failure/com_error_number.h"

namespace morvane::testing_host {
namespace {

using fakes::FakeCaseDialog;
using testing::ElementsAre;
using testing::IsEmpty;
using Message = FakeCaseDialog::Message;

std::wstring& TitleWindowProgram() {
    static std::wstring path;
    return path;
}

// The road of one pick: "%%Unote" with ALL UPPERCASE shows "note", writes "%%uNOTE", redraws once
// and brings the dialog back; the CAD window was in front for the pick though another program had
// the foreground.
TEST_F(CommandHostTest, RoadOfOnePick) {
    StandIn standIn("road", "text t1 40 60 \"%%Unote\"\npick t1\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    testing_windows::WindowProgram other(TitleWindowProgram(), L"\"Some Other Program\"");
    ASSERT_TRUE(other.Started());
    const HWND otherWindow = other.Window(L"Some Other Program");
    ASSERT_NE(otherWindow, nullptr);
    ASSERT_TRUE(testing_windows::WindowProgram::TakeForeground(otherWindow));

    RunCommand();

    EXPECT_THAT(DialogCalls(), ElementsAre("Hide", "SelectedCase", "ShowMessage(note|Morvane)", "Show"));
    EXPECT_TRUE(dialog_.Visible());
    EXPECT_THAT(Written(standIn, "t1"), ElementsAre(u"%%uNOTE"));
    EXPECT_EQ(Updates(standIn, "t1"), 1u);
    EXPECT_THAT(standIn.LogLines("call app Visible.put slot=8 via=vtable value=-1 hr=0x00000000"), testing::SizeIs(1));
    const std::vector<std::string> pick = standIn.LogLines("pick-begin n=1 ");
    ASSERT_EQ(pick.size(), 1u) << standIn.LogText();
    EXPECT_EQ(LogField(pick[0], "prompt"), kPickPrompt);
    EXPECT_EQ(LogField(pick[0], "foreground"), u"yes") << "the CAD window was not in front for the pick";

    ExpectReferences(standIn, "t1");
}

// The cost of one successful pick of a plain text: at most 14 calls reach the CAD application's
// objects (QueryInterface, slot calls, GetIDsOfNames, Invoke), asking for the pre-selection (its set
// and its Count) among them. The first run after the application started also pays for COM building
// its stub for the application interface and for looking up the pre-selection's names; later runs do not.
TEST_F(CommandHostTest, CostOfAPick) {
    StandIn standIn("cost", "text t1 40 60 \"note\"\npick t1\npick t1\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    for (const auto& [run, most] : {std::pair{"first", 16}, std::pair{"second", 14}}) {
        const std::optional<CallTotals> cost = CostOfARun(standIn, [&] { RunCommand(); });
        ASSERT_TRUE(cost) << standIn.LogText();
        std::cout << "cost of the " << run << " pick: " << Describe(*cost) << "\n";
        RecordProperty(std::string(run) + "_pick_calls", cost->total);
        EXPECT_LE(cost->total, most) << standIn.LogText();
    }
    EXPECT_THAT(Written(standIn, "t1"), ElementsAre(u"NOTE", u"NOTE"));
    EXPECT_THAT(dialog_.Messages(), IsEmpty());
    ExpectReferences(standIn, "t1");
}

// A plain pick costs what it cost before formatted text was known: ObjectName is asked only of a
// text that holds "\", "{" or "}", and then costs one look-up and one read. Each pick is measured
// on a later run (the first also pays for COM building its stubs).
TEST_F(CommandHostTest, CostOfAPlainAndOfAFormattedPick) {
    StandIn standIn("cost_formatted", "text t1 40 60 \"note\"\nmtext m1 40 120 \"no codes\"\n"
                                      "mtext m2 40 180 \"{\\C1;red} note\"\n"
                                      "pick t1\npick t1\npick m1\npick m2\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    const std::optional<CallTotals> plain = CostOfARun(standIn, [&] { RunCommand(); });
    const std::optional<CallTotals> withoutCodes = CostOfARun(standIn, [&] { RunCommand(); });
    const std::optional<CallTotals> formatted = CostOfARun(standIn, [&] { RunCommand(); });
    ASSERT_TRUE(plain && withoutCodes && formatted) << standIn.LogText();
    std::cout << "cost of a plain pick: " << Describe(*plain) << "\ncost of a pick of a multiline text without codes: "
              << Describe(*withoutCodes) << "\ncost of a formatted pick: " << Describe(*formatted) << "\n";
    RecordProperty("plain_pick_calls", plain->total);
    RecordProperty("formatted_pick_calls", formatted->total);
    EXPECT_LE(plain->total, 12) << standIn.LogText();
    EXPECT_EQ(withoutCodes->total, plain->total);
    EXPECT_EQ(formatted->total, plain->total + 2);
    EXPECT_EQ(formatted->getIdsOfNames, plain->getIdsOfNames + 1);
    EXPECT_EQ(formatted->invoke, plain->invoke + 1);
    EXPECT_THAT(standIn.LogLines("call t1 ObjectName.get"), IsEmpty());
    EXPECT_THAT(standIn.LogLines("call m1 ObjectName.get"), IsEmpty());
    EXPECT_THAT(standIn.LogLines("call m2 ObjectName.get"), testing::SizeIs(1));
    EXPECT_THAT(Written(standIn, "m2"), ElementsAre(uR"({\C1;RED} NOTE)"));
    ExpectReferences(standIn, "m2");
}

struct FormattedCase {
    const char* name;
    const char* scenarioLine;  // the entity, as written in the scenario
    CaseMode mode;
    std::string object;
    std::string member;
    std::u16string written;
    std::vector<Message> messages;
};

class FormattedTest : public CommandHostTest, public testing::WithParamInterface<FormattedCase> {};

// A multiline text's codes are kept in every mode and only what is visible changes; a dimension's
// override is formatted too; a single-line text keeps converting every character behind the
// underline code, backslashes included.
TEST_P(FormattedTest, KeepsTheCodes) {
    const FormattedCase& c = GetParam();
    StandIn standIn(std::string("formatted_") + c.name, std::string(c.scenarioLine) + "\npick " + c.object + "\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    dialog_.Select(c.mode);
    RunCommand();
    EXPECT_EQ(dialog_.Messages(), c.messages);
    EXPECT_TRUE(dialog_.Visible());
    EXPECT_THAT(Written(standIn, c.object, c.member), ElementsAre(c.written));
    EXPECT_EQ(Updates(standIn, c.object), 1u);
    ExpectReferences(standIn, c.object);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FormattedTest,
    testing::Values(
        FormattedCase{"MTextUpper", R"(mtext m1 40 60 "{\fArial|b1;note}: see \Ldetail\l here")", CaseMode::Upper,
                      "m1", "TextString", uR"({\fArial|b1;NOTE}: SEE \LDETAIL\l HERE)", {}},
        FormattedCase{"MTextLower", R"(mtext m1 40 60 "{\fArial|b1|i0|c0|p34;HELLO}\PWORLD, SEE C:\\\\PLANS")",
                      CaseMode::Lower, "m1", "TextString", uR"({\fArial|b1|i0|c0|p34;hello}\Pworld, see c:\\plans)", {}},
        FormattedCase{"MTextTitle", R"(mtext m1 40 60 "a {\C1;red} word\Psecond LINE")", CaseMode::Title, "m1",
                      "TextString", uR"(A {\C1;Red} Word\PSecond Line)", {}},
        FormattedCase{"MTextSentence", R"(mtext m1 40 60 "END OF NOTE.\PNEXT \S1/2; ONE.\~OK")", CaseMode::Sentence,
                      "m1", "TextString", uR"(End of note.\PNext \S1/2; one.\~Ok)", {}},
        FormattedCase{"MTextUnderlined", R"(mtext m1 40 60 "%%U{\C1;ABC}")", CaseMode::Lower, "m1", "TextString",
                      uR"(%%u{\C1;abc})", {{uR"({\C1;ABC})", u"Morvane"}}},
        FormattedCase{"SingleLineText", R"(text t1 40 60 "C:\PLANS")", CaseMode::Lower, "t1", "TextString",
                      uR"(c:\plans)", {}},
        FormattedCase{"DimensionOverride", R"(dimension d1 40 320 360 320 "<> MAX\XSEE NOTE")", CaseMode::Lower, "d1",
                      "TextOverride", uR"(<> max\Xsee note)", {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ObjectNameCase {
    const char* name;
    const char* scenarioLine;  // how the multiline text answers ObjectName
    std::vector<std::u16string> written;
    std::vector<Message> messages;
};

class ObjectNameTest : public CommandHostTest, public testing::WithParamInterface<ObjectNameCase> {};

// ObjectName decides how a text with codes reads: an entity without it (438) holds plain text; any
// other failure, or an answer that is no text, ends in its message with nothing written.
TEST_P(ObjectNameTest, DecidesOrStops) {
    const ObjectNameCase& c = GetParam();
    StandIn standIn(std::string("object_name_") + c.name,
                    std::string("mtext m1 40 60 \"A\\PB\"\n") + c.scenarioLine + "\npick m1\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    dialog_.Select(CaseMode::Lower);
    RunCommand();
    EXPECT_EQ(dialog_.Messages(), c.messages);
    EXPECT_TRUE(dialog_.Visible());
    EXPECT_EQ(Written(standIn, "m1"), c.written);
    EXPECT_EQ(Updates(standIn, "m1"), c.written.size());
    ExpectReferences(standIn, "m1");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ObjectNameTest,
    testing::Values(
        ObjectNameCase{"Unknown", "fail m1 ObjectName.get 0x80020003", {uR"(a\pb)"}, {}},
        ObjectNameCase{"Refused", "fail m1 ObjectName.get 0x80004005", {}, {{u"error: -2147467259", u"Morvane"}}},
        ObjectNameCase{"NoText", "answer m1 ObjectName.get number 42", {}, {{u"error: -2147352571", u"Morvane"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// No CAD application running: only "Please start AutoCAD", and the dialog never steps aside. The
// same after a server that ended normally (its registration gone) and after one that vanished
// (registration left, no running object).
TEST_F(CommandHostTest, NoServerRunningIs429) {
    {
        StandIn standIn("ended", "text t1 40 60 \"x\"\n");
        ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
        EXPECT_EQ(standIn.Stop(), 0u);
    }
    RunCommand();
    EXPECT_THAT(DialogCalls(), ElementsAre("ShowMessage(Please start AutoCAD|AutoCAD not Open)"));
    EXPECT_TRUE(dialog_.Visible());
}

// The server vanishing in the middle of the pick: the number COM reports arrives as "error: N",
// PickedEntity stays empty and the dialog comes back; the next press finds no application (429).
TEST_F(CommandHostTest, ServerVanishingMidPick) {
    StandIn standIn("vanish", "text t1 40 60 \"abc\"\npick vanish\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_EQ(standIn.WaitForExit(10'000), 99u);
    std::cout << "server vanished mid-pick: " << testing::PrintToString(dialog_.Messages()) << "\n";
    // Wine reports the broken connection as RPC_S_CALL_FAILED (0x800706BE).
    EXPECT_THAT(dialog_.Messages(), ElementsAre(Message{u"error: -2147023170", u"Morvane"}));
    EXPECT_TRUE(dialog_.Visible());
    EXPECT_EQ(dialog_.PickedEntity(), nullptr);

    FakeCaseDialog again;
    cmdSelect_Click(again, *link_);
    EXPECT_THAT(again.Messages(), ElementsAre(Message{u"Please start AutoCAD", u"AutoCAD not Open"}));
}

// A line has no text: the 438 branch, no message, nothing written or redrawn, the dialog back.
TEST_F(CommandHostTest, LineChangesNothing) {
    StandIn standIn("line", "line l1 40 220 360 260\npick l1\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_THAT(dialog_.Messages(), IsEmpty());
    EXPECT_TRUE(dialog_.Visible());
    EXPECT_THAT(standIn.LogLines("call l1 TextString.put"), IsEmpty());
    EXPECT_THAT(standIn.LogLines("call l1 TextOverride.put"), IsEmpty());
    EXPECT_EQ(Updates(standIn, "l1"), 0u);
    ExpectReferences(standIn, "l1");
}

// A block's attributes are converted and redrawn one by one, with no message box, an embedded
// U+0000 kept; the block itself is not written.
TEST_F(CommandHostTest, BlockAttributesAreConverted) {
    StandIn standIn("block", "block b1 420 60 \"DOOR\"\n"
                             "attribute a1 b1 \"MAKER\" \"%%Uacme\"\n"
                             "attribute a2 b1 \"NOTE\" \"fire\\0rated\"\n"
                             "pick b1\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_THAT(dialog_.Messages(), IsEmpty());
    EXPECT_TRUE(dialog_.Visible());
    EXPECT_THAT(Written(standIn, "a1"), ElementsAre(u"%%uACME"));
    EXPECT_THAT(Written(standIn, "a2"), ElementsAre(std::u16string(u"FIRE\0RATED", 10)));
    EXPECT_EQ(Updates(standIn, "a1"), 1u);
    EXPECT_EQ(Updates(standIn, "a2"), 1u);
    EXPECT_EQ(Updates(standIn, "b1"), 0u);
    ExpectReferences(standIn, "b1");
}

struct DimensionCase {
    const char* name;
    const char* overrideText;  // as written in the scenario
    std::vector<std::u16string> written;
};

class DimensionTest : public CommandHostTest, public testing::WithParamInterface<DimensionCase> {};

// A dimension's override text is converted (underline code kept) and redrawn; an empty override
// shows the measurement and stays empty, with nothing written.
TEST_P(DimensionTest, OverrideIsConverted) {
    const DimensionCase& c = GetParam();
    StandIn standIn(std::string("dimension_") + c.name,
                    std::string("dimension d1 40 320 360 320 \"") + c.overrideText + "\"\npick d1\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_THAT(dialog_.Messages(), IsEmpty());
    EXPECT_TRUE(dialog_.Visible());
    EXPECT_EQ(Written(standIn, "d1", "TextOverride"), c.written);
    EXPECT_EQ(Updates(standIn, "d1"), c.written.size());
    ExpectReferences(standIn, "d1");
}

INSTANTIATE_TEST_SUITE_P(Dimensions, DimensionTest,
                         testing::Values(DimensionCase{"Underlined", "%%Uclear <>", {u"%%uCLEAR <>"}},
                                         DimensionCase{"Empty", "", {}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TextCase {
    const char* name;
    std::string scenarioText;     // as written in the scenario, escapes included
    std::optional<std::u16string> written;  // none: nothing may be written
    std::vector<Message> messages;
};

class TextTest : public CommandHostTest, public testing::WithParamInterface<TextCase> {};

// A text of any length and content is written whole in its new case, or (6) not at all: never cut,
// never stopped at U+0000.
TEST_P(TextTest, WrittenWholeOrNotAtAll) {
    const TextCase& c = GetParam();
    StandIn standIn(std::string("text_") + c.name, "text t1 40 60 \"" + c.scenarioText + "\"\npick t1\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_EQ(dialog_.Messages(), c.messages);
    EXPECT_TRUE(dialog_.Visible());
    const std::vector<std::u16string> written = Written(standIn, "t1");
    if (c.written) {
        ASSERT_EQ(written.size(), 1u);
        EXPECT_EQ(written[0].size(), c.written->size());
        EXPECT_TRUE(written[0] == *c.written);
        EXPECT_EQ(Updates(standIn, "t1"), 1u);
    } else {
        EXPECT_THAT(written, IsEmpty());
        EXPECT_EQ(Updates(standIn, "t1"), 0u);
    }
    ExpectReferences(standIn, "t1");
}

const std::u16string kLongest(32'767, u'A');

INSTANTIATE_TEST_SUITE_P(
    Texts, TextTest,
    testing::Values(
        TextCase{"EmbeddedNul", "ab\\0cd\\0", std::u16string(u"AB\0CD\0", 6), {}},
        TextCase{"UnderlinedEmbeddedNul", "%%U\\0x", std::u16string(u"%%u\0X", 5), {{std::u16string(u"\0x", 2), u"Morvane"}}},
        TextCase{"LongWithoutCode", std::string(40'000, 'a'), std::u16string(40'000, u'A'), {}},
        TextCase{"LongestBehindCode", "%%U" + std::string(32'767, 'a'), u"%%u" + kLongest,
                 {{std::u16string(32'767, u'a'), u"Morvane"}}},
        TextCase{"TooLongBehindCode", "%%U" + std::string(32'768, 'a'), std::nullopt, {{u"error: 6", u"Morvane"}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    const char* scenarioLines;  // injected failure and pick outcome
    Message message;
    bool hidden;  // the dialog had stepped aside before the failure
    std::vector<std::u16string> written;
    std::size_t updates;
    std::optional<std::string> held;  // what PickedEntity holds afterwards
};

class FailureTest : public CommandHostTest, public testing::WithParamInterface<FailureCase> {};

// A failure at any step ends in its fixed reaction: the message for its number, the dialog back if
// it had stepped aside (never hidden for one before step 6), nothing done after it, and every
// reference the command took let go.
TEST_P(FailureTest, EndsInItsReaction) {
    const FailureCase& c = GetParam();
    StandIn standIn(std::string("failure_") + c.name, std::string("text t1 40 60 \"abc\"\n") + c.scenarioLines);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_THAT(dialog_.Messages(), ElementsAre(c.message));
    EXPECT_TRUE(dialog_.Visible());
    const std::vector<std::string> calls = DialogCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Hide"), c.hidden ? 1 : 0);
    EXPECT_EQ(Written(standIn, "t1"), c.written);
    EXPECT_EQ(Updates(standIn, "t1"), c.updates);
    ExpectReferences(standIn, c.held);
}

const std::u16string kAbc = u"ABC";
const Message kTypeMismatchBox{u"error: -2147352571", u"Morvane"};

INSTANTIATE_TEST_SUITE_P(
    Failures, FailureTest,
    testing::Values(
        FailureCase{"MissedPick", "pick miss\n", {u"Missed the object, please try again", u"Selection Error"}, true, {}, 0, std::nullopt},
        FailureCase{"CancelledPick", "pick cancel\n", {u"Missed the object, please try again", u"Selection Error"}, true, {}, 0, std::nullopt},
        FailureCase{"PickFails", "pick fail 0x80004005\n", {u"error: -2147467259", u"Morvane"}, true, {}, 0, std::nullopt},
        FailureCase{"RefusedWrite", "fail t1 TextString.put 0x80070005\npick t1\n", {u"error: -2147024891", u"Morvane"}, true, {}, 0, "t1"},
        FailureCase{"RefusedUpdate", "fail t1 Update 0x8007000E\npick t1\n", {u"error: -2147024882", u"Morvane"}, true, {kAbc}, 1, "t1"},
        FailureCase{"RefusedRead", "fail t1 TextString.get 0x80004005\npick t1\n", {u"error: -2147467259", u"Morvane"}, true, {}, 0, "t1"},
        // The exception without a number is a missed pick only when the pick raises it.
        FailureCase{"ReadRaisesMissedNumber", "fail t1 TextString.get 0x80020009\npick t1\n", {u"error: -2147352567", u"Morvane"}, true, {}, 0, "t1"},
        FailureCase{"RefusedVisible", "fail app Visible.put 0x80004005\npick t1\n", {u"error: -2147467259", u"Morvane"}, false, {}, 0, std::nullopt},
        FailureCase{"RefusedCaption", "fail app Caption.get 0x80070005\npick t1\n", {u"error: -2147024891", u"Morvane"}, false, {}, 0, std::nullopt},
        FailureCase{"RefusedDocument", "fail app ActiveDocument.get 0x80004005\npick t1\n", {u"error: -2147467259", u"Morvane"}, false, {}, 0, std::nullopt},
        FailureCase{"RefusedUtility", "fail doc Utility.get 0x80004005\npick t1\n", {u"error: -2147467259", u"Morvane"}, true, {}, 0, std::nullopt},
        // Answers that are no text are never coerced into one and written over the user's text.
        FailureCase{"EmptyAnswer", "answer t1 TextString.get empty\npick t1\n", kTypeMismatchBox, true, {}, 0, "t1"},
        FailureCase{"NullAnswer", "answer t1 TextString.get null\npick t1\n", kTypeMismatchBox, true, {}, 0, "t1"},
        FailureCase{"NumberAnswer", "answer t1 TextString.get number 42\npick t1\n", kTypeMismatchBox, true, {}, 0, "t1"},
        FailureCase{"ObjectAnswer", "answer t1 TextString.get object\npick t1\n", kTypeMismatchBox, true, {}, 0, "t1"}),
    [](const auto& info) { return std::string(info.param.name); });

// A missed pick after a successful one empties PickedEntity: the earlier entity is let go.
TEST_F(CommandHostTest, MissedPickLetsThePreviousEntityGo) {
    StandIn standIn("miss_after_pick", "text t1 40 60 \"%%Uone\"\ntext t2 40 120 \"two\"\npick t1\npick miss\npick t2\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_NE(dialog_.PickedEntity(), nullptr);
    RunCommand();
    EXPECT_EQ(dialog_.PickedEntity(), nullptr);
    RunCommand();
    // The third run starts without the underline flag of the first.
    EXPECT_THAT(Written(standIn, "t1"), ElementsAre(u"%%uONE"));
    EXPECT_THAT(Written(standIn, "t2"), ElementsAre(u"TWO"));
    EXPECT_THAT(dialog_.Messages(), ElementsAre(Message{u"one", u"Morvane"},
                                                Message{u"Missed the object, please try again", u"Selection Error"}));
    ExpectReferences(standIn, "t2");
}

}  // namespace
}  // namespace morvane::testing_host

// Usage: command_host_tests <cadstandin.exe> <cadlink_title_window.exe> [GoogleTest options]
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::cerr << "usage: command_host_tests <cadstandin.exe> <cadlink_title_window.exe>\n";
        return 2;
    }
    morvane::testing_host::TitleWindowProgram() = morvane::testing_host::WindowsPath(argv[2]);
    return morvane::testing_host::RunStandInTests(morvane::testing_host::WindowsPath(argv[1]));
}
