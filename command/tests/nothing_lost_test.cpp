#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "command/tests/command_fixture.h"
#include "failure/com_error_number.h"

// What a pick never loses: a field kept in an extension dictionary, a literal field expression, a
// multiline attribute's formatting codes, and what an empty text shows.

namespace morvane {
namespace {

using namespace std::string_literals;

// An entity that keeps its field in its extension dictionary (no FieldCode) is left alone, whatever
// its kind; without a field entry it is converted. An entity whose release has no fields does not
// answer HasExtensionDictionary and is converted as before.
struct DictionaryFieldCase {
    const char* name;
    fakes::FakeEntity entity;
    bool written;
};

const DictionaryFieldCase kDictionaryFieldCases[] = {
    {"MultileaderWithField",
     {.textString = u"sheet 3", .objectName = u"AcDbMLeader", .hasExtensionDictionary = true, .extensionDictionary = {u"ACAD_FIELD"}},
     false},
    {"AttributeDefinitionWithField",
     {.textString = u"sheet 3", .mtextAttribute = false, .objectName = u"AcDbAttributeDefinition",
      .hasExtensionDictionary = true, .extensionDictionary = {u"OTHER", u"ACAD_FIELD"}},
     false},
    {"ArcTextWithField",
     {.textString = u"sheet 3", .objectName = u"AcDbArcAlignedText", .hasExtensionDictionary = true,
      .extensionDictionary = {u"ACAD_FIELD"}},
     false},
    {"MultileaderWithOtherEntries",
     {.textString = u"sheet 3", .objectName = u"AcDbMLeader", .hasExtensionDictionary = true, .extensionDictionary = {u"OTHER"}},
     true},
    {"MultileaderWithoutDictionary", {.textString = u"sheet 3", .objectName = u"AcDbMLeader", .hasExtensionDictionary = false}, true},
    {"ReleaseWithoutFields", {.textString = u"sheet 3", .objectName = u"AcDbMLeader"}, true},
};

void PrintTo(const DictionaryFieldCase& row, std::ostream* out) { *out << row.name; }

class FieldInDictionary : public CommandTest, public ::testing::WithParamInterface<DictionaryFieldCase> {};

TEST_P(FieldInDictionary, LeavesTheEntityAlone) {
    const DictionaryFieldCase& row = GetParam();
    fakes::FakeEntity& entity = cad.PickEntity(row.entity);
    Run();
    EXPECT_EQ(entity.textString, row.written ? u"SHEET 3" : u"sheet 3");
    EXPECT_EQ(entity.updates, row.written ? 1 : 0);
    EXPECT_TRUE(dialog.Messages().empty());
    EXPECT_EQ(Calls().back(), "Show");
}

INSTANTIATE_TEST_SUITE_P(Kinds, FieldInDictionary, ::testing::ValuesIn(kDictionaryFieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A dimension whose override shows a field kept in its extension dictionary is left alone.
TEST_F(CommandTest, OverrideWithFieldIsLeftAlone) {
    fakes::FakeEntity& dimension = cad.PickDimension(u"see note");
    dimension.hasExtensionDictionary = true;
    dimension.extensionDictionary = {u"ACAD_FIELD"};
    Run();
    EXPECT_EQ(dimension.textOverride, u"see note");
    EXPECT_EQ(dimension.updates, 0);
}

// A text whose FieldCode answers keeps its fields in its text: its dictionary is not asked.
TEST_F(CommandTest, FieldCodeAnsweredAsksNoDictionary) {
    fakes::FakeEntity& text = cad.PickEntity({.textString = u"note", .objectName = u"AcDbText", .fieldCode = u"note",
                                              .hasExtensionDictionary = true, .extensionDictionary = {u"ACAD_FIELD"}});
    Run();
    EXPECT_EQ(text.textString, u"NOTE");
    EXPECT_FALSE(Called("HasExtensionDictionary"));
    EXPECT_FALSE(Called("ObjectName")) << "a plain pick asks no more than it did";
}

// A literal expression in a text whose FieldCode is the same text is written back unchanged, in
// every kind that converts text.
TEST_F(CommandTest, LiteralExpressionIsKept) {
    fakes::FakeEntity& text = cad.PickEntity({.textString = u"see %<note>% here", .objectName = u"AcDbText",
                                              .fieldCode = u"see %<note>% here"});
    Run();
    EXPECT_EQ(text.textString, u"SEE %<note>% HERE");

    fakes::FakeEntity& dimension = cad.PickDimension(uR"(<> %<\AcVar x>% mm)");
    Run();
    EXPECT_EQ(dimension.textOverride, uR"(<> %<\AcVar x>% MM)");

    fakes::FakeEntity& block = cad.PickBlock({u"a %<b>% c"});
    Run();
    EXPECT_EQ(block.attributes[0]->textString, u"A %<b>% C");
}

// A multiline attribute is read and written through MTextAttributeContent, codes and all, whether
// or not its TextString holds a code; 438 from it: its TextString, as formatted text.
struct MultilineCase {
    const char* name;
    std::optional<bool> mtextAttribute;
    std::optional<std::u16string> content;
    std::u16string textString;
    std::optional<std::u16string> contentAfter;
    std::u16string textStringAfter;
};

const MultilineCase kMultilineCases[] = {
    {"ContentWithCodes", true, uR"({\C1;Door}\Pleaf)", u"Door leaf", uR"({\C1;DOOR}\PLEAF)", u"Door leaf"},
    {"ContentUnderlined", true, uR"(%%U{\C1;a}\Pb)", u"%%Ua b", uR"(%%u{\C1;A}\PB)", u"%%Ua b"},
    {"NoContentMember", true, std::nullopt, uR"({\C1;a}\Pb)", std::nullopt, uR"({\C1;A}\PB)"},
    {"EmptyContent", true, u"", u"x", u"", u"x"},
    {"NotMultiline", false, uR"({\C1;a})", uR"({\C1;a})", uR"({\C1;a})", uR"({\C1;A})"},
};

void PrintTo(const MultilineCase& row, std::ostream* out) { *out << row.name; }

class MultilineAttribute : public CommandTest, public ::testing::WithParamInterface<MultilineCase> {};

TEST_P(MultilineAttribute, KeepsItsContentsCodes) {
    const MultilineCase& row = GetParam();
    fakes::FakeEntity& block = cad.PickBlockOf({{.textString = row.textString, .mtextAttribute = row.mtextAttribute,
                                                 .mtextAttributeContent = row.content, .objectName = u"AcDbAttribute"}});
    Run();
    const fakes::FakeEntity& attribute = *block.attributes[0];
    EXPECT_EQ(attribute.mtextAttributeContent, row.contentAfter);
    EXPECT_EQ(attribute.textString, row.textStringAfter);
    if (row.contentAfter == row.content && row.textStringAfter == row.textString) {
        EXPECT_EQ(attribute.updates, 0) << "an attribute that keeps its text is not written";
        EXPECT_FALSE(Called("ATTRIB1.WriteMTextAttributeContent()"));
    }
    EXPECT_TRUE(dialog.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Attributes, MultilineAttribute, ::testing::ValuesIn(kMultilineCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An attribute definition picked on its own: multiline, through its content.
TEST_F(CommandTest, MultilineAttributeDefinitionPickedAlone) {
    fakes::FakeEntity& definition = cad.PickEntity({.textString = u"Door leaf", .mtextAttribute = true,
                                                    .mtextAttributeContent = uR"({\C1;Door}\Pleaf)",
                                                    .objectName = u"AcDbAttributeDefinition", .hasExtensionDictionary = false});
    Run();
    EXPECT_EQ(definition.mtextAttributeContent, uR"({\C1;DOOR}\PLEAF)");
    EXPECT_EQ(definition.textString, u"Door leaf");
    EXPECT_EQ(definition.updates, 1);
}

// A content that is no text (type mismatch), or that cannot be read, is reported with no attribute
// of the block written.
TEST_F(CommandTest, ContentThatCannotBeReadWritesNothing) {
    struct Case {
        std::int32_t number;
        std::u16string message;
    };
    for (const auto& [number, message] : {Case{error_number::kTypeMismatch, u"error: -2147352571"},
                                          Case{kFailed, u"error: -2147467259"}}) {
        fakes::CallLog rowLog;
        fakes::FakeCaseDialog rowDialog{rowLog};
        fakes::FakeCadLink rowCad{rowLog};
        fakes::FakeEntity& block = rowCad.PickBlockOf(
            {{.textString = u"one", .objectName = u"AcDbAttribute"},
             {.textString = u"two", .mtextAttribute = true, .mtextAttributeContent = u"{two}", .objectName = u"AcDbAttribute"}});
        rowCad.FailAt("ATTRIB2.ReadMTextAttributeContent", number);
        cmdSelect_Click(rowDialog, rowCad);
        EXPECT_EQ(rowDialog.Messages().back().text, message);
        EXPECT_EQ(block.attributes[0]->textString, u"one");
        EXPECT_EQ(block.attributes[1]->mtextAttributeContent, u"{two}");
        for (const std::string& call : rowLog.Calls()) EXPECT_EQ(call.find("Write"), std::string::npos) << call;
    }
}

// A field is looked for as the dictionary's entry of its name: a failure to look it up (a busy
// application, an exception) is no "no field", and no attribute of the block is written.
TEST_F(CommandTest, FieldLookupThatFailsWritesNothing) {
    for (const std::int32_t number : {error_number::kCallRejected, error_number::kApplicationException, kFailed}) {
        fakes::CallLog rowLog;
        fakes::FakeCaseDialog rowDialog{rowLog};
        fakes::FakeCadLink rowCad{rowLog};
        fakes::FakeEntity& block = rowCad.PickBlockOf(
            {{.textString = u"one", .objectName = u"AcDbAttribute", .hasExtensionDictionary = true},
             {.textString = u"two", .objectName = u"AcDbAttribute", .hasExtensionDictionary = true}});
        rowCad.FailAt("ATTRIB2.ExtensionDictionaryHolds", number);
        cmdSelect_Click(rowDialog, rowCad);
        ASSERT_FALSE(rowDialog.Messages().empty());
        const std::string digits = std::to_string(number);
        EXPECT_EQ(rowDialog.Messages().back().text, u"error: " + std::u16string(digits.begin(), digits.end()));
        EXPECT_EQ(block.attributes[0]->textString, u"one");
        EXPECT_EQ(block.attributes[1]->textString, u"two");
        for (const std::string& call : rowLog.Calls()) EXPECT_EQ(call.find("Write"), std::string::npos) << call;
    }
}

// An empty text is neither written nor redrawn, in every kind: no case changes it, and writing it
// may change what the entity shows (a multileader whose content is a block reads "").
TEST_F(CommandTest, EmptyTextsAreNotWritten) {
    fakes::FakeEntity& text = cad.PickText(u"");
    Run();
    fakes::FakeEntity& leader = cad.PickEntity({.textString = u"", .objectName = u"AcDbMLeader"});
    Run();
    fakes::FakeEntity& block = cad.PickBlock({u"", u"b"});
    Run();
    for (const fakes::FakeEntity* entity : {&text, &leader, block.attributes[0]}) {
        EXPECT_EQ(entity->textString, u"");
        EXPECT_EQ(entity->updates, 0);
    }
    EXPECT_EQ(block.attributes[1]->textString, u"B");
    EXPECT_FALSE(Called("WriteTextString()"));
    EXPECT_FALSE(Called("ATTRIB1.WriteTextString()"));
    EXPECT_TRUE(dialog.Messages().empty());
}

// A text emptied while the underline box waited is not written either.
TEST_F(CommandTest, TextEmptiedDuringTheBoxIsNotWritten) {
    fakes::FakeEntity& text = cad.PickText(u"%%Unote");
    log.Observe([&](std::string_view call) {
        if (call.starts_with("ShowMessage")) text.textString = u"";
    });
    Run();
    EXPECT_EQ(text.textString, u"");
    EXPECT_EQ(text.updates, 0);
}

}  // namespace
}  // namespace morvane
