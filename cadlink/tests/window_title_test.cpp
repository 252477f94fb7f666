#include "cadlink/window_title.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace morvane {
namespace {

struct TitleCase {
    const char* name;
    std::vector<std::u16string> titles;  // front to back
    std::u16string wanted;
    std::optional<std::size_t> chosen;
};

class ChooseWindowByTitleTest : public testing::TestWithParam<TitleCase> {};

// Rule: the exact title wins wherever it lies; otherwise the frontmost title that begins with the
// text; nothing matches an empty text or a text found only inside a title.
TEST_P(ChooseWindowByTitleTest, PicksExactThenPrefix) {
    const TitleCase& c = GetParam();
    EXPECT_EQ(ChooseWindowByTitle(c.titles, c.wanted), c.chosen);
}

const TitleCase kCases[] = {
    {"ExactOnly", {u"Notepad", u"AutoCAD 2000"}, u"AutoCAD 2000", 1},
    {"ExactBehindPrefix", {u"AutoCAD 2000 - [Drawing1.dwg]", u"AutoCAD 2000"}, u"AutoCAD 2000", 1},
    {"FrontmostPrefix", {u"Notepad", u"AutoCAD - [a.dwg]", u"AutoCAD - [b.dwg]"}, u"AutoCAD", 1},
    {"NoMatch", {u"Notepad", u"Morvane"}, u"AutoCAD", std::nullopt},
    {"InsideTitleIsNoPrefix", {u"Drawing - AutoCAD"}, u"AutoCAD", std::nullopt},
    {"CaseMatters", {u"autocad"}, u"AutoCAD", std::nullopt},
    {"EmptyTextNamesNothing", {u"Notepad", u""}, u"", std::nullopt},
    {"NoWindows", {}, u"AutoCAD", std::nullopt},
    {"LongerThanTitle", {u"Auto"}, u"AutoCAD", std::nullopt},
    {"EmbeddedNulIsPartOfTitle", {std::u16string(u"CAD\0x", 5), std::u16string(u"CAD\0", 4)}, std::u16string(u"CAD\0", 4), 1},
};

INSTANTIATE_TEST_SUITE_P(Titles, ChooseWindowByTitleTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvane
