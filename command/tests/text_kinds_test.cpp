#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "command/text_kinds.h"

// The table of kinds: which row the CAD application's name for an entity picks.

namespace morvane {
namespace {

struct NameCase {
    const char* name;
    std::optional<std::u16string_view> objectName;
    std::u16string_view kind;
};

const NameCase kNameCases[] = {
    {"Text", u"AcDbText", u"single-line text"},
    {"Nameless", std::nullopt, u"single-line text"},
    {"MText", u"AcDbMText", u"multiline text"},
    {"Multileader", u"AcDbMLeader", u"multileader"},
    {"AttributeDefinition", u"AcDbAttributeDefinition", u"attribute definition"},
    {"RotatedDimension", u"AcDbRotatedDimension", u"dimension override"},
    {"LargeRadialDimension", u"AcDbRadialDimensionLarge", u"dimension override"},
    {"ArcDimension", u"AcDbArcDimension", u"dimension override"},
    {"Table", u"AcDbTable", u"table cell"},
    {"ArcText", u"AcDbArcAlignedText", u"arc text"},
    {"Tolerance", u"AcDbFcf", u"tolerance"},
    {"Unknown", u"AcDbSomethingNew", u"a kind not known"},
    {"CaseMatters", u"acdbtext", u"a kind not known"},
};

class KindNamedTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(KindNamedTest, PicksTheRow) {
    EXPECT_EQ(KindNamed(GetParam().objectName).name, GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Names, KindNamedTest, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A multiline attribute reads as formatted text only where it says it is one.
TEST(TextKinds, AttributesReadAsTheySay) {
    EXPECT_EQ(FormatOf(text_kind::kAttribute, true), TextFormat::Formatted);
    EXPECT_EQ(FormatOf(text_kind::kAttribute, false), TextFormat::Plain);
    EXPECT_EQ(FormatOf(text_kind::kAttribute, std::nullopt), TextFormat::Plain);
    EXPECT_EQ(FormatOf(text_kind::kMultilineAttribute, std::nullopt), TextFormat::Formatted);
}

}  // namespace
}  // namespace morvane
