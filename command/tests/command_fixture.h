#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "command/select_text_command.h"
#include "testing/fakes/call_log.h"
#include "testing/fakes/fake_cad_link.h"
#include "testing/fakes/fake_case_dialog.h"

namespace morvane {

using Messages = std::vector<fakes::FakeCaseDialog::Message>;

inline constexpr std::int32_t kFailed = -2147467259;  // E_FAIL, the failure tests inject
inline constexpr std::string_view kPickCall = "GetEntity(Select Text from the drawing:)";

inline const fakes::FakeCaseDialog::Message kMissedBox{u"Missed the object, please try again", u"Selection Error"};
inline const fakes::FakeCaseDialog::Message kNotOpenBox{u"Please start AutoCAD", u"AutoCAD not Open"};

// The command against the double of the CAD application and the fake dialog, both logging into
// one call log so that a test sees the order of calls across them.
class CommandTest : public ::testing::Test {
protected:
    void Run() { cmdSelect_Click(dialog, cad); }

    [[nodiscard]] const std::vector<std::string>& Calls() const { return log.Calls(); }

    // Whether the call was made at all.
    [[nodiscard]] bool Called(const std::string& call) const {
        return std::find(Calls().begin(), Calls().end(), call) != Calls().end();
    }

    // The handles the command still holds once it has ended: only PickedEntity may remain.
    [[nodiscard]] int LeftoverHandles() { return cad.LiveHandles() - (dialog.PickedEntity() ? 1 : 0); }

    fakes::CallLog log;
    fakes::FakeCaseDialog dialog{log};
    fakes::FakeCadLink cad{log};
};

}  // namespace morvane
