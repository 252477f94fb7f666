// End to end: what a drawing keeps while the command changes its texts (fields, an attribute's field in
// its extension dictionary, multileaders' and tolerances' codes, one undo step per pick), with the real
// COM binding against the stand-in.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "testing/command_host/command_host_fixture.h"

namespace morvane::testing_host {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing::SizeIs;


// The index of the first log line beginning with the prefix after `from`; the log's size when none.
std::size_t LineIndex(const std::vector<std::string>& log, std::string_view prefix, std::size_t from = 0) {
    for (std::size_t i = from; i < log.size(); ++i) {
        if (log[i].starts_with(prefix)) return i;
    }
    return log.size();
}

std::size_t LastLineIndex(const std::vector<std::string>& log, std::string_view prefix) {
    for (std::size_t i = log.size(); i-- > 0;) {
        if (log[i].starts_with(prefix)) return i;
    }
    return log.size();
}

struct FieldCase {
    const char* name;
    const char* scenario;
    CaseMode mode;
    std::u16string written;
    std::vector<Message> messages;
};

class FieldTest : public CommandHostTest, public testing::WithParamInterface<FieldCase> {};

// Rule: a text's fields survive every mode: the written text keeps each expression unit for unit (the
// rest converted), the stand-in has the field again after the write, and the box shows the values.
TEST_P(FieldTest, ExpressionsAreKept) {
    const FieldCase& c = GetParam();
    StandIn standIn(std::string("field_") + c.name, c.scenario, kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    dialog_.Select(c.mode);
    RunCommand();
    EXPECT_EQ(dialog_.Messages(), c.messages);
    EXPECT_THAT(Written(standIn, "t1"), ElementsAre(c.written));
    const std::vector<std::string> puts = standIn.LogLines("call t1 TextString.put ");
    ASSERT_THAT(puts, SizeIs(1));
    EXPECT_EQ(LogField(puts[0], "fields"), u"1") << "the stand-in keeps the field";
    EXPECT_THAT(standIn.LogLines("call t1 FieldCode via=invoke hr=0x00000000"), SizeIs(1));
    EXPECT_EQ(Updates(standIn, "t1"), 1u);
    ExpectReferences(standIn, "t1");
}

constexpr char kDateText[] =
    "text t1 40 60 \"plotted %<\\\\AcVar Date \\\\f \\\"M/d/yyyy\\\">% by jo\"\n"
    "field t1 \"%<\\\\AcVar Date \\\\f \\\"M/d/yyyy\\\">%\" \"12/10/2026\"\n"
    "pick t1\n";

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldTest,
    testing::Values(
        FieldCase{"DateUpper", kDateText, CaseMode::Upper, uR"(PLOTTED %<\AcVar Date \f "M/d/yyyy">% BY JO)", {}},
        FieldCase{"DateLower", kDateText, CaseMode::Lower, uR"(plotted %<\AcVar Date \f "M/d/yyyy">% by jo)", {}},
        FieldCase{"DateTitle", kDateText, CaseMode::Title, uR"(Plotted %<\AcVar Date \f "M/d/yyyy">% By Jo)", {}},
        FieldCase{"DateSentence", kDateText, CaseMode::Sentence, uR"(Plotted %<\AcVar Date \f "M/d/yyyy">% by jo)", {}},
        FieldCase{"MTextNested",
                  "mtext t1 40 60 \"{\\\\C1;see} %<\\\\AcObjProp Object(%<\\\\_ObjId 42>%).TextString>% here\"\n"
                  "field t1 \"%<\\\\AcObjProp Object(%<\\\\_ObjId 42>%).TextString>%\" \"door d1\"\npick t1\n",
                  CaseMode::Upper, uR"({\C1;SEE} %<\AcObjProp Object(%<\_ObjId 42>%).TextString>% HERE)", {}},
        FieldCase{"UnderlinedShowsValues",
                  "text t1 40 60 \"%%Usheet %<\\\\AcVar SheetNumber>%\"\n"
                  "field t1 \"%<\\\\AcVar SheetNumber>%\" \"3\"\npick t1\n",
                  CaseMode::Upper, uR"(%%uSHEET %<\AcVar SheetNumber>%)", {{u"sheet 3", u"Morvane"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Rule: release 15 has no fields: the command never asks for FieldCode (not even its name) nor for an
// extension dictionary, not for a plain text, which costs 12 calls once COM has built its stubs (2 of
// them asking for the pre-selection),
// nor for one with an expression, which is text there and written back unchanged all the same.
TEST_F(CommandHostTest, Release15AsksNoFieldCode) {
    StandIn standIn("kept_release15_cost",
                    "text t1 40 60 \"note\"\ntext t2 40 120 \"date %<\\\\AcVar Date>%\"\npick t1\npick t1\npick t2\n");
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    for (const char* run : {"first", "second"}) {
        const std::optional<CallTotals> cost = CostOfARun(standIn, [&] { RunCommand(); });
        ASSERT_TRUE(cost) << standIn.LogText();
        std::cout << "release 15, cost of the " << run << " pick of a plain text: " << Describe(*cost) << "\n";
        RecordProperty(std::string("release15_") + run + "_pick_calls", cost->total);
        if (std::string_view(run) == "second") {
            EXPECT_LE(cost->total, 12) << standIn.LogText();
        }
    }
    dialog_.PickedEntity().reset();
    RunCommand();
    EXPECT_THAT(standIn.LogLines("dispatch t1 GetIDsOfNames name=\"FieldCode\""), IsEmpty());
    EXPECT_THAT(standIn.LogLines("dispatch t2 GetIDsOfNames name=\"FieldCode\""), IsEmpty());
    EXPECT_THAT(standIn.LogLines("dispatch t2 GetIDsOfNames name=\"HasExtensionDictionary\""), IsEmpty());
    EXPECT_THAT(Written(standIn, "t1"), ElementsAre(u"NOTE", u"NOTE"));
    EXPECT_THAT(Written(standIn, "t2"), ElementsAre(uR"(DATE %<\AcVar Date>%)"));
    ExpectReferences(standIn, "t2");
}

// Rule: an attribute whose extension dictionary holds ACAD_FIELD is not written, the block's others
// are; an attribute without a dictionary is never asked for one (which would make one); every
// dictionary the command read is let go.
TEST_F(CommandHostTest, AttributeWithAFieldIsLeftAlone) {
    StandIn standIn("kept_attribute_field",
                    "block b1 420 60 \"TITLE\"\n"
                    "attribute a1 b1 \"DRAWN\" \"drawn by jo\"\n"
                    "attribute a2 b1 \"DATE\" \"12/10/2026 noon\"\n"
                    "attribute a3 b1 \"TITLE\" \"ground floor\"\n"
                    "dictionary a2 \"OTHER\" \"ACAD_FIELD\"\n"
                    "dictionary a3 \"OTHER\"\n"
                    "pick b1\n",
                    kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    RunCommand();
    EXPECT_THAT(dialog_.Messages(), IsEmpty());
    EXPECT_THAT(Written(standIn, "a1"), ElementsAre(u"DRAWN BY JO"));
    EXPECT_THAT(Written(standIn, "a2"), IsEmpty());
    EXPECT_THAT(Written(standIn, "a3"), ElementsAre(u"GROUND FLOOR"));
    EXPECT_THAT(standIn.LogLines("call a1 HasExtensionDictionary.get via=invoke hr=0x00000000 result=0"), SizeIs(1));
    EXPECT_THAT(standIn.LogLines("call a1 GetExtensionDictionary"), IsEmpty());
    for (const std::string& line : standIn.Log()) EXPECT_EQ(line.find("created=yes"), std::string::npos) << line;
    EXPECT_THAT(standIn.LogLines("call a2.xdict Item via=invoke index=\"ACAD_FIELD\" hr=0x00000000 result=a2.xdict.1"),
                SizeIs(1));
    EXPECT_THAT(standIn.LogLines("call a3.xdict Item via=invoke index=\"ACAD_FIELD\" hr=0x80200014"), SizeIs(1));
    ExpectReferences(standIn, "b1");
}

// The calls per attribute, with and without an extension dictionary, measured as the difference
// between blocks of two and three attributes (each run a later one, so COM's stubs are built).
TEST_F(CommandHostTest, CallsPerAttribute) {
    StandIn standIn("kept_attribute_cost",
                    "block b1 40 60 \"TWO\"\nattribute a1 b1 \"A\" \"x\"\nattribute a2 b1 \"B\" \"y\"\n"
                    "block b2 300 60 \"THREE\"\nattribute a3 b2 \"A\" \"x\"\nattribute a4 b2 \"B\" \"y\"\n"
                    "attribute a5 b2 \"C\" \"z\"\n"
                    "block b3 40 300 \"THREE, ONE WITH A DICTIONARY\"\nattribute a6 b3 \"A\" \"x\"\n"
                    "attribute a7 b3 \"B\" \"y\"\nattribute a8 b3 \"C\" \"z\"\ndictionary a8 \"OTHER\"\n"
                    "pick b1\npick b1\npick b2\npick b3\n",
                    kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    std::vector<CallTotals> costs;
    for (int run = 0; run < 4; ++run) {
        const std::optional<CallTotals> cost = CostOfARun(standIn, [&] { RunCommand(); });
        ASSERT_TRUE(cost) << standIn.LogText();
        costs.push_back(*cost);
    }
    const int plain = costs[2].total - costs[1].total;
    const int withDictionary = plain + costs[3].total - costs[2].total;
    std::cout << "block of 2 attributes: " << Describe(costs[1]) << "; of 3: " << Describe(costs[2])
              << "; of 3, one with a dictionary: " << Describe(costs[3]) << "\n"
              << "calls per attribute without a dictionary: " << plain << ", with one (one entry): " << withDictionary << "\n";
    RecordProperty("calls_per_attribute", plain);
    RecordProperty("calls_per_attribute_with_dictionary", withDictionary);
    EXPECT_GT(withDictionary, plain) << "a dictionary is read only where there is one";
    EXPECT_THAT(Written(standIn, "a8"), ElementsAre(u"Z"));
    ExpectReferences(standIn, "b3");
}

struct KindCase {
    const char* name;
    const char* scenario;
    CaseMode mode;
    std::vector<std::u16string> written;
};

class KindTest : public CommandHostTest, public testing::WithParamInterface<KindCase> {};

// Rule: a multileader's codes are kept, a tolerance is left as it is (no box either), and a symbol in
// the GD&T font keeps its letter.
TEST_P(KindTest, CodesAndSymbolsKept) {
    const KindCase& c = GetParam();
    StandIn standIn(std::string("kind_") + c.name, c.scenario, kRelease25);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    dialog_.Select(c.mode);
    RunCommand();
    EXPECT_THAT(dialog_.Messages(), IsEmpty());
    EXPECT_EQ(Written(standIn, "e1"), c.written);
    EXPECT_EQ(Updates(standIn, "e1"), c.written.size());
    ExpectReferences(standIn, "e1");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, KindTest,
    testing::Values(KindCase{"MultileaderLower", "mleader e1 200 60 \"FIRST\\\\PSECOND\"\npick e1\n", CaseMode::Lower,
                             {uR"(first\Psecond)"}},
                    KindCase{"ToleranceUpper", "tolerance e1 40 60 \"{\\\\Fgdt;j}%%v{\\\\Fgdt;n}0.5%%vA\"\npick e1\n",
                             CaseMode::Upper, {}},
                    KindCase{"UnderlinedToleranceUpper", "tolerance e1 40 60 \"%%U%%va\"\npick e1\n", CaseMode::Upper, {}},
                    KindCase{"GdtSymbolUpper", "mtext e1 40 60 \"{\\\\Fgdt;n}0.5 max\"\npick e1\n", CaseMode::Upper,
                             {uR"({\Fgdt;n}0.5 MAX)"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct UndoCase {
    const char* name;
    const wchar_t* arguments;
};

class UndoTest : public CommandHostTest, public testing::WithParamInterface<UndoCase> {};

constexpr char kThreeAttributes[] =
    "block b1 420 60 \"DOOR\"\nattribute a1 b1 \"A\" \"one\"\nattribute a2 b1 \"B\" \"two\"\n"
    "attribute a3 b1 \"C\" \"three\"\ntext t1 40 60 \"plain\"\n";

// Rule: the writes of one pick of a block are one undo step: StartUndoMark before the first write,
// EndUndoMark after the last; a plain text pick makes no mark and is one step; on release 15 too,
// through its document by name.
TEST_P(UndoTest, OnePickIsOneStep) {
    StandIn standIn(std::string("undo_") + GetParam().name, std::string(kThreeAttributes) + "pick b1\npick t1\n",
                    GetParam().arguments);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    const std::optional<References> before = standIn.Dump();
    ASSERT_TRUE(before);
    RunCommand();
    const std::optional<References> afterBlock = standIn.Dump();
    ASSERT_TRUE(afterBlock);
    EXPECT_EQ(afterBlock->undoSteps - before->undoSteps, 1);
    EXPECT_EQ(afterBlock->undoOpen, 0);
    const std::vector<std::string> log = standIn.Log();
    const std::size_t start = LineIndex(log, "call doc StartUndoMark ");
    const std::size_t firstWrite = LineIndex(log, "call a1 TextString.put ");
    const std::size_t lastWrite = LineIndex(log, "call a3 TextString.put ");
    const std::size_t end = LineIndex(log, "call doc EndUndoMark ");
    ASSERT_LT(end, log.size()) << standIn.LogText();
    EXPECT_LT(start, firstWrite);
    EXPECT_LT(lastWrite, end);
    EXPECT_THAT(standIn.LogLines("call doc StartUndoMark slot=61 via=invoke hr=0x00000000"), SizeIs(1));
    EXPECT_THAT(Written(standIn, "a2"), ElementsAre(u"TWO"));

    dialog_.PickedEntity().reset();
    RunCommand();
    const std::optional<References> afterText = standIn.Dump();
    ASSERT_TRUE(afterText);
    EXPECT_EQ(afterText->undoSteps - afterBlock->undoSteps, 1);
    EXPECT_THAT(standIn.LogLines("call doc StartUndoMark"), SizeIs(1)) << "no mark for one text";
    EXPECT_THAT(Written(standIn, "t1"), ElementsAre(u"PLAIN"));
    ExpectReferences(standIn, "t1");
}

// Rule: a write that fails inside the mark still ends it: EndUndoMark after the failure, the failure's
// number in the box, and what was written before it one undo step.
TEST_P(UndoTest, FailedWriteStillEndsTheMark) {
    StandIn standIn(std::string("undo_failure_") + GetParam().name,
                    std::string(kThreeAttributes) + "fail a2 TextString.put 0x80004005\npick b1\n", GetParam().arguments);
    ASSERT_TRUE(standIn.Ready()) << standIn.Problem();
    const std::optional<References> before = standIn.Dump();
    ASSERT_TRUE(before);
    RunCommand();
    const std::optional<References> after = standIn.Dump();
    ASSERT_TRUE(after);
    EXPECT_THAT(dialog_.Messages(), ElementsAre(Message{u"error: -2147467259", u"Morvane"}));
    EXPECT_EQ(after->undoSteps - before->undoSteps, 1);
    EXPECT_EQ(after->undoOpen, 0);
    const std::vector<std::string> log = standIn.Log();
    EXPECT_LT(LastLineIndex(log, "call a2 TextString.put "), LineIndex(log, "call doc EndUndoMark "));
    EXPECT_THAT(standIn.LogLines("call doc EndUndoMark slot=62 via=invoke hr=0x00000000"), SizeIs(1));
    EXPECT_THAT(Written(standIn, "a1"), ElementsAre(u"ONE"));
    EXPECT_THAT(Written(standIn, "a3"), IsEmpty());
    ExpectReferences(standIn, "b1");
}

INSTANTIATE_TEST_SUITE_P(Releases, UndoTest,
                         testing::Values(UndoCase{"Release25", kRelease25}, UndoCase{"Release15", L""}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvane::testing_host
