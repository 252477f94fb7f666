// The command's phases as the window sees them: the rule for each press in each phase, the
// phases one command goes through, the press remembered for after it, and the phase the real
// command is in at each of its calls.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "dialog/command_phase.h"
#include "dialog/select_text_command.h"
#include "failure/failure.h"
#include "testing/fakes/call_log.h"
#include "testing/fakes/fake_cad_link.h"
#include "testing/fakes/fake_case_dialog.h"

namespace morvane {

const char* PhaseName(CommandPhase phase) {
    switch (phase) {
    case CommandPhase::Idle: return "Idle";
    case CommandPhase::Attaching: return "Attaching";
    case CommandPhase::Picking: return "Picking";
    case CommandPhase::Writing: return "Writing";
    case CommandPhase::WaitingLong: return "WaitingLong";
    case CommandPhase::Ending: return "Ending";
    }
    return "?";
}

void PrintTo(CommandPhase phase, std::ostream* out) { *out << PhaseName(phase); }

void PrintTo(PhaseInput input, std::ostream* out) {
    constexpr const char* kNames[] = {"SelectText", "Cancel", "Escape", "OptionKey", "LongCallTimer", "Destroy"};
    *out << kNames[static_cast<int>(input)];
}

void PrintTo(PhaseAction action, std::ostream* out) {
    constexpr const char* kNames[] = {"Act", "Ignore", "Remember", "EndProcess"};
    *out << kNames[static_cast<int>(action)];
}

namespace {

constexpr CommandPhase kAllPhases[] = {CommandPhase::Idle,    CommandPhase::Attaching,   CommandPhase::Picking,
                                       CommandPhase::Writing, CommandPhase::WaitingLong, CommandPhase::Ending};
constexpr CommandPhase kRunningPhases[] = {CommandPhase::Attaching, CommandPhase::Picking, CommandPhase::Writing,
                                           CommandPhase::WaitingLong, CommandPhase::Ending};

struct RuleCase {
    const char* name;
    CommandPhase phase;
    PhaseInput input;
    PhaseAction action;
};

void PrintTo(const RuleCase& c, std::ostream* out) { *out << c.name; }

class PhaseRuleTest : public ::testing::TestWithParam<RuleCase> {};

// Each press does in each phase what the program has always done with it there.
TEST_P(PhaseRuleTest, PressDoesWhatThePhaseSays) {
    const RuleCase& c = GetParam();
    EXPECT_EQ(PhaseRule(c.phase, c.input), c.action);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PhaseRuleTest,
    ::testing::Values(
        RuleCase{"SelectWithNoCommandRunsIt", CommandPhase::Idle, PhaseInput::SelectText, PhaseAction::Act},
        RuleCase{"CancelWithNoCommandCloses", CommandPhase::Idle, PhaseInput::Cancel, PhaseAction::Act},
        // A second "Select Text" while a call waits is dropped, also in the window the timer brought back.
        RuleCase{"SelectWhileAttachingIsIgnored", CommandPhase::Attaching, PhaseInput::SelectText, PhaseAction::Ignore},
        RuleCase{"SelectWhilePickingIsIgnored", CommandPhase::Picking, PhaseInput::SelectText, PhaseAction::Ignore},
        RuleCase{"SelectWhileWritingIsIgnored", CommandPhase::Writing, PhaseInput::SelectText, PhaseAction::Ignore},
        RuleCase{"SelectWhileWaitingLongIsIgnored", CommandPhase::WaitingLong, PhaseInput::SelectText,
                 PhaseAction::Ignore},
        // Once the command has shown the window again a press counts: it runs after the command.
        RuleCase{"SelectWhileEndingIsRemembered", CommandPhase::Ending, PhaseInput::SelectText, PhaseAction::Remember},
        RuleCase{"CancelWhileEndingIsRemembered", CommandPhase::Ending, PhaseInput::Cancel, PhaseAction::Remember},
        // "Cancel" while a call waits ends the process before the call returns.
        RuleCase{"CancelWhileAttachingEndsTheProcess", CommandPhase::Attaching, PhaseInput::Cancel,
                 PhaseAction::EndProcess},
        RuleCase{"CancelWhilePickingEndsThePicksWait", CommandPhase::Picking, PhaseInput::Cancel, PhaseAction::EndProcess},
        RuleCase{"CancelWhileWritingEndsTheProcess", CommandPhase::Writing, PhaseInput::Cancel, PhaseAction::EndProcess},
        RuleCase{"CancelWhileWaitingLongEndsTheProcess", CommandPhase::WaitingLong, PhaseInput::Cancel,
                 PhaseAction::EndProcess},
        // The long-call timer shows the window only for a call after the pick, and only once.
        RuleCase{"TimerWhileWritingShowsTheWindow", CommandPhase::Writing, PhaseInput::LongCallTimer, PhaseAction::Act},
        RuleCase{"TimerWhilePickingLeavesTheWindowHidden", CommandPhase::Picking, PhaseInput::LongCallTimer,
                 PhaseAction::Ignore},
        RuleCase{"TimerWhileWaitingLongDoesNothingMore", CommandPhase::WaitingLong, PhaseInput::LongCallTimer,
                 PhaseAction::Ignore},
        RuleCase{"TimerOnceTheCommandShowedTheWindowIsLate", CommandPhase::Ending, PhaseInput::LongCallTimer,
                 PhaseAction::Ignore},
        RuleCase{"TimerAfterTheCommandIsLate", CommandPhase::Idle, PhaseInput::LongCallTimer, PhaseAction::Ignore},
        // The option chosen while a call waits is the one the command converts with.
        RuleCase{"OptionWhileAttachingIsSelected", CommandPhase::Attaching, PhaseInput::OptionKey, PhaseAction::Act},
        RuleCase{"OptionWhileWaitingLongIsSelected", CommandPhase::WaitingLong, PhaseInput::OptionKey, PhaseAction::Act},
        RuleCase{"DestroyWhileWritingLetsThePickGo", CommandPhase::Writing, PhaseInput::Destroy, PhaseAction::Act}),
    [](const ::testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

// Whatever the phase, "Cancel" is never dropped (it closes, ends the process or waits for the
// command's end), "Select Text" never ends the process nor starts a second command while one runs,
// and Escape closes nothing.
TEST(PhaseRules, CancelIsNeverLostAndOnlyAnIdleWindowRunsTheCommand) {
    for (CommandPhase phase : kAllPhases) {
        SCOPED_TRACE(PhaseName(phase));
        EXPECT_NE(PhaseRule(phase, PhaseInput::Cancel), PhaseAction::Ignore);
        EXPECT_EQ(PhaseRule(phase, PhaseInput::Escape), PhaseAction::Ignore);
        EXPECT_EQ(PhaseRule(phase, PhaseInput::OptionKey), PhaseAction::Act);
        EXPECT_EQ(PhaseRule(phase, PhaseInput::Destroy), PhaseAction::Act);
    }
    for (CommandPhase phase : kRunningPhases) {
        SCOPED_TRACE(PhaseName(phase));
        const PhaseAction select = PhaseRule(phase, PhaseInput::SelectText);
        EXPECT_TRUE(select == PhaseAction::Ignore || select == PhaseAction::Remember);
        EXPECT_TRUE(ShowsWaitCursor(phase));
    }
    EXPECT_FALSE(ShowsWaitCursor(CommandPhase::Idle));
}

// A command whose write hangs: "Select Text" starts it, the command's own reports move it through
// the pick, the timer brings the window back once, and the command's Show and end close it.
TEST(CommandPhases, ACommandWithAHangingWriteGoesThroughEveryPhase) {
    CommandPhases phases;
    ASSERT_EQ(phases.On(PhaseInput::SelectText), PhaseAction::Act);
    EXPECT_EQ(phases.Phase(), CommandPhase::Attaching);
    phases.Hidden();
    EXPECT_EQ(phases.Phase(), CommandPhase::Picking);
    EXPECT_TRUE(phases.PickDone());
    EXPECT_EQ(phases.Phase(), CommandPhase::Writing);
    EXPECT_EQ(phases.On(PhaseInput::LongCallTimer), PhaseAction::Act);
    EXPECT_EQ(phases.Phase(), CommandPhase::WaitingLong);
    EXPECT_EQ(phases.On(PhaseInput::LongCallTimer), PhaseAction::Ignore);
    EXPECT_EQ(phases.On(PhaseInput::SelectText), PhaseAction::Ignore);
    EXPECT_EQ(phases.Phase(), CommandPhase::WaitingLong);
    phases.Shown();
    EXPECT_EQ(phases.Phase(), CommandPhase::Ending);
    EXPECT_EQ(phases.End(), std::nullopt);
    EXPECT_EQ(phases.Phase(), CommandPhase::Idle);
}

// The window is hidden, shown and told of a pick outside a command too (and the command shows it
// again without a pick when it fails early): a report moves on only from its own phase, and only
// a pick under way arms the long-call timer.
TEST(CommandPhases, AReportOutsideItsPhaseChangesNothing) {
    CommandPhases idle;
    idle.Hidden();
    idle.Shown();
    EXPECT_FALSE(idle.PickDone());
    EXPECT_EQ(idle.Phase(), CommandPhase::Idle);

    CommandPhases attaching;
    ASSERT_EQ(attaching.On(PhaseInput::SelectText), PhaseAction::Act);
    EXPECT_FALSE(attaching.PickDone());
    EXPECT_EQ(attaching.Phase(), CommandPhase::Attaching);
    attaching.Shown();  // a failure before the window was hidden
    EXPECT_EQ(attaching.Phase(), CommandPhase::Ending);
    attaching.Hidden();
    EXPECT_FALSE(attaching.PickDone());
    EXPECT_EQ(attaching.Phase(), CommandPhase::Ending);
}

struct RememberCase {
    const char* name;
    std::vector<PhaseInput> pressedWhileEnding;
    std::optional<PhaseInput> doneAfter;
};

void PrintTo(const RememberCase& c, std::ostream* out) { *out << c.name; }

class RememberTest : public ::testing::TestWithParam<RememberCase> {};

// Presses while the command ends are done once it has ended: one "Select Text" however often it
// was pressed, and a "Cancel" whatever came before or after it; each only once.
TEST_P(RememberTest, PressesWhileEndingAreDoneAfterTheCommand) {
    const RememberCase& c = GetParam();
    CommandPhases phases;
    ASSERT_EQ(phases.On(PhaseInput::SelectText), PhaseAction::Act);
    // Pressed before the command showed the window again: dropped, not remembered.
    EXPECT_EQ(phases.On(PhaseInput::SelectText), PhaseAction::Ignore);
    phases.Shown();
    for (PhaseInput press : c.pressedWhileEnding) {
        EXPECT_EQ(phases.On(press), PhaseAction::Remember);
    }
    EXPECT_EQ(phases.End(), c.doneAfter);
    EXPECT_EQ(phases.End(), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Presses, RememberTest,
    ::testing::Values(RememberCase{"Nothing", {}, std::nullopt},
                      RememberCase{"Select", {PhaseInput::SelectText}, PhaseInput::SelectText},
                      RememberCase{"SelectTwice", {PhaseInput::SelectText, PhaseInput::SelectText}, PhaseInput::SelectText},
                      RememberCase{"Cancel", {PhaseInput::Cancel}, PhaseInput::Cancel},
                      RememberCase{"SelectThenCancel", {PhaseInput::SelectText, PhaseInput::Cancel}, PhaseInput::Cancel},
                      RememberCase{"CancelThenSelect", {PhaseInput::Cancel, PhaseInput::SelectText}, PhaseInput::Cancel}),
    [](const ::testing::TestParamInfo<RememberCase>& info) { return std::string(info.param.name); });

// The dialog the window is, as far as the phases go: each of its reports moves the phase before
// the report is logged.
class PhasedDialog : public fakes::FakeCaseDialog {
public:
    using FakeCaseDialog::FakeCaseDialog;
    void Hide() override {
        phases.Hidden();
        FakeCaseDialog::Hide();
    }
    void PickDone() override { (void)phases.PickDone(); }
    void Show() override {
        phases.Shown();
        FakeCaseDialog::Show();
    }

    CommandPhases phases;
};

struct RoadCase {
    const char* name;
    std::function<void(fakes::FakeCadLink&)> arrange;
    // The phase at each call, in the order of the calls: the next call of that name ("Show"), or
    // the next that starts with the text when it holds an argument ("ShowMessage(note").
    std::vector<std::pair<std::string, CommandPhase>> phaseAt;
    // Once the command has returned.
    CommandPhase last;
};

bool IsCall(std::string_view call, std::string_view text) {
    return text.find('(') != std::string_view::npos ? call.starts_with(text) : call.substr(0, call.find('(')) == text;
}

void PrintTo(const RoadCase& c, std::ostream* out) { *out << c.name; }

class CommandRoadTest : public ::testing::TestWithParam<RoadCase> {};

// The real command reports its phases where the rules need them: everything up to hiding the window
// is Attaching, the pick and its failure box are Picking, every read, write and box after the pick
// is Writing, and the window shown again is the command's last act (Ending).
TEST_P(CommandRoadTest, TheCommandIsInTheRightPhaseAtEachCall) {
    const RoadCase& c = GetParam();
    fakes::CallLog log;
    fakes::FakeCadLink cad{log};
    PhasedDialog dialog{log};
    c.arrange(cad);
    std::vector<std::pair<std::string, CommandPhase>> seen;
    log.Observe([&](std::string_view call) { seen.emplace_back(std::string(call), dialog.phases.Phase()); });
    ASSERT_EQ(dialog.phases.On(PhaseInput::SelectText), PhaseAction::Act);
    cmdSelect_Click(dialog, cad);

    std::size_t from = 0;
    for (const auto& [prefix, phase] : c.phaseAt) {
        SCOPED_TRACE(prefix);
        while (from < seen.size() && !IsCall(seen[from].first, prefix)) ++from;
        ASSERT_LT(from, seen.size()) << "no such call after the ones before";
        EXPECT_EQ(seen[from].second, phase);
    }
    EXPECT_EQ(dialog.phases.Phase(), c.last);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandRoadTest,
    ::testing::Values(
        RoadCase{"UnderlinedText",
                 [](fakes::FakeCadLink& cad) { cad.PickText(u"%%Unote"); },
                 {{"Attach", CommandPhase::Attaching},
                  {"BringWindowToFront", CommandPhase::Attaching},
                  {"Hide", CommandPhase::Picking},
                  {"Utility", CommandPhase::Picking},
                  {"GetEntity", CommandPhase::Picking},
                  {"ReadTextString", CommandPhase::Writing},
                  {"ShowMessage(note|Morvane)", CommandPhase::Writing},
                  {"WriteTextString", CommandPhase::Writing},
                  {"Update", CommandPhase::Writing},
                  {"Show", CommandPhase::Ending}},
                 CommandPhase::Ending},
        RoadCase{"MissedPick",
                 [](fakes::FakeCadLink&) {},
                 {{"GetEntity", CommandPhase::Picking},
                  {"ShowMessage(Missed the object", CommandPhase::Picking},
                  {"Show", CommandPhase::Ending}},
                 CommandPhase::Ending},
        RoadCase{"NotRunning",
                 [](fakes::FakeCadLink& cad) { cad.FailAt("Attach", error_number::kCannotAttach); },
                 {{"Attach", CommandPhase::Attaching}, {"ShowMessage(Please start AutoCAD", CommandPhase::Attaching}},
                 // The window never left the screen: the command does not show it again.
                 CommandPhase::Attaching},
        RoadCase{"WriteRefused",
                 [](fakes::FakeCadLink& cad) {
                     cad.PickText(u"abc");
                     cad.FailAt("WriteTextString", -2147467259);
                 },
                 {{"WriteTextString", CommandPhase::Writing},
                  {"ShowMessage(error: -2147467259", CommandPhase::Writing},
                  {"Show", CommandPhase::Ending}},
                 CommandPhase::Ending}),
    [](const ::testing::TestParamInfo<RoadCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvane
