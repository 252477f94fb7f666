#include "testing/fakes/fake_case_dialog.h"

namespace morvane::fakes {

FakeCaseDialog::FakeCaseDialog() : log_(ownLog_) {}

FakeCaseDialog::FakeCaseDialog(CallLog& log) : log_(log) {}

std::optional<CaseMode> FakeCaseDialog::SelectedCase() const {
    log_.Add("SelectedCase");
    return selected_;
}

void FakeCaseDialog::Hide() {
    log_.Add("Hide");
    visible_ = false;
}

void FakeCaseDialog::Show() {
    log_.Add("Show");
    visible_ = true;
}

void FakeCaseDialog::ShowMessage(std::u16string_view text, std::u16string_view caption) {
    log_.Add("ShowMessage(" + Readable(text) + "|" + Readable(caption) + ")");
    if (messageFailure_) std::rethrow_exception(messageFailure_);
    messages_.push_back({std::u16string(text), std::u16string(caption)});
    if (whileMessageWaits_) whileMessageWaits_();
}

void PrintTo(const FakeCaseDialog::Message& message, std::ostream* out) {
    *out << Readable(message.text) << '|' << Readable(message.caption);
}

}  // namespace morvane::fakes
