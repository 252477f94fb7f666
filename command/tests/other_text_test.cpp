#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "command/tests/command_fixture.h"
#include "failure/com_error_number.h"

namespace morvane {
namespace {

using namespace std::string_literals;

const Messages kRefused{{u"error: -2147467259", u"Morvane"}};

// A block's attributes are all converted with the underline rule, with no message, each written
// and redrawn once every one has been converted, in one undo step; U+0000 passes whole.
TEST_F(CommandTest, BlockAttributesConverted) {
    fakes::FakeEntity& block = cad.PickBlock({u"%%Utag one", u"Second\0part"s});
    dialog.Select(CaseMode::Lower);
    Run();
    EXPECT_EQ(block.attributes[0]->textString, u"%%utag one");
    EXPECT_EQ(block.attributes[1]->textString, u"second\0part"s);
    EXPECT_EQ(block.attributes[0]->updates, 1);
    EXPECT_EQ(block.attributes[1]->updates, 1);
    EXPECT_EQ(block.updates, 0);
    EXPECT_TRUE(dialog.Messages().empty());
    const std::vector<std::string> tail(Calls().end() - 17, Calls().end());
    const std::vector<std::string> expected{
        "SelectedCase", "ReadTextString", "HasAttributes", "GetAttributes",
        "ATTRIB1.ReadTextString", "ATTRIB1.HasExtensionDictionary", "ATTRIB1.ReadMTextAttribute",
        "ATTRIB2.ReadTextString", "ATTRIB2.HasExtensionDictionary", "ATTRIB2.ReadMTextAttribute", "StartUndoMark",
        "ATTRIB1.WriteTextString(%%utag one)", "ATTRIB1.Update", "ATTRIB2.WriteTextString(second\\u0000part)",
        "ATTRIB2.Update", "EndUndoMark", "Show"};
    EXPECT_EQ(tail, expected);
    EXPECT_EQ(LeftoverHandles(), 0);
}

// One attribute too long for the underline code ends in "error: 6" with no attribute written.
TEST_F(CommandTest, AttributeOverflowWritesNoAttribute) {
    fakes::FakeEntity& block = cad.PickBlock({u"first", u"%%U" + std::u16string(32768, u'x')});
    Run();
    EXPECT_EQ(dialog.Messages(), (Messages{{u"error: 6", u"Morvane"}}));
    EXPECT_EQ(block.attributes[0]->textString, u"first");
    EXPECT_EQ(block.attributes[0]->updates, 0);
    EXPECT_TRUE(dialog.Visible());
    EXPECT_EQ(LeftoverHandles(), 0);
}

// Every attribute is asked whether it is multiline. A multiline attribute whose release has no
// MTextAttributeContent (438) is formatted text in its TextString, its codes kept; one that does not
// answer (438), or answers false, is plain text and converted as every attribute is.
TEST_F(CommandTest, MultilineAttributesKeepTheirCodes) {
    fakes::FakeEntity& block =
        cad.PickBlock({u"Plain Text", u"{Braced}", u"C:\\Plans", u"First\\PSecond", u"%%U{\\LNote}"},
                      {true, false, std::nullopt, true, true});
    dialog.Select(CaseMode::Lower);
    Run();
    EXPECT_TRUE(Called("ATTRIB1.ReadMTextAttribute")) << "asked whether or not the text holds a code";
    EXPECT_EQ(block.attributes[0]->textString, u"plain text");
    EXPECT_EQ(block.attributes[1]->textString, u"{braced}");
    EXPECT_EQ(block.attributes[2]->textString, u"c:\\plans");
    EXPECT_EQ(block.attributes[3]->textString, u"first\\Psecond");
    EXPECT_EQ(block.attributes[4]->textString, u"%%u{\\Lnote}");
    EXPECT_EQ(block.attributes[3]->updates, 1);
    EXPECT_TRUE(dialog.Messages().empty());
    EXPECT_EQ(LeftoverHandles(), 0);
}

// A multiline attribute that cannot say whether it is one (any failure but 438) ends in the
// dispatch with no attribute of the block written.
TEST_F(CommandTest, MultilineQuestionRefusedWritesNoAttribute) {
    fakes::FakeEntity& block = cad.PickBlock({u"one", u"{two}"}, {false, true});
    cad.FailAt("ATTRIB2.ReadMTextAttribute", kFailed);
    Run();
    EXPECT_EQ(dialog.Messages(), kRefused);
    EXPECT_EQ(block.attributes[0]->textString, u"one");
    EXPECT_EQ(block.attributes[0]->updates, 0);
    EXPECT_FALSE(Called("ATTRIB1.WriteTextString(ONE)"));
    EXPECT_TRUE(dialog.Visible());
    EXPECT_EQ(LeftoverHandles(), 0);
}

// A dimension's override is converted like a text, with no message; an empty override (the
// measurement shown) stays empty and is neither written nor redrawn.
struct OverrideCase {
    const char* name;
    std::u16string before;
    std::u16string after;
    int updates;
};

const OverrideCase kOverrideCases[] = {
    {"Underlined", u"%%Uabc", u"%%uABC", 1},
    {"WithMeasurement", u"<> mm", u"<> MM", 1},
    {"EmbeddedNul", u"a\0b"s, u"A\0B"s, 1},
    {"Empty", u"", u"", 0},
};

void PrintTo(const OverrideCase& row, std::ostream* out) { *out << row.name; }

class DimensionOverride : public CommandTest, public ::testing::WithParamInterface<OverrideCase> {};

TEST_P(DimensionOverride, IsConverted) {
    const OverrideCase& row = GetParam();
    fakes::FakeEntity& dimension = cad.PickDimension(row.before);
    Run();
    EXPECT_EQ(dimension.textOverride, row.after);
    EXPECT_EQ(dimension.updates, row.updates);
    EXPECT_EQ(Called("WriteTextOverride(" + fakes::Readable(row.after) + ")"), row.updates == 1);
    EXPECT_TRUE(dialog.Messages().empty());
    EXPECT_EQ(Calls().back(), "Show");
    EXPECT_EQ(LeftoverHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Overrides, DimensionOverride, ::testing::ValuesIn(kOverrideCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An entity with no text of any kind (a line, a block without attributes) is left alone with no
// message, and the dialog comes back.
TEST_F(CommandTest, EntityWithoutTextIsLeftAlone) {
    for (const bool block : {false, true}) {
        SCOPED_TRACE(block ? "block without attributes" : "line");
        fakes::FakeEntity& entity = block ? cad.PickBlock({}) : cad.PickLine();
        Run();
        const std::vector<std::string> tail(Calls().end() - 6, Calls().end());
        const std::vector<std::string> expected{"SelectedCase", "ReadTextString", "HasAttributes",
                                                "ReadTextOverride", "ObjectName", "Show"};
        EXPECT_EQ(tail, expected);
        EXPECT_EQ(entity.updates, 0);
        EXPECT_TRUE(dialog.Messages().empty());
        EXPECT_TRUE(dialog.Visible());
        EXPECT_EQ(LeftoverHandles(), 0);
    }
}

// With no option selected a block or a dimension is not even asked for its text.
TEST_F(CommandTest, NoOptionSelectedLeavesOtherTextAlone) {
    dialog.Select(std::nullopt);
    fakes::FakeEntity& block = cad.PickBlock({u"abc"});
    Run();
    fakes::FakeEntity& dimension = cad.PickDimension(u"abc");
    Run();
    EXPECT_EQ(block.attributes[0]->textString, u"abc");
    EXPECT_EQ(dimension.textOverride, u"abc");
    EXPECT_FALSE(Called("HasAttributes"));
    EXPECT_FALSE(Called("ReadTextOverride"));
    EXPECT_EQ(Calls().back(), "Show");
}

// A failure inside the procedure goes through the same dispatch: by number, dialog shown, writes
// that succeeded kept. 438 means "not answered" only for HasAttributes and TextOverride reads;
// anywhere else it is reported, and the pick's exception number is reported as a number.
struct OtherFailureCase {
    const char* name;
    bool block;  // else a dimension
    const char* step;
    std::int32_t number;
    Messages messages;
    std::vector<std::u16string> after;  // the attributes' texts, or the override
};

const Messages k438Box{{u"error: 438", u"Morvane"}};

const OtherFailureCase kOtherFailureCases[] = {
    {"HasAttributesRefused", true, "HasAttributes", kFailed, kRefused, {u"one", u"two"}},
    {"GetAttributesUnknown", true, "GetAttributes", error_number::kNoSuchMember, k438Box, {u"one", u"two"}},
    {"AttributeReadRefused", true, "ATTRIB2.ReadTextString", kFailed, kRefused, {u"one", u"two"}},
    {"AttributeWriteMissedNumber", true, "ATTRIB1.WriteTextString", error_number::kApplicationException,
     {{u"error: -2147352567", u"Morvane"}}, {u"one", u"two"}},
    {"AttributeUpdateRefused", true, "ATTRIB2.Update", kFailed, kRefused, {u"ONE", u"TWO"}},
    {"AttributeUpdateUnknown", true, "ATTRIB1.Update", error_number::kNoSuchMember, k438Box, {u"ONE", u"two"}},
    {"OverrideReadRefused", false, "ReadTextOverride", kFailed, kRefused, {u"one"}},
    {"OverrideWriteRefused", false, "WriteTextOverride", kFailed, kRefused, {u"one"}},
    {"OverrideUpdateUnknown", false, "Update", error_number::kNoSuchMember, k438Box, {u"ONE"}},
};

void PrintTo(const OtherFailureCase& row, std::ostream* out) { *out << row.name; }

class OtherTextFailure : public CommandTest, public ::testing::WithParamInterface<OtherFailureCase> {};

TEST_P(OtherTextFailure, GoesThroughTheDispatch) {
    const OtherFailureCase& row = GetParam();
    fakes::FakeEntity& entity = row.block ? cad.PickBlock({u"one", u"two"}) : cad.PickDimension(u"one");
    cad.FailAt(row.step, row.number);
    Run();
    EXPECT_EQ(dialog.Messages(), row.messages);
    std::vector<std::u16string> after;
    if (row.block) {
        for (const fakes::FakeEntity* attribute : entity.attributes) after.push_back(*attribute->textString);
    } else {
        after.push_back(*entity.textOverride);
    }
    EXPECT_EQ(after, row.after);
    EXPECT_FALSE(row.block && Called("ReadTextOverride")) << "a block's failure is not a missing answer";
    EXPECT_EQ(Calls().back(), "Show");
    EXPECT_TRUE(dialog.Visible());
    EXPECT_EQ(LeftoverHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, OtherTextFailure, ::testing::ValuesIn(kOtherFailureCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvane
