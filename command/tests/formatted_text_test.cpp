#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "command/tests/command_fixture.h"
#include "failure/com_error_number.h"

namespace morvane {
namespace {

using namespace std::string_literals;

// Which texts are formatted: a multiline text's TextString (told by ObjectName, asked only when the
// text holds "\", "{" or "}"), every dimension's override; everything else is plain text.
struct FormatCase {
    const char* name;
    enum class Entity { Text, MText, Dimension } entity;
    std::u16string before;
    CaseMode mode;
    std::u16string after;
    bool asksObjectName;
};

const FormatCase kFormatCases[] = {
    {"MTextUpper", FormatCase::Entity::MText, uR"({\fArial|b1;note}: see \Ldetail\l here)", CaseMode::Upper,
     uR"({\fArial|b1;NOTE}: SEE \LDETAIL\l HERE)", true},
    {"MTextLower", FormatCase::Entity::MText, uR"({\fArial|b1|i0|c0|p34;HELLO}\PWORLD)", CaseMode::Lower,
     uR"({\fArial|b1|i0|c0|p34;hello}\Pworld)", true},
    {"MTextTitle", FormatCase::Entity::MText, uR"(a {\C1;red} word)", CaseMode::Title, uR"(A {\C1;Red} Word)", true},
    {"MTextSentence", FormatCase::Entity::MText, uR"(END OF NOTE.\PNEXT ONE)", CaseMode::Sentence,
     uR"(End of note.\PNext one)", true},
    {"MTextWithoutCodes", FormatCase::Entity::MText, u"PLAIN words", CaseMode::Lower, u"plain words", false},
    {"TextKeepsConvertingCodes", FormatCase::Entity::Text, uR"(C:\PLANS)", CaseMode::Lower, uR"(c:\plans)", true},
    {"TextWithoutCodes", FormatCase::Entity::Text, u"Abc", CaseMode::Lower, u"abc", false},
    {"DimensionOverride", FormatCase::Entity::Dimension, uR"(<> MAX\XSEE NOTE)", CaseMode::Lower,
     uR"(<> max\Xsee note)", false},
    {"DimensionUnderlined", FormatCase::Entity::Dimension, uR"(%%U{\C1;abc} <>)", CaseMode::Upper,
     uR"(%%u{\C1;ABC} <>)", false},
};

void PrintTo(const FormatCase& row, std::ostream* out) { *out << row.name; }

class TextFormatChoice : public CommandTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(TextFormatChoice, DecidesWhatIsKept) {
    const FormatCase& row = GetParam();
    fakes::FakeEntity& entity = row.entity == FormatCase::Entity::Text        ? cad.PickText(row.before)
                                : row.entity == FormatCase::Entity::MText     ? cad.PickMText(row.before)
                                                                              : cad.PickDimension(row.before);
    dialog.Select(row.mode);
    Run();
    EXPECT_EQ(row.entity == FormatCase::Entity::Dimension ? entity.textOverride : entity.textString, row.after);
    EXPECT_EQ(entity.updates, 1);
    EXPECT_EQ(Called("ObjectName"), row.asksObjectName);
    EXPECT_TRUE(dialog.Messages().empty());
    EXPECT_EQ(Calls().back(), "Show");
    EXPECT_EQ(LeftoverHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Entities, TextFormatChoice, ::testing::ValuesIn(kFormatCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The underline code on a multiline text: ObjectName asked before the box (a tolerance shows
// none), the rest shown as it stands, the codes kept and "%%u" put back.
TEST_F(CommandTest, UnderlinedMText) {
    fakes::FakeEntity& text = cad.PickMText(uR"(%%U{\C1;ABC})");
    dialog.Select(CaseMode::Lower);
    Run();
    const std::vector<std::string> tail(Calls().end() - 9, Calls().end());
    const std::vector<std::string> expected{"ReadTextString", "ObjectName", R"(ShowMessage({\C1;ABC}|Morvane))",
                                            "ReadTextString", "ReadFieldCode", "HasExtensionDictionary",
                                            R"(WriteTextString(%%u{\C1;abc}))", "Update", "Show"};
    EXPECT_EQ(tail, expected);
    EXPECT_EQ(text.textString, uR"(%%u{\C1;abc})");
}

// A block's attributes stay plain text, codes and all.
TEST_F(CommandTest, AttributesStayPlain) {
    fakes::FakeEntity& block = cad.PickBlock({uR"(A\PB)"});
    dialog.Select(CaseMode::Lower);
    Run();
    EXPECT_EQ(block.attributes[0]->textString, uR"(a\pb)");
    EXPECT_FALSE(Called("ObjectName"));
    EXPECT_FALSE(Called("ATTRIB1.ObjectName"));
}

// What ObjectName may answer: 438 means plain text; any other failure (a wrong type included) goes
// to the dispatch with nothing written and nothing redrawn.
struct NameFailureCase {
    const char* name;
    std::int32_t number;
    Messages messages;
    std::u16string after;
};

const NameFailureCase kNameFailureCases[] = {
    {"NoSuchMemberIsPlain", error_number::kNoSuchMember, {}, uR"(a\pb)"},
    {"Refused", kFailed, {{u"error: -2147467259", u"Morvane"}}, uR"(A\PB)"},
    {"WrongType", error_number::kTypeMismatch, {{u"error: -2147352571", u"Morvane"}}, uR"(A\PB)"},
    {"MissedNumber", error_number::kApplicationException, {{u"error: -2147352567", u"Morvane"}}, uR"(A\PB)"},
};

void PrintTo(const NameFailureCase& row, std::ostream* out) { *out << row.name; }

class ObjectNameFailure : public CommandTest, public ::testing::WithParamInterface<NameFailureCase> {};

TEST_P(ObjectNameFailure, DecidesOrStops) {
    const NameFailureCase& row = GetParam();
    fakes::FakeEntity& text = cad.PickMText(uR"(A\PB)");
    cad.FailAt("ObjectName", row.number);
    dialog.Select(CaseMode::Lower);
    Run();
    EXPECT_EQ(dialog.Messages(), row.messages);
    EXPECT_EQ(text.textString, row.after);
    EXPECT_EQ(text.updates, row.after == uR"(A\PB)" ? 0 : 1);
    EXPECT_TRUE(dialog.Visible());
    EXPECT_EQ(Calls().back(), "Show");
    EXPECT_EQ(LeftoverHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Answers, ObjectNameFailure, ::testing::ValuesIn(kNameFailureCases),
                         [](const auto& info) { return std::string(info.param.name); });

// With no option selected a formatted text is not even asked what it is.
TEST_F(CommandTest, NoOptionSelectedAsksNoObjectName) {
    dialog.Select(std::nullopt);
    fakes::FakeEntity& text = cad.PickMText(uR"({\C1;ABC})");
    Run();
    EXPECT_FALSE(Called("ObjectName"));
    EXPECT_EQ(text.textString, uR"({\C1;ABC})");
    EXPECT_EQ(text.updates, 0);
}

}  // namespace
}  // namespace morvane
