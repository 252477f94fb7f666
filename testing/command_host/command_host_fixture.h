#pragma once

// The command host's fixture: the real select-text command with the real COM binding and a fake
// dialog, against the stand-in CAD application in another process.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cadlink/com/com_cad_link.h"
#include "command/select_text_command.h"
#include "testing/command_host/stand_in.h"
#include "testing/fakes/fake_case_dialog.h"

namespace morvane::testing_host {

using fakes::FakeCaseDialog;
using Message = FakeCaseDialog::Message;

inline constexpr char16_t kPickPrompt[] = u"Select Text from the drawing:";
// The stand-in as a recent release, driven by name.
inline constexpr wchar_t kRelease25[] = L"--release 25";

class CommandHostTest : public testing::Test {
protected:
    void RunCommand() { cmdSelect_Click(dialog_, *link_); }

    [[nodiscard]] std::vector<std::string> DialogCalls() const { return dialog_.Log().Calls(); }

    // Checks what the server's objects are held by: every object free but the application (which
    // the running object table holds) and the entity PickedEntity holds; then lets PickedEntity
    // go and checks that nothing at all is held any more.
    void ExpectReferences(StandIn& standIn, const std::optional<std::string>& held) {
        EXPECT_EQ(dialog_.PickedEntity() != nullptr, held.has_value());
        const std::optional<References> before = standIn.Dump();
        ASSERT_TRUE(before) << standIn.LogText();
        for (const auto& [object, connections] : before->external) {
            const int expected = (object == "app" ? 1 : 0) + (held && object == *held ? 1 : 0);
            EXPECT_EQ(connections, expected) << "connections to " << object << " while PickedEntity holds "
                                             << held.value_or("nothing");
        }
        dialog_.PickedEntity().reset();
        const std::optional<References> after = standIn.Dump();
        ASSERT_TRUE(after) << standIn.LogText();
        for (const auto& [object, connections] : after->external) {
            EXPECT_EQ(connections, object == "app" ? 1 : 0) << "connections to " << object << " after all let go";
        }
    }

    FakeCaseDialog dialog_;
    std::unique_ptr<CadLink> link_ = MakeComCadLink();
};

// The texts written to a member of an object, in order ("call t1 TextString.put ..." lines).
inline std::vector<std::u16string> Written(const StandIn& standIn, const std::string& object,
                                    const std::string& member = "TextString") {
    std::vector<std::u16string> values;
    for (const std::string& line : standIn.LogLines("call " + object + " " + member + ".put ")) {
        if (LogField(line, "hr") == u"0x00000000") {
            values.push_back(LogField(line, "value").value_or(u"<none>"));
        }
    }
    return values;
}

// A scenario of n single-line texts t1..tn, or of n blocks b1..bn of four attributes each, all
// pre-selected.
inline std::string PreselectedScenario(int n, bool blocks) {
    std::string scenario;
    std::string selected = "preselect";
    for (int i = 1; i <= n; ++i) {
        const std::string id = (blocks ? "b" : "t") + std::to_string(i);
        const std::string y = std::to_string(20 + i % 600);
        if (blocks) {
            scenario += "block " + id + " 420 " + y + " \"DOOR\"\n";
            for (int a = 1; a <= 4; ++a) {
                scenario += "attribute " + id + "a" + std::to_string(a) + " " + id + " \"T" + std::to_string(a) +
                            "\" \"value " + std::to_string(a) + "\"\n";
            }
        } else {
            scenario += "text " + id + " 40 " + y + " \"note " + std::to_string(i) + "\"\n";
        }
        selected += " " + id;
    }
    return scenario + selected + "\n";
}

// The writes to a member of any object that went through.
inline std::size_t WritesOf(const StandIn& standIn, const std::string& member) {
    std::size_t writes = 0;
    for (const std::string& line : standIn.Log()) {
        if (line.starts_with("call ") && line.find(" " + member + ".put ") != std::string::npos &&
            LogField(line, "hr") == u"0x00000000") {
            ++writes;
        }
    }
    return writes;
}

inline std::size_t Updates(const StandIn& standIn, const std::string& object) {
    return standIn.LogLines("call " + object + " Update ").size();
}

// The calls one run makes on the stand-in's objects; none when the stand-in does not report them.
inline std::optional<CallTotals> CostOfARun(StandIn& standIn, const std::function<void()>& run) {
    const std::optional<References> before = standIn.Dump();
    run();
    const std::optional<References> after = standIn.Dump();
    if (!before || !after) return std::nullopt;
    return CallTotals{after->calls.queryInterface - before->calls.queryInterface,
                      after->calls.vtable - before->calls.vtable,
                      after->calls.getIdsOfNames - before->calls.getIdsOfNames,
                      after->calls.invoke - before->calls.invoke, after->calls.total - before->calls.total};
}

inline std::string Describe(const CallTotals& calls) {
    return std::to_string(calls.total) + " calls (QueryInterface " + std::to_string(calls.queryInterface) +
           ", slots " + std::to_string(calls.vtable) + ", GetIDsOfNames " + std::to_string(calls.getIdsOfNames) +
           ", Invoke " + std::to_string(calls.invoke) + ")";
}

}  // namespace morvane::testing_host
