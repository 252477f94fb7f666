// The drawing's layers (which ones are locked, which entity is on which) and its pre-selection, as a
// scenario describes them.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "cadstandin/scenario.h"

namespace cadstandin {
namespace {

constexpr int kNewerRelease = 25;

const EntityDefinition& Named(const Scenario& scenario, const std::string& id) {
    for (const EntityDefinition& definition : scenario.entities) {
        if (definition.id == id) return definition;
    }
    throw std::runtime_error("no entity " + id);
}

// Rule: every entity is on layer "0" until a layer line places it; an attribute has a layer of its
// own (its block's does not carry over); a layer is one whatever the case it is written in, and keeps
// the spelling it was first given; a lock line makes its layer exist, locked.
TEST(ScenarioLayers, EntitiesAreOnTheLayersTheLinesGive) {
    const Scenario scenario = ParseScenario(
        "text t1 1 2 \"a\"\n"
        "text t2 1 40 \"b\"\n"
        "block b1 100 2 \"DOOR\"\n"
        "attribute a1 b1 \"MAKER\" \"acme\"\n"
        "layer t2 Walls\n"
        "layer a1 WALLS\n"
        "lock walls\n"
        "lock Frozen-Notes\n"
        "layer b1 annotation\n");
    EXPECT_EQ(Named(scenario, "t1").layer, u"0");
    EXPECT_EQ(Named(scenario, "t2").layer, u"Walls");
    EXPECT_EQ(Named(scenario, "a1").layer, u"Walls") << "the layer's own spelling, not the line's";
    EXPECT_EQ(Named(scenario, "b1").layer, u"annotation");
    ASSERT_EQ(scenario.layers.size(), 4u);
    EXPECT_EQ(scenario.layers[0].name, u"0");
    EXPECT_FALSE(scenario.layers[0].locked);
    EXPECT_EQ(scenario.layers[1].name, u"Walls");
    EXPECT_TRUE(scenario.layers[1].locked) << "locked by another spelling of its name";
    EXPECT_EQ(scenario.layers[2].name, u"Frozen-Notes");
    EXPECT_TRUE(scenario.layers[2].locked);
    EXPECT_FALSE(scenario.layers[3].locked) << "named by a layer line only";
    ASSERT_NE(FindLayer(scenario, u"FROZEN-notes"), nullptr);
    EXPECT_EQ(FindLayer(scenario, u"FROZEN-notes")->name, u"Frozen-Notes");
    EXPECT_EQ(FindLayer(scenario, u"Frozen"), nullptr);
    EXPECT_EQ(LayerObjectName(scenario.layers[1].name), "layer.Walls");
}

// Rule: layer lines place the sample drawing's entities too (the sample is taken when the scenario
// has no entity of its own), and a drawing without layer lines has layer "0" alone, unlocked.
TEST(ScenarioLayers, LayerLinesPlaceTheSampleDrawing) {
    const Scenario scenario = ParseScenario("layer t1 NOTES\nlock notes\n", kNewerRelease);
    EXPECT_EQ(Named(scenario, "t1").layer, u"NOTES");
    EXPECT_EQ(Named(scenario, "t2").layer, u"0");
    EXPECT_TRUE(FindLayer(scenario, u"NOTES")->locked);

    const Scenario sample = SampleScenario(kNewerRelease);
    ASSERT_EQ(sample.layers.size(), 1u);
    EXPECT_EQ(sample.layers[0].name, u"0");
    EXPECT_FALSE(sample.layers[0].locked);
}

// Rule: the pre-selection keeps the order of its lines, an id may repeat, several lines append;
// there is none unless a scenario gives it, in the sample drawing of any release too.
TEST(ScenarioPreselection, InOrderWithRepeatsAcrossLines) {
    const Scenario scenario = ParseScenario(
        "text t1 1 2 \"a\"\ntext t2 1 40 \"b\"\nmtext m1 1 80 \"c\"\n"
        "preselect t2 t1 t2\n"
        "preselect m1\n");
    EXPECT_EQ(scenario.preselection, (std::vector<std::string>{"t2", "t1", "t2", "m1"}));
    EXPECT_TRUE(ParseScenario("text t1 1 2 \"a\"\n").preselection.empty());
    for (const int release : {15, 16, kNewerRelease}) {
        EXPECT_TRUE(SampleScenario(release).preselection.empty()) << "release " << release;
    }
    EXPECT_EQ(ParseScenario("preselect t1 d1\n").preselection, (std::vector<std::string>{"t1", "d1"}))
        << "the sample drawing's entities";
}

// Rule: the pre-selection ("pickfirst"), the layers ("layers") and each layer ("layer.<name>") fail,
// hang and answer oddly as the other objects do; so does an entity's Layer.
TEST(ScenarioPreselection, FailuresHangsAndAnswersAddressTheNewObjects) {
    const Scenario scenario = ParseScenario(
        "text t1 1 2 \"a\"\n"
        "layer t1 WALLS\n"
        "fail pickfirst Item 0x80004005\n"
        "fail pickfirst Clear 0x8007000E always\n"
        "fail layer.WALLS Lock.get 0x80004005\n"
        "fail t1 Layer.get 0x80004005\n"
        "fail doc PickfirstSelectionSet.get 0x80004005\n"
        "hang pickfirst Update 1\n"
        "hang layers Item 1\n"
        "answer pickfirst Count.get number -1\n"
        "answer pickfirst Item null\n"
        "answer layer.0 Lock.get number 1\n"
        "answer * Layer.get empty\n");
    ASSERT_EQ(scenario.failures.size(), 5u);
    EXPECT_EQ(scenario.failures[0].object, "pickfirst");
    EXPECT_EQ(scenario.failures[1].count, InjectedFailure::kAlways);
    EXPECT_EQ(scenario.failures[2].object, "layer.WALLS");
    ASSERT_EQ(scenario.hangs.size(), 2u);
    EXPECT_EQ(scenario.hangs[1].object, "layers");
    ASSERT_EQ(scenario.oddAnswers.size(), 4u);
    EXPECT_EQ(scenario.oddAnswers[0].operation, "Count.get");
    EXPECT_EQ(scenario.oddAnswers[0].number, -1);
    EXPECT_EQ(scenario.oddAnswers[1].operation, "Item");
    EXPECT_EQ(scenario.oddAnswers[1].kind, OddAnswerKind::Null);
}

// Rule: a layer or pre-selection line that names nothing, or names it wrongly, is refused with its reason.
struct RefusedCase {
    const char* name;
    const char* scenario;
    const char* reason;  // words the message holds
};

class LayerRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(LayerRefused, NamesTheProblem) {
    try {
        (void)ParseScenario(GetParam().scenario, kNewerRelease);
        ADD_FAILURE() << "accepted";
    } catch (const ScenarioError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().reason), std::string::npos) << error.what();
    }
}

const RefusedCase kRefusedCases[] = {
    {"PreselectNobody", "text t1 1 2 \"a\"\npreselect t1 t9\n", "preselect of unknown entity t9"},
    {"PreselectNothing", "text t1 1 2 \"a\"\npreselect\n", "missing entity id"},
    {"PreselectAnAttribute", "block b1 1 2 \"B\"\nattribute a1 b1 \"T\" \"v\"\npreselect a1\n", "select its block"},
    {"LayerOfNobody", "text t1 1 2 \"a\"\nlayer t9 WALLS\n", "line 2: no entity t9"},
    {"LayerGivenTwice", "text t1 1 2 \"a\"\nlayer t1 A\nlayer t1 B\n", "line 3: the layer of t1 is given twice"},
    {"LayerWithoutName", "text t1 1 2 \"a\"\nlayer t1\n", "missing layer name"},
    {"LayerNameQuoted", "text t1 1 2 \"a\"\nlayer t1 \"WALLS\"\n", "layer name must not be quoted"},
    {"LockOfTwo", "lock A B\n", "unexpected words"},
    {"FailOnALayerNotThere", "text t1 1 2 \"a\"\nfail layer.WALLS Lock.get 0x80004005\n", "fail on unknown object layer.WALLS"},
    {"FailOnALayerMisspelt", "text t1 1 2 \"a\"\nlock Walls\nfail layer.WALLS Lock.get 0x80004005\n",
     "fail on unknown object layer.WALLS"},
    {"AnswerOnTheDocument", "text t1 1 2 \"a\"\nanswer doc Count.get number 1\n", "answer on unknown object doc"},
    {"AnswerToClear", "text t1 1 2 \"a\"\nanswer pickfirst Clear empty\n", "can be answered oddly"},
    {"ItemOfACell", "text t1 1 2 \"a\"\nfail pickfirst Item 0x80004005 cell 0 0\n", "names a cell, but takes none"},
    {"EntityCalledPickfirst", "text pickfirst 1 2 \"a\"\n", "entity id pickfirst is reserved"},
    {"EntityCalledLayers", "text layers 1 2 \"a\"\n", "entity id layers is reserved"},
    {"EntityCalledLikeALayer", "text layer.0 1 2 \"a\"\n", "entity id layer.0 is reserved"},
};

INSTANTIATE_TEST_SUITE_P(Cases, LayerRefused, testing::ValuesIn(kRefusedCases),
                         [](const testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

}  // namespace
}  // namespace cadstandin
