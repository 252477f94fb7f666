#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "command/tests/command_fixture.h"
#include "failure/com_error_number.h"
#include "failure/failure.h"

// What a pick keeps of what a drawing holds: the kind of text each entity holds, tolerances left
// as they are, fields kept, attributes with fields left as they are, and one undo step per pick.

namespace morvane {
namespace {

using namespace std::string_literals;

// Which kinds hold formatted text: the entity's ObjectName decides, asked only when the text holds
// a code's first character or a frame separator; a tolerance is not written at all.
struct KindCase {
    const char* name;
    std::optional<std::u16string> objectName;
    std::optional<bool> mtextAttribute;
    std::u16string text;
    std::optional<std::u16string> written;  // none: nothing written or redrawn
    bool asksObjectName;
};

const KindCase kKindCases[] = {
    {"TextIsPlain", u"AcDbText", std::nullopt, uR"(A\PB)", uR"(a\pb)", true},
    {"ArcAlignedTextIsPlain", u"AcDbArcAlignedText", std::nullopt, uR"(A\PB)", uR"(a\pb)", true},
    {"NamelessIsPlain", std::nullopt, std::nullopt, uR"(A\PB)", uR"(a\pb)", true},
    {"MultilineTextIsFormatted", u"AcDbMText", std::nullopt, uR"(A\PB)", uR"(a\Pb)", true},
    {"MultileaderIsFormatted", u"AcDbMLeader", std::nullopt, uR"({\C1;A\PB})", uR"({\C1;a\Pb})", true},
    {"UnknownKindKeepsItsCodes", u"AcDbSomethingNew", std::nullopt, uR"(A\PB)", uR"(a\Pb)", true},
    {"AttributeDefinitionIsPlain", u"AcDbAttributeDefinition", std::nullopt, uR"(A\PB)", uR"(a\pb)", true},
    {"MultilineAttributeDefinition", u"AcDbAttributeDefinition", true, uR"(A\PB)", uR"(a\Pb)", true},
    {"ToleranceLeftAlone", u"AcDbFcf", std::nullopt, uR"({\Fgdt;j}%%v{\Fgdt;n}0.5%%vA)", std::nullopt, true},
    {"ToleranceSeparatorInCapitals", u"AcDbFcf", std::nullopt, u"%%VJ%%VA", std::nullopt, true},
    {"NoCodeAsksNothing", u"AcDbFcf", std::nullopt, u"AB%%C", u"ab%%c", false},
};

void PrintTo(const KindCase& row, std::ostream* out) { *out << row.name; }

class KindOfText : public CommandTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(KindOfText, DecidesHowTheTextIsWritten) {
    const KindCase& row = GetParam();
    fakes::FakeEntity& entity = cad.PickEntity(
        {.textString = row.text, .mtextAttribute = row.mtextAttribute, .objectName = row.objectName});
    dialog.Select(CaseMode::Lower);
    Run();
    EXPECT_EQ(entity.textString, row.written.value_or(row.text));
    EXPECT_EQ(entity.updates, row.written ? 1 : 0);
    EXPECT_EQ(Called("ObjectName"), row.asksObjectName);
    EXPECT_TRUE(dialog.Messages().empty());
    EXPECT_EQ(Calls().back(), "Show");
}

INSTANTIATE_TEST_SUITE_P(Kinds, KindOfText, ::testing::ValuesIn(kKindCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An underlined tolerance shows no box either.
TEST_F(CommandTest, UnderlinedToleranceShowsNoBox) {
    fakes::FakeEntity& frame = cad.PickEntity({.textString = u"%%U%%vA", .objectName = u"AcDbFcf"});
    Run();
    EXPECT_EQ(frame.textString, u"%%U%%vA");
    EXPECT_TRUE(dialog.Messages().empty());
}

// Fields: when FieldCode differs from TextString and holds an expression, the field-coded text is
// converted and written through TextString, every expression kept; otherwise TextString is.
struct FieldCase {
    const char* name;
    std::u16string shown;
    std::optional<std::u16string> fieldCode;  // none: FieldCode not answered
    std::u16string written;
};

const FieldCase kFieldCases[] = {
    {"FieldKept", u"due 12/10/2026 today", uR"(due %<\AcVar Date \f "M/d/yyyy">% today)",
     uR"(DUE %<\AcVar Date \f "M/d/yyyy">% TODAY)"},
    {"NestedFieldKept", u"see door d1", uR"(see %<\AcObjProp Object(%<\_ObjId 2130239632>%).TextString>%)",
     uR"(SEE %<\AcObjProp Object(%<\_ObjId 2130239632>%).TextString>%)"},
    {"UnderlinedFieldKept", u"%%Usheet 3", uR"(%%Usheet %<\AcVar SheetNumber>%)", uR"(%%uSHEET %<\AcVar SheetNumber>%)"},
    {"NoFieldsSameText", u"plain note", u"plain note", u"PLAIN NOTE"},
    {"DifferentWithoutExpression", u"plain note", u"other note", u"PLAIN NOTE"},
    {"DifferentWithUnclosedStart", u"rh 5% of max", u"rh 5%<10% of max", u"RH 5% OF MAX"},
    {"NotAnswered", u"plain note", std::nullopt, u"PLAIN NOTE"},
};

void PrintTo(const FieldCase& row, std::ostream* out) { *out << row.name; }

class Fields : public CommandTest, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(Fields, AreKeptThroughTheFieldCode) {
    const FieldCase& row = GetParam();
    fakes::FakeEntity& text = cad.PickEntity({.textString = row.shown, .objectName = u"AcDbText", .fieldCode = row.fieldCode});
    Run();
    EXPECT_EQ(text.textString, row.written);
    EXPECT_EQ(text.updates, 1);
}

INSTANTIATE_TEST_SUITE_P(Texts, Fields, ::testing::ValuesIn(kFieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The box shows the values, as TextString reads them; FieldCode is asked once the box is closed.
TEST_F(CommandTest, BoxShowsFieldValues) {
    cad.PickEntity({.textString = u"%%Usheet 3", .objectName = u"AcDbText", .fieldCode = uR"(%%Usheet %<\AcVar SheetNumber>%)"});
    Run();
    ASSERT_EQ(dialog.Messages().size(), 1u);
    EXPECT_EQ(dialog.Messages()[0].text, u"sheet 3");
    const auto box = std::find(Calls().begin(), Calls().end(), "ShowMessage(sheet 3|Morvane)");
    EXPECT_LT(box - Calls().begin(), std::find(Calls().begin(), Calls().end(), "ReadFieldCode") - Calls().begin());
}

// A FieldCode that cannot be read as a text (any failure but 438), or a field-coded text over the
// underline code's limit, writes nothing.
TEST_F(CommandTest, FieldCodeFailuresWriteNothing) {
    struct Case {
        std::u16string shown;
        std::u16string fieldCode;
        std::int32_t failure;  // 0: none injected
        std::u16string message;
    };
    const std::u16string longCode = u"%%U%<\\AcVar Date>%" + std::u16string(32767, u'x');
    for (const Case& row : {Case{u"note", u"x%<y>%", error_number::kTypeMismatch, u"error: -2147352571"},
                            Case{u"note", u"x%<y>%", kFailed, u"error: -2147467259"},
                            Case{u"%%Ushort", longCode, 0, u"error: 6"}}) {
        fakes::CallLog rowLog;
        fakes::FakeCaseDialog rowDialog{rowLog};
        fakes::FakeCadLink rowCad{rowLog};
        fakes::FakeEntity& text = rowCad.PickEntity({.textString = row.shown, .objectName = u"AcDbText", .fieldCode = row.fieldCode});
        if (row.failure != 0) rowCad.FailAt("ReadFieldCode", row.failure);
        cmdSelect_Click(rowDialog, rowCad);
        EXPECT_EQ(text.textString, row.shown);
        EXPECT_EQ(text.updates, 0);
        EXPECT_EQ(rowDialog.Messages().back().text, row.message);
    }
}

// An attribute that shows a field is left as it is; the block's others are converted. Only an
// attribute that has an extension dictionary is asked what it holds.
TEST_F(CommandTest, AttributesWithFieldsAreLeftAsTheyAre) {
    fakes::FakeEntity& block = cad.PickBlockOf({
        {.textString = u"first", .objectName = u"AcDbAttribute", .hasExtensionDictionary = false},
        {.textString = u"sheet 3", .objectName = u"AcDbAttribute", .hasExtensionDictionary = true,
         .extensionDictionary = {u"ACAD_FIELD"}},
        {.textString = u"third", .objectName = u"AcDbAttribute", .hasExtensionDictionary = true,
         .extensionDictionary = {u"ACAD_XREC_ROUNDTRIP"}},
        {.textString = u"fourth", .objectName = u"AcDbAttribute"},
    });
    Run();
    EXPECT_EQ(block.attributes[0]->textString, u"FIRST");
    EXPECT_EQ(block.attributes[1]->textString, u"sheet 3");
    EXPECT_EQ(block.attributes[1]->updates, 0);
    EXPECT_EQ(block.attributes[2]->textString, u"THIRD");
    EXPECT_EQ(block.attributes[3]->textString, u"FOURTH");
    EXPECT_FALSE(Called("ATTRIB1.ExtensionDictionaryHolds(ACAD_FIELD)"));
    EXPECT_TRUE(Called("ATTRIB2.ExtensionDictionaryHolds(ACAD_FIELD)"));
    EXPECT_FALSE(Called("ATTRIB4.ExtensionDictionaryHolds(ACAD_FIELD)"));
    EXPECT_FALSE(block.attributes[0]->hasExtensionDictionary.value_or(false)) << "no dictionary made";
}

// One undo step per pick: writes of more than one text are framed by StartUndoMark and
// EndUndoMark; one text makes no extra call; a document without undo marks writes without.
TEST_F(CommandTest, OneUndoStepPerPick) {
    struct Case {
        std::vector<std::u16string> attributes;
        const char* startFails;  // nullptr: answers
        std::vector<std::string> expected;  // the calls from the first write or mark on
    };
    const Case rows[] = {
        {{u"a", u"b"}, nullptr,
         {"StartUndoMark", "ATTRIB1.WriteTextString(A)", "ATTRIB1.Update", "ATTRIB2.WriteTextString(B)", "ATTRIB2.Update",
          "EndUndoMark", "Show"}},
        {{u"a"}, nullptr, {"ATTRIB1.WriteTextString(A)", "ATTRIB1.Update", "Show"}},
        {{u"a", u"b"}, "438",
         {"StartUndoMark", "ATTRIB1.WriteTextString(A)", "ATTRIB1.Update", "ATTRIB2.WriteTextString(B)", "ATTRIB2.Update",
          "Show"}},
    };
    for (const Case& row : rows) {
        fakes::CallLog rowLog;
        fakes::FakeCaseDialog rowDialog{rowLog};
        fakes::FakeCadLink rowCad{rowLog};
        (void)rowCad.PickBlock(row.attributes);
        if (row.startFails) rowCad.FailAt("StartUndoMark", error_number::kNoSuchMember);
        cmdSelect_Click(rowDialog, rowCad);
        const auto& calls = rowLog.Calls();
        auto first = std::find_if(calls.begin(), calls.end(),
                                  [](const std::string& call) { return call == "StartUndoMark" || call.find("Write") != std::string::npos; });
        EXPECT_EQ(std::vector<std::string>(first, calls.end()), row.expected);
        EXPECT_TRUE(rowDialog.Messages().empty());
    }
}

// A failed write ends the undo step before the dispatch reacts; the writes that went through stay
// (one Undo takes them back). A failing EndUndoMark is reported; when a write failed too, the
// write's failure is the one reported. Either way the message says the step may still be open.
TEST_F(CommandTest, UndoStepEndsOnEveryWayOut) {
    struct Case {
        std::vector<const char*> failing;
        std::u16string message;
        std::vector<std::u16string> after;
    };
    const std::u16string open = u"\n\nThe undo step may still be open in AutoCAD: type UNDO and choose End before you go on.";
    for (const Case& row : {Case{{"ATTRIB2.WriteTextString"}, u"error: -2147467259", {u"A", u"b"}},
                            Case{{"EndUndoMark"}, u"error: -2147467259" + open, {u"A", u"B"}},
                            Case{{"ATTRIB2.Update", "EndUndoMark"}, u"error: -2147024891" + open, {u"A", u"B"}}}) {
        fakes::CallLog rowLog;
        fakes::FakeCaseDialog rowDialog{rowLog};
        fakes::FakeCadLink rowCad{rowLog};
        fakes::FakeEntity& block = rowCad.PickBlock({u"a", u"b"});
        for (const char* step : row.failing) {
            rowCad.FailAt(step, std::string(step) == "ATTRIB2.Update" ? -2147024891 : kFailed);
        }
        cmdSelect_Click(rowDialog, rowCad);
        const auto& calls = rowLog.Calls();
        const auto end = std::find(calls.begin(), calls.end(), "EndUndoMark");
        const auto box = std::find_if(calls.begin(), calls.end(), [](const std::string& c) { return c.starts_with("ShowMessage"); });
        ASSERT_NE(end, calls.end());
        EXPECT_LT(end, box);
        EXPECT_EQ(rowDialog.Messages().back().text, row.message);
        EXPECT_EQ(*block.attributes[0]->textString, row.after[0]);
        EXPECT_EQ(*block.attributes[1]->textString, row.after[1]);
    }
}

}  // namespace
}  // namespace morvane
