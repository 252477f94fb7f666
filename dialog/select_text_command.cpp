#include "dialog/select_text_command.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "caseconv/caseconv.h"
#include "failure/failure.h"
#include "failure/com_error_number.h"

namespace morvane {

namespace {

using error_number::kCannotAttach;
using error_number::kInternalError;
using error_number::kMissedPick;
using error_number::kNoSuchMember;
using error_number::kObjectNotSet;
using error_number::kOutOfMemory;

constexpr std::u16string_view kProgramTitle = u"Morvane";
constexpr std::u16string_view kPickPrompt = u"Select Text from the drawing:";
// The one kind of entity whose TextString is formatted text.
constexpr std::u16string_view kMultilineText = u"AcDbMText";

// What one run of the command holds. The application and document references live until the
// command ends, after the failure dispatch has reacted.
struct Run {
    CaseDialog& dialog;
    CadLink& cad;
    std::unique_ptr<CadApplication> application{};
    std::unique_ptr<CadDocument> document{};
    bool hidden = false;
};

// The binding hands out no empty handles; should one ever come, using it is a failure rather
// than a crash.
template <class Handle>
auto& Require(const Handle& handle) {
    if (!handle) throw Failure(kObjectNotSet);
    return *handle;
}

// Asks the entity for something it may not have: 438 (no such property or method) gives no
// value, every other failure goes on to the dispatch.
template <class Query>
std::optional<std::invoke_result_t<Query>> IfAnswered(Query query) {
    try {
        return query();
    } catch (const Failure& failure) {
        if (failure.number() != kNoSuchMember) throw;
    }
    return std::nullopt;
}

// Attaches to the running application, takes its document and brings its window to the front.
void StepForward(Run& run) {
    run.application = run.cad.Attach();
    run.document = Require(run.application).ActiveDocument();
    run.application->SetVisible(true);
    run.cad.BringWindowToFront(run.application->ActivationTitle());
}

// Empties PickedEntity, lets the user pick and keeps the picked entity there.
CadEntity& Pick(Run& run) {
    const std::unique_ptr<CadUtility> utility = Require(run.document).Utility();
    std::shared_ptr<CadEntity>& picked = run.dialog.PickedEntity();
    picked.reset();
    picked = Require(utility).GetEntity(kPickPrompt);
    return Require(picked);
}

// How the entity's TextString reads: formatted for a multiline text, plain for every other. The
// entity is asked only when the text holds something a formatting code begins with, since without
// that both read alike: a plain pick costs no extra call. An entity that does not say is plain.
TextFormat TextStringFormat(CadEntity& entity, std::u16string_view rest) {
    if (!HasFormattingCodes(rest)) return TextFormat::Plain;
    const std::optional<std::u16string> name = IfAnswered([&] { return entity.ObjectName(); });
    return name == kMultilineText ? TextFormat::Formatted : TextFormat::Plain;
}

// Rewrites the entity's TextString, showing the text behind an underline code first. False when
// the entity has no TextString.
bool ChangeTextString(CaseDialog& dialog, CadEntity& entity) {
    const std::optional<std::u16string> text = IfAnswered([&] { return entity.ReadTextString(); });
    if (!text) return false;
    const UnderlineSplit split = SplitUnderlinePrefix(*text);
    if (split.underlined) dialog.ShowMessage(split.rest, kProgramTitle);
    if (const std::optional<CaseMode> mode = dialog.SelectedCase()) {
        entity.WriteTextString(ConvertText(split, *mode, TextStringFormat(entity, split.rest)));
        entity.Update();
    }
    return true;
}

// How an attribute's text reads: formatted for a multiline attribute, plain for every other. The
// attribute is asked only when the text holds something a formatting code begins with, so a plain
// attribute costs no extra call; one that does not answer MTextAttribute is plain.
TextFormat AttributeFormat(CadEntity& attribute, std::u16string_view rest) {
    if (!HasFormattingCodes(rest)) return TextFormat::Plain;
    const bool multiline = IfAnswered([&] { return attribute.ReadMTextAttribute(); }).value_or(false);
    return multiline ? TextFormat::Formatted : TextFormat::Plain;
}

// Every attribute's text is converted before any is written, so that one too long for the
// underline code (6), or a failure reading one, leaves the whole block as it was.
void ChangeAttributes(CadEntity& block, CaseMode mode) {
    const std::vector<std::shared_ptr<CadEntity>> attributes = block.GetAttributes();
    std::vector<std::u16string> results;
    results.reserve(attributes.size());
    for (const std::shared_ptr<CadEntity>& attribute : attributes) {
        CadEntity& entity = Require(attribute);
        const UnderlineSplit split = SplitUnderlinePrefix(entity.ReadTextString());
        results.push_back(ConvertText(split, mode, AttributeFormat(entity, split.rest)));
    }
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        attributes[i]->WriteTextString(results[i]);
        attributes[i]->Update();
    }
}

// An override is always formatted text. An empty one means the CAD application shows the
// measurement: it stays empty, and with nothing written nothing needs redrawing.
void ChangeTextOverride(CadEntity& dimension, std::u16string_view text, CaseMode mode) {
    if (text.empty()) return;
    dimension.WriteTextOverride(ConvertText(text, mode, TextFormat::Formatted));
    dimension.Update();
}

// For an entity without TextString: the text of a block's attributes, else a dimension's
// override, in the chosen case and with no message. Anything else stays as it is.
void ChangeOtherText(CaseDialog& dialog, CadEntity& entity) {
    const std::optional<CaseMode> mode = dialog.SelectedCase();
    if (!mode) return;
    if (IfAnswered([&] { return entity.HasAttributes(); }).value_or(false)) {
        ChangeAttributes(entity, *mode);
    } else if (const auto text = IfAnswered([&] { return entity.ReadTextOverride(); })) {
        ChangeTextOverride(entity, *text, *mode);
    }
}

// The command's normal path; any failure leaves it at once.
void SelectAndConvert(Run& run) {
    StepForward(run);
    // The underline flag lives in each text's split, so every run starts without it.
    run.hidden = true;
    run.dialog.Hide();
    // PickedEntity keeps the entity alive for as long as the command uses it.
    CadEntity& entity = Pick(run);
    if (!ChangeTextString(run.dialog, entity)) ChangeOtherText(run.dialog, entity);
    run.dialog.Show();
}

// The number of the failure being handled. Failures that are not the program's own get numbers
// of its own: 7 when memory ran out, 51 for anything else.
std::int32_t FailureNumber() noexcept {
    try {
        throw;
    } catch (const Failure& failure) {
        return failure.number();
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (...) {
        return kInternalError;
    }
}

std::u16string ErrorMessage(std::int32_t number) {
    const std::string digits = std::to_string(number);
    std::u16string message = u"error: ";
    message.append(digits.begin(), digits.end());
    return message;
}

// The fixed reaction to each number. A 429 can only come from attaching, before the dialog is
// hidden, but should it come later the dialog is brought back all the same.
void React(const Run& run, std::int32_t number) {
    switch (number) {
    case kMissedPick:
        run.dialog.ShowMessage(u"Missed the object, please try again", u"Selection Error");
        run.dialog.Show();
        break;
    case kCannotAttach:
        run.dialog.ShowMessage(u"Please start AutoCAD", u"AutoCAD not Open");
        if (run.hidden) run.dialog.Show();
        break;
    case kNoSuchMember:
        run.dialog.Show();
        break;
    default:
        run.dialog.ShowMessage(ErrorMessage(number), kProgramTitle);
        run.dialog.Show();
        break;
    }
}

}  // namespace

void cmdSelect_Click(CaseDialog& dialog, CadLink& cad) noexcept {
    Run run{.dialog = dialog, .cad = cad};
    std::int32_t number = 0;
    try {
        SelectAndConvert(run);
        return;
    } catch (...) {
        number = FailureNumber();
    }
    try {
        React(run, number);
    } catch (...) {
        // The dialog could not even show the message; at least do not leave it hidden.
        if (run.hidden) {
            try {
                dialog.Show();
            } catch (...) {
            }
        }
    }
}

}  // namespace morvane
