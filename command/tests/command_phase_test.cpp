// The command's phases as the window sees them: the rule for each press in each phase, the
// phases one command goes through, the press remembered for after it, and the phase the real
// command is in at each of its calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "command/command_phase.h"
#include "command/select_text_command.h"
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
    constexpr const char* kNames[] = {"Act", "Ignore", "Remember", "CloseAfterCommand", "EndProcess", "CloseUndoGroupFirst"};
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
        // Once the command has shown the window again "Select Text" counts: it runs after the command.
        RuleCase{"SelectWhileEndingIsRemembered", CommandPhase::Ending, PhaseInput::SelectText, PhaseAction::Remember},
        // Letting go of the references is a call that may wait on a hung application: "Cancel"
        // hides the window at once and closes it once they are gone, the program bound to end within a second.
        RuleCase{"CancelWhileEndingClosesAfterTheCommand", CommandPhase::Ending, PhaseInput::Cancel,
                 PhaseAction::CloseAfterCommand},
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

// Whatever the phase, "Cancel" ends the program within a second (it closes the window, ends the
// process, or closes the window once the command has let go of its references); "Select Text" never ends the process nor starts a second command while one runs,
// and Escape closes nothing.
TEST(PhaseRules, CancelIsNeverLostAndOnlyAnIdleWindowRunsTheCommand) {
    for (CommandPhase phase : kAllPhases) {
        SCOPED_TRACE(PhaseName(phase));
        const PhaseAction cancel = PhaseRule(phase, PhaseInput::Cancel);
        EXPECT_TRUE(cancel == PhaseAction::Act || cancel == PhaseAction::EndProcess ||
                    cancel == PhaseAction::CloseAfterCommand)
            << "ends the program within a second";
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

// Inside an undo group, "Cancel" in the phases where it would end the process at once closes the
// group first; once it has, the long-call timer no longer brings the window back; everything else
// is as the table says.
TEST(PhaseRules, CancelInsideAnUndoGroupClosesItFirst) {
    constexpr PhaseInput kInputs[] = {PhaseInput::SelectText, PhaseInput::Cancel,        PhaseInput::Escape,
                                      PhaseInput::OptionKey,  PhaseInput::LongCallTimer, PhaseInput::Destroy};
    for (CommandPhase phase : kAllPhases) {
        for (PhaseInput input : kInputs) {
            SCOPED_TRACE(std::string(PhaseName(phase)) + " " + ::testing::PrintToString(input));
            const PhaseAction outside = PhaseRule(phase, input);
            const PhaseAction open = outside == PhaseAction::EndProcess ? PhaseAction::CloseUndoGroupFirst : outside;
            EXPECT_EQ(PhaseRule(phase, input, UndoGroupState::Open), open);
            EXPECT_EQ(PhaseRule(phase, input, UndoGroupState::Cancelled),
                      input == PhaseInput::LongCallTimer ? PhaseAction::Ignore : open);
        }
    }
}

// A command whose write hangs: "Select Text" starts it, the command moves it through the pick,
// the timer brings the window back once, and the command's last step and end close it.
TEST(CommandPhases, ACommandWithAHangingWriteGoesThroughEveryPhase) {
    CommandPhases phases;
    ASSERT_EQ(phases.On(PhaseInput::SelectText), PhaseAction::Act);
    EXPECT_EQ(phases.Phase(), CommandPhase::Attaching);
    phases.Enter(CommandPhase::Picking);
    EXPECT_EQ(phases.On(PhaseInput::LongCallTimer), PhaseAction::Ignore);
    phases.Enter(CommandPhase::Writing);
    EXPECT_EQ(phases.On(PhaseInput::LongCallTimer), PhaseAction::Act);
    EXPECT_EQ(phases.Phase(), CommandPhase::WaitingLong);
    EXPECT_EQ(phases.On(PhaseInput::LongCallTimer), PhaseAction::Ignore);
    EXPECT_EQ(phases.On(PhaseInput::SelectText), PhaseAction::Ignore);
    EXPECT_EQ(phases.Phase(), CommandPhase::WaitingLong);
    phases.Enter(CommandPhase::Ending);
    EXPECT_EQ(phases.End(), std::nullopt);
    EXPECT_EQ(phases.Phase(), CommandPhase::Idle);
}

// "Cancel" inside an undo group, once or twice: remembered for the command's end and asking the
// command to stop until it has ended, the timer no longer bringing the window back; the next
// command starts with none of it.
TEST(CommandPhases, CancelInsideAnUndoGroupWaitsForItsEnd) {
    CommandPhases phases;
    ASSERT_EQ(phases.On(PhaseInput::SelectText), PhaseAction::Act);
    phases.Enter(CommandPhase::Writing);
    phases.UndoGroup(true);
    EXPECT_FALSE(phases.CancelRequested());
    EXPECT_EQ(phases.On(PhaseInput::Cancel), PhaseAction::CloseUndoGroupFirst);
    EXPECT_TRUE(phases.CancelRequested());
    EXPECT_EQ(phases.On(PhaseInput::Cancel), PhaseAction::CloseUndoGroupFirst);
    EXPECT_EQ(phases.On(PhaseInput::LongCallTimer), PhaseAction::Ignore);
    EXPECT_EQ(phases.On(PhaseInput::SelectText), PhaseAction::Ignore);
    phases.UndoGroup(false);
    EXPECT_TRUE(phases.CancelRequested()) << "until the command has ended";
    EXPECT_EQ(phases.On(PhaseInput::LongCallTimer), PhaseAction::Ignore);
    phases.Enter(CommandPhase::Ending);
    EXPECT_EQ(phases.End(), PhaseInput::Cancel);
    EXPECT_FALSE(phases.CancelRequested());
    ASSERT_EQ(phases.On(PhaseInput::SelectText), PhaseAction::Act);
    phases.Enter(CommandPhase::Writing);
    EXPECT_EQ(phases.On(PhaseInput::Cancel), PhaseAction::EndProcess) << "no undo group open";
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
    phases.Enter(CommandPhase::Ending);
    for (PhaseInput press : c.pressedWhileEnding) {
        EXPECT_EQ(phases.On(press), press == PhaseInput::Cancel ? PhaseAction::CloseAfterCommand : PhaseAction::Remember);
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

// The real command moves its phase where the rules need it: everything up to the pick is Attaching,
// the pick and its failure box are Picking, every read, write and box after the pick is Writing,
// and once the window is shown again (or was never hidden) the command only ends (Ending).
TEST_P(CommandRoadTest, TheCommandIsInTheRightPhaseAtEachCall) {
    const RoadCase& c = GetParam();
    fakes::CallLog log;
    fakes::FakeCadLink cad{log};
    fakes::FakeCaseDialog dialog{log};
    c.arrange(cad);
    std::vector<std::pair<std::string, CommandPhase>> seen;
    log.Observe([&](std::string_view call) { seen.emplace_back(std::string(call), dialog.Phase()); });
    ASSERT_EQ(dialog.Press(PhaseInput::SelectText), PhaseAction::Act);
    cmdSelect_Click(dialog, cad);

    std::size_t from = 0;
    for (const auto& [prefix, phase] : c.phaseAt) {
        SCOPED_TRACE(prefix);
        while (from < seen.size() && !IsCall(seen[from].first, prefix)) ++from;
        ASSERT_LT(from, seen.size()) << "no such call after the ones before";
        EXPECT_EQ(seen[from].second, phase);
    }
    EXPECT_EQ(dialog.Phase(), c.last);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandRoadTest,
    ::testing::Values(
        RoadCase{"UnderlinedText",
                 [](fakes::FakeCadLink& cad) { cad.PickText(u"%%Unote"); },
                 {{"Attach", CommandPhase::Attaching},
                  {"BringWindowToFront", CommandPhase::Attaching},
                  {"Hide", CommandPhase::Attaching},
                  {"Utility", CommandPhase::Attaching},
                  {"GetEntity", CommandPhase::Picking},
                  {"SelectedCase", CommandPhase::Picking},
                  {"ReadTextString", CommandPhase::Writing},
                  {"ShowMessage(note|Morvane)", CommandPhase::Writing},
                  {"WriteTextString", CommandPhase::Writing},
                  {"Update", CommandPhase::Writing},
                  {"Show", CommandPhase::Writing}},
                 CommandPhase::Ending},
        RoadCase{"MissedPick",
                 [](fakes::FakeCadLink&) {},
                 {{"GetEntity", CommandPhase::Picking},
                  {"ShowMessage(Missed the object", CommandPhase::Picking},
                  {"Show", CommandPhase::Picking}},
                 CommandPhase::Ending},
        RoadCase{"NotRunning",
                 [](fakes::FakeCadLink& cad) { cad.FailAt("Attach", error_number::kCannotAttach); },
                 {{"Attach", CommandPhase::Attaching}, {"ShowMessage(Please start AutoCAD", CommandPhase::Attaching}},
                 CommandPhase::Ending},
        RoadCase{"WriteRefused",
                 [](fakes::FakeCadLink& cad) {
                     cad.PickText(u"abc");
                     cad.FailAt("WriteTextString", -2147467259);
                 },
                 {{"WriteTextString", CommandPhase::Writing},
                  {"ShowMessage(error: -2147467259", CommandPhase::Writing},
                  {"Show", CommandPhase::Writing}},
                 CommandPhase::Ending}),
    [](const ::testing::TestParamInfo<RoadCase>& info) { return std::string(info.param.name); });

// "Cancel" pressed while one of the command's calls inside an undo group waits, and how the CAD
// application answers the calls after it.
struct GroupCancelCase {
    const char* name;
    std::string pressedDuring;      // the call that waits when "Cancel" comes
    std::string failing;            // a call that fails (none: "")
    std::vector<std::string> tail;  // the command's calls from StartUndoMark on
};

void PrintTo(const GroupCancelCase& c, std::ostream* out) { *out << c.name; }

class GroupCancelTest : public ::testing::TestWithParam<GroupCancelCase> {};

// "Cancel" inside an undo group: the call under way finishes, nothing more is written, EndUndoMark
// is sent whatever the calls answer, the command shows neither the window nor a message, and the
// "Cancel" is done once the command has returned.
TEST_P(GroupCancelTest, TheGroupIsClosedAndNothingMoreIsWritten) {
    const GroupCancelCase& c = GetParam();
    fakes::CallLog log;
    fakes::FakeCadLink cad{log};
    fakes::FakeCaseDialog dialog{log};
    cad.PickBlock({u"one", u"two", u"three"});
    if (!c.failing.empty()) cad.FailAt(c.failing, -2147467259);
    std::optional<PhaseAction> cancel;
    log.Observe([&](std::string_view call) {
        if (call == c.pressedDuring && !cancel) cancel = dialog.Press(PhaseInput::Cancel);
    });
    ASSERT_EQ(dialog.Press(PhaseInput::SelectText), PhaseAction::Act);
    cmdSelect_Click(dialog, cad);
    log.Observe(nullptr);

    EXPECT_EQ(cancel, PhaseAction::CloseUndoGroupFirst);
    const std::vector<std::string>& calls = log.Calls();
    const auto start = std::find(calls.begin(), calls.end(), "StartUndoMark");
    ASSERT_NE(start, calls.end());
    EXPECT_EQ(std::vector<std::string>(start, calls.end()), c.tail);
    EXPECT_TRUE(dialog.Messages().empty());
    EXPECT_EQ(dialog.Phase(), CommandPhase::Ending);
    EXPECT_TRUE(dialog.CancelRequested()) << "until the command has ended";
}

// A document that refused StartUndoMark opened no group: "Cancel" during a write ends the program at
// once, as for a single text, rather than waiting for the write as if a group were open.
TEST(GroupCancel, NoGroupWhereStartUndoMarkWasRefused) {
    fakes::CallLog log;
    fakes::FakeCadLink cad{log};
    fakes::FakeCaseDialog dialog{log};
    cad.PickBlock({u"one", u"two"});
    cad.FailAt("StartUndoMark", error_number::kNoSuchMember);
    std::optional<PhaseAction> cancel;
    log.Observe([&](std::string_view call) {
        if (call == "ATTRIB1.WriteTextString(ONE)" && !cancel) cancel = dialog.Press(PhaseInput::Cancel);
    });
    ASSERT_EQ(dialog.Press(PhaseInput::SelectText), PhaseAction::Act);
    cmdSelect_Click(dialog, cad);
    log.Observe(nullptr);
    EXPECT_EQ(cancel, PhaseAction::EndProcess);
}

INSTANTIATE_TEST_SUITE_P(
    Cancels, GroupCancelTest,
    ::testing::Values(
        GroupCancelCase{"WhileAWriteWaits", "ATTRIB1.WriteTextString(ONE)", "", {"StartUndoMark", "ATTRIB1.WriteTextString(ONE)", "EndUndoMark"}},
        GroupCancelCase{"WhileStartUndoMarkWaits", "StartUndoMark", "", {"StartUndoMark", "EndUndoMark"}},
        GroupCancelCase{"WhileTheLastRedrawWaits", "ATTRIB3.Update", "",
                        {"StartUndoMark", "ATTRIB1.WriteTextString(ONE)", "ATTRIB1.Update", "ATTRIB2.WriteTextString(TWO)",
                         "ATTRIB2.Update", "ATTRIB3.WriteTextString(THREE)", "ATTRIB3.Update", "EndUndoMark"}},
        GroupCancelCase{"WhileEndUndoMarkWaits", "EndUndoMark", "",
                        {"StartUndoMark", "ATTRIB1.WriteTextString(ONE)", "ATTRIB1.Update", "ATTRIB2.WriteTextString(TWO)",
                         "ATTRIB2.Update", "ATTRIB3.WriteTextString(THREE)", "ATTRIB3.Update", "EndUndoMark"}},
        GroupCancelCase{"TheWaitingWriteFails", "ATTRIB1.WriteTextString(ONE)", "ATTRIB1.WriteTextString",
                        {"StartUndoMark", "ATTRIB1.WriteTextString(ONE)", "EndUndoMark"}},
        GroupCancelCase{"EndUndoMarkFails", "ATTRIB2.WriteTextString(TWO)", "EndUndoMark",
                        {"StartUndoMark", "ATTRIB1.WriteTextString(ONE)", "ATTRIB1.Update", "ATTRIB2.WriteTextString(TWO)",
                         "EndUndoMark"}}),
    [](const ::testing::TestParamInfo<GroupCancelCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvane
