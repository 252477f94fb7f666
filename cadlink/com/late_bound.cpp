#include "cadlink/com/late_bound.h"

#include <array>
#include <utility>

#include "cadlink/com/com_entity.h"
#include "cadlink/com/com_selection.h"
#include "failure/failure.h"
#include "failure/com_error_number.h"

namespace morvane::com {

namespace {

using Microsoft::WRL::ComPtr;

// What the application's objects share: the names looked up, the release their entities belong to
// and the calls' pacing.
struct Context {
    LateBoundNames names;
    EntityRelease release;
    std::shared_ptr<ComCalls> calls;
};

class LateBoundUtility final : public CadUtility {
public:
    LateBoundUtility(ComPtr<IDispatch> utility, const Context& context)
        : utility_(std::move(utility), context.names.utility, context.calls), context_(context) {}

    std::shared_ptr<CadEntity> GetEntity(std::u16string_view prompt) override {
        Variant promptValue = TextVariant(prompt);
        ComPtr<IDispatch> entity;
        Variant point;
        // GetEntity(Object, PickedPoint, Prompt), each result in its declared type; Invoke takes the
        // arguments last first.
        std::array<VARIANT, 3> arguments{*promptValue.Get(), OutArgument(point), OutArgument(entity)};
        (void)utility_.Call(L"GetEntity", arguments);
        // A pick that succeeds without an entity picked nothing: the same as a missed pick.
        if (!entity) {
            throw Failure(error_number::kApplicationException);
        }
        return MakeComEntity(std::move(entity), context_.calls, context_.release);
    }

private:
    ByName utility_;
    Context context_;
};

class LateBoundDocument final : public CadDocument {
public:
    LateBoundDocument(ComPtr<IDispatch> document, const Context& context)
        : document_(std::move(document), context.names.document, context.calls),
          context_(context),
          byName_(document_, context.names.selection, context.calls, context.release) {}

    std::unique_ptr<CadUtility> Utility() override {
        return std::make_unique<LateBoundUtility>(ObjectAnswer(document_.Get(L"Utility")), context_);
    }

    void StartUndoMark() override { (void)document_.Call(L"StartUndoMark"); }
    // Asked again while the application reports itself busy: a group left open would take the
    // drafter's next commands into Morvane's undo step.
    void EndUndoMark() override { (void)document_.Call(L"EndUndoMark", {}, Repeatable::Yes); }

    std::unique_ptr<CadSelection> PickfirstSelection() override { return byName_.PickfirstSelection(); }
    bool LayerLocked(std::u16string_view layer) override { return byName_.LayerLocked(layer); }

private:
    ByName document_;
    Context context_;
    DocumentByName byName_;
};

class LateBoundApplication final : public CadApplication {
public:
    LateBoundApplication(ComPtr<IDispatch> application, Context context)
        : application_(std::move(application), context.names.application, context.calls), context_(std::move(context)) {}

    std::unique_ptr<CadDocument> ActiveDocument() override {
        return std::make_unique<LateBoundDocument>(ObjectAnswer(application_.Get(L"ActiveDocument")), context_);
    }

    void SetVisible(bool visible) override {
        application_.Put(L"Visible", BoolVariant(visible));
    }

    std::u16string ActivationTitle() override { return TextAnswer(application_.Get(L"Caption")); }

private:
    ByName application_;
    Context context_;
};

}  // namespace

std::unique_ptr<CadApplication> MakeLateBoundApplication(ComPtr<IDispatch> application, LateBoundNames names,
                                                         EntityRelease release, std::shared_ptr<ComCalls> calls) {
    return std::make_unique<LateBoundApplication>(std::move(application),
                                                  Context{std::move(names), release, std::move(calls)});
}

}  // namespace morvane::com
