// What a drawing keeps besides its texts: fields, extension dictionaries, multileaders, tolerances.

#include <gtest/gtest.h>

#include <string>

#include "cadstandin/field_text.h"
#include "cadstandin/scenario.h"

namespace cadstandin {
namespace {

constexpr int kNewerRelease = 25;
const char16_t kDate[] = uR"(%<\AcVar Date \f "M/d/yyyy">%)";

const EntityDefinition& Named(const Scenario& scenario, const std::string& id) {
    for (const EntityDefinition& definition : scenario.entities) {
        if (definition.id == id) return definition;
    }
    throw std::runtime_error("no entity " + id);
}

// Rule: TextString shows each outermost field expression as its declared value (nested ones inside
// it included), an undeclared one as "####", and a "%<" never closed as text.
struct ShownCase {
    const char* name;
    std::u16string code;
    std::u16string shown;
};

class FieldsShown : public testing::TestWithParam<ShownCase> {};

TEST_P(FieldsShown, AsTheirValues) {
    const std::vector<FieldDeclaration> fields = {
        {"t1", kDate, u"12/10/2026"},
        {"t1", uR"(%<\AcObjProp Object(%<\_ObjId 42>%).Area>%)", u"12.5"},
        {"t2", kDate, u"1/1/2000"},
    };
    EXPECT_EQ(ShowFields(GetParam().code, fields, "t1"), GetParam().shown);
}

const ShownCase kShownCases[] = {
    {"NoField", u"plain %% text", u"plain %% text"},
    {"DateAmidText", u"Plotted " + std::u16string(kDate) + u" by me", u"Plotted 12/10/2026 by me"},
    {"Nested", uR"(Area: %<\AcObjProp Object(%<\_ObjId 42>%).Area>% m2)", u"Area: 12.5 m2"},
    {"TwoFields", std::u16string(kDate) + u"/" + kDate, u"12/10/2026/12/10/2026"},
    {"UndeclaredShowsHashes", uR"(x %<\AcVar Author>% y)", u"x #### y"},
    {"UnclosedIsText", u"50%<60", u"50%<60"},
    {"OtherEntitysValueNotUsed", uR"(%<\AcVar Login>%)", u"####"},
};

INSTANTIATE_TEST_SUITE_P(Cases, FieldsShown, testing::ValuesIn(kShownCases),
                         [](const testing::TestParamInfo<ShownCase>& info) { return info.param.name; });

// Rule: a text whose scenario text holds expressions has fields: TextString the values, FieldCode the
// expressions; a field declared for one text does not show in another.
TEST(ScenarioFields, TextsWithExpressionsHaveFields) {
    const Scenario scenario = ParseScenario(
        "text t1 1 2 \"Plotted %<\\AcVar Date \\f \\\"M/d/yyyy\\\">%\"\n"
        "mtext m1 1 40 \"{\\C1;%<\\AcVar Date \\f \\\"M/d/yyyy\\\">%}\"\n"
        "text t2 1 80 \"no field\"\n"
        "field t1 \"%<\\AcVar Date \\f \\\"M/d/yyyy\\\">%\" \"12/10/2026\"\n",
        kNewerRelease);
    ASSERT_EQ(scenario.fields.size(), 1u);
    EXPECT_EQ(scenario.fields[0].expression, kDate);
    EXPECT_EQ(Named(scenario, "t1").text, u"Plotted 12/10/2026");
    EXPECT_EQ(Named(scenario, "t1").fieldCode, u"Plotted " + std::u16string(kDate));
    EXPECT_EQ(Named(scenario, "m1").text, uR"({\C1;####})");
    EXPECT_EQ(Named(scenario, "m1").fieldCode, uR"({\C1;)" + std::u16string(kDate) + u"}");
    EXPECT_TRUE(Named(scenario, "t2").fieldCode.empty());
}

// Rule: a written field code has its fields again, counted; a plain text written has none.
TEST(ScenarioFields, WrittenCodeBecomesFields) {
    const std::vector<FieldDeclaration> fields = {{"t1", kDate, u"12/10/2026"}};
    EntityDefinition text;
    text.id = "t1";
    EXPECT_EQ(SetFieldCode(text, u"PLOTTED " + std::u16string(kDate), fields), 1);
    EXPECT_EQ(text.text, u"PLOTTED 12/10/2026");
    EXPECT_EQ(text.fieldCode, u"PLOTTED " + std::u16string(kDate));
    EXPECT_EQ(SetFieldCode(text, u"PLOTTED 12/10/2026", fields), 0);
    EXPECT_EQ(text.text, u"PLOTTED 12/10/2026");
    EXPECT_TRUE(text.fieldCode.empty());
}

// Rule: release 15 has no fields: its texts keep "%<...>%" as plain text.
TEST(ScenarioFields, Release15TextsHaveNone) {
    const Scenario scenario = ParseScenario("text t1 1 2 \"%<\\AcVar Date>%\"\n");
    EXPECT_EQ(Named(scenario, "t1").text, uR"(%<\AcVar Date>%)");
    EXPECT_TRUE(Named(scenario, "t1").fieldCode.empty());
}

// Rule: extension dictionaries (with their entries' names, or empty), multileaders and tolerances are
// part of a scenario.
TEST(ScenarioKept, ReadsDictionariesMultileadersAndTolerances) {
    const Scenario scenario = ParseScenario(
        "block b1 1 2 \"TITLE\"\n"
        "attribute a1 b1 \"DATE\" \"12/10/2026\"\n"
        "attribute a2 b1 \"BY\" \"me\"\n"
        "dictionary a1 \"ACAD_FIELD\" \"OTHER\"\n"
        "dictionary a2\n"
        "mleader n1 10 20 \"first\\Psecond\"\n"
        "mleader n2 10 60 block \"DETAIL-TAG\"\n"
        "attdef e1 5 6 \"SHEET\" \"sheet 3\"\n"
        "multiline e1\n"
        "tolerance f1 30 40 \"{\\Fgdt;j}%%v{\\Fgdt;n}0.5%%v%%vA\"\n"
        "fail a1 HasExtensionDictionary.get 0x80004005\n"
        "fail a1.xdict Count.get 0x80004005\n"
        "fail doc StartUndoMark 0x80004005\n"
        "answer a2 HasExtensionDictionary.get number 7\n",
        kNewerRelease);
    EXPECT_TRUE(Named(scenario, "a1").hasDictionary);
    EXPECT_EQ(Named(scenario, "a1").dictionary, (std::vector<std::u16string>{u"ACAD_FIELD", u"OTHER"}));
    EXPECT_TRUE(Named(scenario, "a2").hasDictionary);
    EXPECT_TRUE(Named(scenario, "a2").dictionary.empty());
    EXPECT_FALSE(Named(scenario, "b1").hasDictionary);
    EXPECT_EQ(Named(scenario, "n1").kind, EntityKind::MLeader);
    EXPECT_EQ(Named(scenario, "n1").text, uR"(first\Psecond)");
    EXPECT_EQ(Named(scenario, "n2").text, u"") << "a multileader whose content is a block reads no text";
    EXPECT_EQ(Named(scenario, "n2").name, u"DETAIL-TAG");
    EXPECT_EQ(Named(scenario, "e1").kind, EntityKind::AttributeDefinition);
    EXPECT_EQ(Named(scenario, "e1").name, u"SHEET");
    EXPECT_EQ(scenario.multilineAttributes, (std::vector<std::string>{"e1"}));
    EXPECT_EQ(Named(scenario, "f1").kind, EntityKind::Tolerance);
    EXPECT_EQ(Named(scenario, "f1").text, uR"({\Fgdt;j}%%v{\Fgdt;n}0.5%%v%%vA)");
    EXPECT_EQ(scenario.failures.size(), 3u);
    EXPECT_EQ(scenario.failures[1].object, "a1.xdict");
}

// Rule: what the release does not have, or what names nothing, is refused with its reason.
struct RefusedCase {
    const char* name;
    const char* scenario;
    int release;
};

class KeptRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(KeptRefused, NamesTheProblem) {
    EXPECT_THROW((void)ParseScenario(GetParam().scenario, GetParam().release), ScenarioError);
}

const RefusedCase kRefusedCases[] = {
    {"MultileaderInRelease15", "mleader n1 1 2 \"x\"\n", 15},
    {"MultileaderInRelease16", "mleader n1 1 2 \"x\"\n", 16},
    {"FieldInRelease15", "text t1 1 2 \"%<\\AcVar Date>%\"\nfield t1 \"%<\\AcVar Date>%\" \"x\"\n", 15},
    {"FieldOfNoText", "line l1 1 2 3 4\nfield l1 \"%<\\AcVar Date>%\" \"x\"\n", kNewerRelease},
    {"FieldOfNobody", "text t1 1 2 \"x\"\nfield t9 \"%<\\AcVar Date>%\" \"x\"\n", kNewerRelease},
    {"FieldNotOneExpression", "text t1 1 2 \"x\"\nfield t1 \"a %<\\AcVar Date>%\" \"x\"\n", kNewerRelease},
    {"FieldUnclosed", "text t1 1 2 \"x\"\nfield t1 \"%<\\AcVar Date\" \"x\"\n", kNewerRelease},
    {"DictionaryBeforeItsEntity", "dictionary t1\ntext t1 1 2 \"x\"\n", kNewerRelease},
    {"DictionaryTwice", "text t1 1 2 \"x\"\ndictionary t1\ndictionary t1 \"A\"\n", kNewerRelease},
    {"DictionaryEntryUnquoted", "text t1 1 2 \"x\"\ndictionary t1 ACAD_FIELD\n", kNewerRelease},
    {"FailOnDictionaryOfNobody", "text t1 1 2 \"x\"\nfail t9.xdict Count.get 0x80004005\n", kNewerRelease},
    {"FailUnknownMember", "text t1 1 2 \"x\"\nfail t1 Erase 0x80004005\n", kNewerRelease},
    {"MultileaderOfNeither", "mleader n1 1 2 leader \"x\"\n", kNewerRelease},
};

INSTANTIATE_TEST_SUITE_P(Cases, KeptRefused, testing::ValuesIn(kRefusedCases),
                         [](const testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

// Rule: release 15's sample adds a tolerance only; from release 16 on a text with a date field and a
// title block whose sheet-number attribute keeps its field (ACAD_FIELD); from release 17 on a multileader.
TEST(ScenarioKept, SampleHasWhatEachReleaseHas) {
    const auto has = [](const Scenario& scenario, EntityKind kind) {
        for (const EntityDefinition& definition : scenario.entities) {
            if (definition.kind == kind) return true;
        }
        return false;
    };
    const auto fielded = [](const Scenario& scenario) {
        int texts = 0;
        int attributes = 0;
        for (const EntityDefinition& definition : scenario.entities) {
            if (!definition.fieldCode.empty() && definition.text.find(u"####") == std::u16string::npos) ++texts;
            if (definition.kind == EntityKind::Attribute && definition.dictionary == std::vector<std::u16string>{u"ACAD_FIELD"}) {
                ++attributes;
            }
        }
        return std::pair{texts, attributes};
    };
    const Scenario release15 = SampleScenario(15);
    EXPECT_TRUE(has(release15, EntityKind::Tolerance));
    EXPECT_FALSE(has(release15, EntityKind::MLeader));
    EXPECT_EQ(fielded(release15), (std::pair{0, 0}));
    EXPECT_FALSE(has(SampleScenario(16), EntityKind::MLeader));
    EXPECT_EQ(fielded(SampleScenario(16)), (std::pair{1, 1}));
    const Scenario newer = SampleScenario(kNewerRelease);
    EXPECT_TRUE(has(newer, EntityKind::Tolerance));
    EXPECT_TRUE(has(newer, EntityKind::MLeader));
    EXPECT_EQ(fielded(newer), (std::pair{1, 1}));
}

}  // namespace
}  // namespace cadstandin
