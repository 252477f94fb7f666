#include "cadlink/release_progid.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace morvane {
namespace {

struct ProgIdCase {
    const char* name;
    std::u16string progId;
    std::optional<CadRelease> release;
};

class ReleaseOfProgIdTest : public testing::TestWithParam<ProgIdCase> {};

// Rule: "AutoCAD.Application." in any case, then a release of one or more numbers separated by
// dots, and nothing else.
TEST_P(ReleaseOfProgIdTest, NamesAReleaseOrNone) {
    EXPECT_EQ(ReleaseOfProgId(GetParam().progId), GetParam().release);
}

const ProgIdCase kProgIds[] = {
    {"Release15", u"AutoCad.Application.15", CadRelease{15}},
    {"Today", u"AutoCAD.Application.25", CadRelease{25}},
    {"PointRelease", u"AutoCAD.Application.24.1", CadRelease{24, 1}},
    {"NotYetReleased", u"autocad.application.31.4.2", CadRelease{31, 4, 2}},
    {"VersionIndependent", u"AutoCAD.Application", std::nullopt},
    {"DotButNoRelease", u"AutoCAD.Application.", std::nullopt},
    {"TrailingDot", u"AutoCAD.Application.25.", std::nullopt},
    {"NotANumber", u"AutoCAD.Application.Beta", std::nullopt},
    {"SomethingAfter", u"AutoCAD.Application.25x", std::nullopt},
    {"OtherApplication", u"AutoCAD.Document.25", std::nullopt},
    {"PrefixInside", u"My.AutoCAD.Application.25", std::nullopt},
    {"TooLargeANumber", u"AutoCAD.Application.99999999999", std::nullopt},
    {"Empty", u"", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(ProgIds, ReleaseOfProgIdTest, testing::ValuesIn(kProgIds),
                         [](const auto& info) { return std::string(info.param.name); });

// Rule: the newest release is the highest number, compared part by part as numbers.
TEST(CadReleaseTest, NewerIsTheHigherNumberPartByPart) {
    EXPECT_LT(*ReleaseOfProgId(u"AutoCAD.Application.9"), *ReleaseOfProgId(u"AutoCAD.Application.15"));
    EXPECT_LT(*ReleaseOfProgId(u"AutoCAD.Application.24"), *ReleaseOfProgId(u"AutoCAD.Application.24.1"));
    EXPECT_LT(*ReleaseOfProgId(u"AutoCAD.Application.24.3"), *ReleaseOfProgId(u"AutoCAD.Application.25"));
    EXPECT_LT(*ReleaseOfProgId(u"AutoCAD.Application.24.9"), *ReleaseOfProgId(u"AutoCAD.Application.24.10"));
}

}  // namespace
}  // namespace morvane
