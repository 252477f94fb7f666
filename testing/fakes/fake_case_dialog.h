#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "command/case_dialog.h"
#include "testing/fakes/call_log.h"

namespace morvane::fakes {

// Stands in for the dialog window: keeps the selected case, its visibility, the message boxes it
// was asked to show and PickedEntity, and logs every call ("SelectedCase", "Hide", "Show",
// "ShowMessage(text|caption)"). PickedEntity is not logged: tests look at the slot itself.
class FakeCaseDialog : public CaseDialog {
public:
    struct Message {
        std::u16string text;
        std::u16string caption;
        bool operator==(const Message&) const = default;
    };

    // Logs into its own call log.
    FakeCaseDialog();
    // Logs into a log shared with other fakes; the log must outlive the dialog.
    explicit FakeCaseDialog(CallLog& log);
    FakeCaseDialog(const FakeCaseDialog&) = delete;
    FakeCaseDialog& operator=(const FakeCaseDialog&) = delete;

    [[nodiscard]] std::optional<CaseMode> SelectedCase() const override;
    void Hide() override;
    void Show() override;
    // Records the box and returns at once, as if the user had pressed OK.
    void ShowMessage(std::u16string_view text, std::u16string_view caption) override;
    [[nodiscard]] std::shared_ptr<CadEntity>& PickedEntity() override { return picked_; }

    // Option1 (Upper) is selected when the dialog opens; none leaves every option clear.
    void Select(std::optional<CaseMode> mode) noexcept { selected_ = mode; }
    // Runs while each later message box waits, before the user's OK: what the user does meanwhile.
    void WhileMessageWaits(std::function<void()> action) { whileMessageWaits_ = std::move(action); }
    // From now on every message box fails with this exception, once logged.
    void FailMessages(std::exception_ptr failure) noexcept { messageFailure_ = std::move(failure); }

    [[nodiscard]] bool Visible() const noexcept override { return visible_; }
    // An input reaching the window, as the window applies it to the command's phase.
    PhaseAction Press(PhaseInput input) noexcept { return Phases().On(input); }
    [[nodiscard]] const std::vector<Message>& Messages() const noexcept { return messages_; }
    [[nodiscard]] const CallLog& Log() const noexcept { return log_; }

private:
    CallLog ownLog_;
    CallLog& log_;
    std::optional<CaseMode> selected_ = CaseMode::Upper;
    bool visible_ = true;
    std::vector<Message> messages_;
    std::exception_ptr messageFailure_;
    std::function<void()> whileMessageWaits_;
    std::shared_ptr<CadEntity> picked_;
};

// Prints a message box as "text|caption" in test failures.
void PrintTo(const FakeCaseDialog::Message& message, std::ostream* out);

}  // namespace morvane::fakes
