#include "command/select_text_command.h"

#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "command/answers.h"
#include "command/program_title.h"
#include "command/preselection.h"
#include "command/text_changes.h"
#include "failure/com_error_number.h"
#include "failure/failure.h"

namespace morvane {

namespace {

using error_number::kCannotAttach;
using error_number::kInternalError;
using error_number::kApplicationException;
using error_number::kOutOfMemory;

constexpr std::u16string_view kPickPrompt = u"Select Text from the drawing:";
// After "N of M", when objects of the pre-selection were left for their locked layer.
constexpr std::u16string_view kLockedLayers = u" objects are on a locked layer and were left as they are";
// After the number, when the undo step's EndUndoMark did not come back.
constexpr std::u16string_view kUndoStepOpen =
    u"\n\nThe undo step may still be open in AutoCAD: type UNDO and choose End before you go on.";

// The document as the writes see it: it notes in `open` whether the last EndUndoMark did not come
// back, for the message.
class WatchedDocument final : public CadDocument {
public:
    WatchedDocument(CadDocument& document, bool& open) noexcept : document_(document), open_(open) {}

    std::unique_ptr<CadUtility> Utility() override { return document_.Utility(); }
    std::unique_ptr<CadSelection> PickfirstSelection() override { return document_.PickfirstSelection(); }
    bool LayerLocked(std::u16string_view layer) override { return document_.LayerLocked(layer); }
    void StartUndoMark() override { document_.StartUndoMark(); }
    void EndUndoMark() override {
        open_ = true;
        document_.EndUndoMark();
        open_ = false;
    }

private:
    CadDocument& document_;
    bool& open_;
};

// What one run of the command holds. The application, document and entity references live until
// the command ends, after the failure dispatch has reacted. The command keeps its own reference to
// the picked entity: the dialog's PickedEntity may be emptied (the window destroyed) meanwhile.
struct Run {
    CaseDialog& dialog;
    CadLink& cad;
    const TextKinds& kinds;
    std::unique_ptr<CadApplication> application{};
    std::unique_ptr<CadDocument> document{};
    std::shared_ptr<CadEntity> entity{};
    // The case chosen when the pick returned: it converts the whole pick, whatever is chosen while
    // the window is back during a long call (that is for the next click).
    std::optional<CaseMode> mode{};
    // Whether an undo step's EndUndoMark did not come back.
    bool undoStepOpen = false;
};

// Attaches to the running application, takes its document and brings its window to the front.
void StepForward(Run& run) {
    run.application = run.cad.Attach();
    run.document = Require(run.application).ActiveDocument();
    run.application->SetVisible(true);
    run.cad.BringWindowToFront(run.application->ActivationTitle());
}

// Empties PickedEntity, lets the user pick and keeps the picked entity there and in the run.
CadEntity& Pick(Run& run) {
    const std::unique_ptr<CadUtility> utility = Require(run.document).Utility();
    std::shared_ptr<CadEntity>& picked = run.dialog.PickedEntity();
    picked.reset();
    run.dialog.EnterPhase(CommandPhase::Picking);
    run.entity = Require(utility).GetEntity(kPickPrompt);
    run.mode = run.dialog.SelectedCase();
    run.dialog.EnterPhase(CommandPhase::Writing);
    picked = run.entity;
    return Require(run.entity);
}

std::u16string Decimal(std::int32_t number) {
    const std::string digits = std::to_string(number);
    return std::u16string(digits.begin(), digits.end());
}

// Converts the objects selected in the drawing before the press, in the case chosen at the press,
// with no click asked for. False when there are none (a document that does not answer has none).
bool ConvertPreselection(Run& run, CadDocument& document) {
    const std::optional<std::unique_ptr<CadSelection>> found =
        IfAnswered(AnswerRule::MemberUnknown, [&] { return document.PickfirstSelection(); });
    if (!found) return false;
    CadSelection& selection = Require(*found);
    const std::int32_t count = selection.Count();
    if (count == 0) return false;
    run.dialog.PickedEntity().reset();
    run.mode = run.dialog.SelectedCase();
    run.dialog.EnterPhase(CommandPhase::Writing);
    if (!run.mode) return true;
    const PreselectionResult result = ChangePreselection(run.dialog, document, selection, count, *run.mode, run.kinds);
    if (result.leftOnLockedLayers > 0) {
        std::u16string message = Decimal(result.leftOnLockedLayers) + u" of " + Decimal(result.objects);
        message += kLockedLayers;
        run.dialog.ShowMessage(message, kProgramTitle);
    }
    return true;
}

// The command's normal path; any failure leaves it at once.
void SelectAndConvert(Run& run) {
    StepForward(run);
    // The underline flag lives in each text's split, so every run starts without it.
    run.dialog.Hide();
    WatchedDocument document(Require(run.document), run.undoStepOpen);
    if (!ConvertPreselection(run, document)) {
        CadEntity& entity = Pick(run);
        ChangePickedText(run.dialog, document, entity, run.mode, run.kinds);
    }
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

std::u16string ErrorMessage(std::int32_t number, bool undoStepOpen) {
    std::u16string message = u"error: " + Decimal(number);
    if (undoStepOpen) message += kUndoStepOpen;
    return message;
}

// The fixed reaction to each number. An exception from the pick is a missed or cancelled pick; the
// same number from any other step is reported with its number. A 438 that reaches the dispatch is
// a failure like any other: the calls that ask what the entity holds take theirs as an answer
// (IfAnswered, AnswerRule::MemberUnknown) and never bring it here. A 429 can only come from attaching, before the dialog is
// hidden, but should it come later the dialog is brought back all the same. After "Cancel" inside
// an undo group there is no reaction at all: the program ends once the command has returned.
void React(const Run& run, std::int32_t number) {
    if (run.dialog.CancelRequested()) return;
    if (number == kApplicationException && run.dialog.Phase() == CommandPhase::Picking) {
        run.dialog.ShowMessage(u"Missed the object, please try again", u"Selection Error");
        run.dialog.Show();
    } else if (number == kCannotAttach) {
        run.dialog.ShowMessage(u"Please start AutoCAD", u"AutoCAD not Open");
        if (!run.dialog.Visible()) run.dialog.Show();
    } else {
        run.dialog.ShowMessage(ErrorMessage(number, run.undoStepOpen), kProgramTitle);
        run.dialog.Show();
    }
}

// The command from its start to its reaction; the run's references are still held.
void SelectAndReact(Run& run) noexcept {
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
        try {
            if (!run.dialog.CancelRequested() && !run.dialog.Visible()) run.dialog.Show();
        } catch (...) {
        }
    }
}

}  // namespace

void cmdSelect_Click(CaseDialog& dialog, CadLink& cad) noexcept { cmdSelect_Click(dialog, cad, kTextKinds); }

void cmdSelect_Click(CaseDialog& dialog, CadLink& cad, const TextKinds& kinds) noexcept {
    dialog.EnterPhase(CommandPhase::Attaching);
    Run run{.dialog = dialog, .cad = cad, .kinds = kinds};
    SelectAndReact(run);
    // Last, the run lets go of its references.
    dialog.EnterPhase(CommandPhase::Ending);
}

}  // namespace morvane
