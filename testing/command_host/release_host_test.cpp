// End to end: the command with the real COM binding against stand-ins of a newer release (driven by
// name) and of release 15 beside it, and against a busy stand-in.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "testing/command_host/command_host_fixture.h"

namespace morvane::testing_host {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;


// The calls the stand-in's application, document and utility received through their slots: none
// when a release is driven by name.
std::vector<std::string> SlotCalls(const StandIn& standIn) {
    std::vector<std::string> calls;
    for (const char* object : {"app", "doc", "util"}) {
        for (std::string& line : standIn.LogLines(std::string("call ") + object + " ")) {
            if (line.find(" via=vtable") != std::string::npos) calls.push_back(std::move(line));
        }
    }
    return calls;
}

struct NewerCase {
    const char* name;
    const char* scenario;
    CaseMode mode;
    const char* object;  // whose member is written
    const char* member;
    std::vector<std::u16string> written;
    std::vector<Message> messages;
    std::optional<std::string> held;  // what PickedEntity holds afterwards
};

class NewerReleaseTest : public CommandHostTest, public testing::WithParamInterface<NewerCase> {};

// A newer release running alone is driven by name through every step, with the same results as
// release 15: every mode, an attribute, a dimension's override, a miss; nothing through the slots,
// and every reference let go.
TEST_P(NewerReleaseTest, IsDrivenByName) {
    const NewerCase& c = GetParam();
    StandIn standIn(std::string("newer_") + c.name, c.scenario, kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    dialog_.Select(c.mode);
    RunCommand();
    EXPECT_EQ(dialog_.Messages(), c.messages);
    EXPECT_TRUE(dialog_.Visible());
    EXPECT_EQ(Written(standIn, c.object, c.member), c.written);
    EXPECT_THAT(SlotCalls(standIn), IsEmpty());
    const std::vector<std::string> pick = standIn.LogLines("pick-begin n=1 ");
    ASSERT_EQ(pick.size(), 1u) << standIn.LogText();
    EXPECT_EQ(LogField(pick[0], "prompt"), kPickPrompt);
    EXPECT_EQ(LogField(pick[0], "foreground"), u"yes");
    ExpectReferences(standIn, c.held);
}

constexpr char kText[] = "text t1 40 60 \"%%Uhello WORLD. again\"\npick t1\n";

INSTANTIATE_TEST_SUITE_P(
    Picks, NewerReleaseTest,
    testing::Values(
        NewerCase{"Upper", kText, CaseMode::Upper, "t1", "TextString", {u"%%uHELLO WORLD. AGAIN"}, {{u"hello WORLD. again", u"Morvane"}}, "t1"},
        NewerCase{"Lower", kText, CaseMode::Lower, "t1", "TextString", {u"%%uhello world. again"}, {{u"hello WORLD. again", u"Morvane"}}, "t1"},
        NewerCase{"Title", kText, CaseMode::Title, "t1", "TextString", {u"%%uHello World. Again"}, {{u"hello WORLD. again", u"Morvane"}}, "t1"},
        NewerCase{"Sentence", kText, CaseMode::Sentence, "t1", "TextString", {u"%%uHello world. Again"}, {{u"hello WORLD. again", u"Morvane"}}, "t1"},
        NewerCase{"Attribute", "block b1 420 60 \"DOOR\"\nattribute a1 b1 \"MAKER\" \"acme ltd\"\npick b1\n",
                  CaseMode::Upper, "a1", "TextString", {u"ACME LTD"}, {}, "b1"},
        NewerCase{"PlainAttributeWithBraces", "block b1 420 60 \"DOOR\"\nattribute a1 b1 \"MAKER\" \"{acme}\"\npick b1\n",
                  CaseMode::Upper, "a1", "TextString", {u"{ACME}"}, {}, "b1"},
        NewerCase{"Dimension", "dimension d1 40 320 360 320 \"<> max\"\npick d1\n", CaseMode::Upper, "d1",
                  "TextOverride", {u"<> MAX"}, {}, "d1"},
        NewerCase{"Miss", "text t1 40 60 \"abc\"\npick miss\n", CaseMode::Upper, "t1",
                  "TextString", {}, {{u"Missed the object, please try again", u"Selection Error"}}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// A newer release's multiline attribute is read and written through MTextAttributeContent, its codes
// kept, while its TextString shows the text without them; every attribute is asked whether it is
// one. Release 15's attributes (which have no multiline ones) are plain text and never asked.
TEST_F(CommandHostTest, MultilineAttributesKeepTheirCodes) {
    const std::string scenario = "block b1 420 60 \"DOOR\"\nattribute a1 b1 \"NOTE\" \"FIRST\\PSECOND\"\n"
                                 "attribute a2 b1 \"MAKER\" \"ACME\"\nmultiline a1\npick b1\n";
    dialog_.Select(CaseMode::Lower);
    {
        StandIn standIn("newer_multiline", scenario, kRelease25);
        ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
        RunCommand();
        EXPECT_THAT(standIn.LogLines("call a1 MTextAttribute.get via=invoke hr=0x00000000 result=-1"), testing::SizeIs(1));
        EXPECT_THAT(standIn.LogLines("call a2 MTextAttribute.get via=invoke hr=0x00000000 result=0"), testing::SizeIs(1));
        EXPECT_THAT(standIn.LogLines("call a1 TextString.get via=invoke hr=0x00000000 result=\"FIRST SECOND\""),
                    testing::SizeIs(1));
        EXPECT_THAT(Written(standIn, "a1", "MTextAttributeContent"), ElementsAre(u"first\\Psecond"));
        EXPECT_THAT(Written(standIn, "a1"), IsEmpty());
        EXPECT_THAT(Written(standIn, "a2"), ElementsAre(u"acme"));
        EXPECT_THAT(dialog_.Messages(), IsEmpty());
        ExpectReferences(standIn, "b1");
    }
    StandIn release15("release15_multiline", scenario);
    ASSERT_TRUE(release15.Ready()) << release15.Problem();
    RunCommand();
    EXPECT_THAT(release15.LogLines("dispatch a1 GetIDsOfNames name=\"MTextAttribute\""), IsEmpty());
    EXPECT_THAT(Written(release15, "a1"), ElementsAre(u"first\\psecond"));
    ExpectReferences(release15, "b1");
}

// A newer release that vanishes mid-pick: the number COM reports, the dialog back, and the next
// press finds no application at all.
TEST_F(CommandHostTest, NewerReleaseVanishingMidPick) {
    StandIn standIn("newer_vanish", "text t1 40 60 \"abc\"\npick vanish\n", kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_EQ(standIn.WaitForExit(10'000), 99u);
    EXPECT_THAT(dialog_.Messages(), ElementsAre(Message{u"error: -2147023170", u"Morvane"}));
    EXPECT_TRUE(dialog_.Visible());
    EXPECT_EQ(dialog_.PickedEntity(), nullptr);

    FakeCaseDialog again;
    cmdSelect_Click(again, *link_);
    EXPECT_THAT(again.Messages(), ElementsAre(Message{u"Please start AutoCAD", u"AutoCAD not Open"}));
}

// Release 15 and a newer release running together: release 15 is used, through its slots; the newer
// one is not called at all.
TEST_F(CommandHostTest, Release15IsUsedBesideANewerRelease) {
    StandIn newer("together_newer", "text t1 40 60 \"newer\"\npick t1\n", kRelease25);
    ASSERT_TRUE(newer.Ready()) << newer.Problem();
    StandIn release15("together_15", "text t1 40 60 \"fifteen\"\npick t1\n");
    ASSERT_TRUE(release15.Ready()) << release15.Problem();
    RunCommand();
    EXPECT_THAT(Written(release15, "t1"), ElementsAre(u"FIFTEEN"));
    EXPECT_THAT(release15.LogLines("call app Visible.put slot=8 via=vtable"), testing::SizeIs(1));
    EXPECT_THAT(newer.LogLines("call "), IsEmpty());
    EXPECT_THAT(newer.LogLines("pick-begin"), IsEmpty());
    ExpectReferences(release15, "t1");
}

// Release 15 whose interface cannot be reached from this process: as for a client of the other
// bitness when the application registered its interfaces in its own registry view only, here made
// by removing the application interface's registration once the stand-in has made it. The same
// object is then driven by name, with the same result.
TEST_F(CommandHostTest, Release15WithoutItsInterfaceIsDrivenByName) {
    StandIn standIn("release15_by_name", "text t1 40 60 \"%%Uabc\"\npick t1\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Interface\\{8E75D910-3D21-11D2-85C4-080009A0C626}"),
              ERROR_SUCCESS);
    RunCommand();
    EXPECT_THAT(dialog_.Messages(), ElementsAre(Message{u"abc", u"Morvane"}));
    EXPECT_THAT(Written(standIn, "t1"), ElementsAre(u"%%uABC"));
    EXPECT_THAT(SlotCalls(standIn), IsEmpty());
    EXPECT_THAT(standIn.LogLines("call app Visible.put slot=8 via=invoke value=-1 hr=0x00000000"), testing::SizeIs(1));
    ExpectReferences(standIn, "t1");
}

// The calls one pick of a plain text costs on the by-name path, the first run after the
// application started and a later one: at most 22 and 14 (FieldCode, looked up and asked on each
// picked text, is two of them; asking for the pre-selection four on the first run, two later).
TEST_F(CommandHostTest, CostOfAPickByName) {
    StandIn standIn("newer_cost", "text t1 40 60 \"note\"\npick t1\npick t1\n", kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    for (const auto& [run, most] : {std::pair{"first", 22}, std::pair{"second", 14}}) {
        const std::optional<References> before = standIn.Dump();
        ASSERT_TRUE(before);
        RunCommand();
        const std::optional<References> after = standIn.Dump();
        ASSERT_TRUE(after);
        const CallTotals& a = after->calls;
        const CallTotals& b = before->calls;
        const int calls = a.total - b.total;
        std::cout << "cost of the " << run << " pick by name: " << calls << " calls (QueryInterface "
                  << a.queryInterface - b.queryInterface << ", slots " << a.vtable - b.vtable << ", GetIDsOfNames "
                  << a.getIdsOfNames - b.getIdsOfNames << ", Invoke " << a.invoke - b.invoke << ")\n";
        RecordProperty(std::string(run) + "_pick_calls_by_name", calls);
        EXPECT_LE(calls, most) << standIn.LogText();
    }
    EXPECT_THAT(Written(standIn, "t1"), ElementsAre(u"NOTE", u"NOTE"));
    ExpectReferences(standIn, "t1");
}

struct BusyCase {
    const char* name;
    const char* busy;  // the scenario's busy statement
    const wchar_t* arguments;
    std::vector<Message> messages;
    std::vector<std::u16string> written;
};

class BusyTest : public CommandHostTest, public testing::WithParamInterface<BusyCase> {};

// A busy application: calls it rejects are tried again for 10 s; a pick in a 2 s busy spell goes
// through and writes once; a 20 s one ends in the rejection's number with the dialog back and
// nothing written. Both ways a rejection can come back: from COM (the application's message filter)
// and from the application's members, on release 15's slots and by name.
TEST_P(BusyTest, RetriesForTenSeconds) {
    const BusyCase& c = GetParam();
    StandIn standIn(std::string("busy_") + c.name, std::string("text t1 40 60 \"abc\"\npick t1\n") + c.busy + "\n",
                    c.arguments);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_EQ(dialog_.Messages(), c.messages);
    EXPECT_TRUE(dialog_.Visible());
    EXPECT_EQ(Written(standIn, "t1"), c.written);
    EXPECT_EQ(Updates(standIn, "t1"), c.written.size());
    std::cout << c.name << ": " << standIn.LogLines("busy reject").size() << " calls rejected by the filter, "
              << standIn.LogLines("call ").size() << " member calls\n";
    ExpectReferences(standIn, c.written.empty() ? std::nullopt : std::optional<std::string>("t1"));
}

const Message kRejected{u"error: -2147418111", u"Morvane"};
const Message kRetryLater{u"error: -2147417846", u"Morvane"};

INSTANTIATE_TEST_SUITE_P(
    Spells, BusyTest,
    testing::Values(BusyCase{"TwoSeconds", "busy 2", L"", {}, {u"ABC"}},
                    BusyCase{"TwoSecondsByName", "busy 2", kRelease25, {}, {u"ABC"}},
                    BusyCase{"TwoSecondsRetryLater", "busy 2 retry-later", L"", {}, {u"ABC"}},
                    BusyCase{"TwentySecondsAfterTheTitle", "busy 20 after app Caption.get", L"", {kRejected}, {}},
                    BusyCase{"TwentySecondsByNameRetryLater", "busy 20 retry-later after app Caption.get", kRelease25,
                             {kRetryLater}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvane::testing_host
