#include "cadlink/com/late_bound.h"

#include <array>
#include <utility>

#include "cadlink/com/com_entity.h"
#include "failure/failure.h"
#include "failure/com_error_number.h"

namespace morvane::com {

namespace {

using Microsoft::WRL::ComPtr;

class LateBoundUtility final : public CadUtility {
public:
    LateBoundUtility(ComPtr<IDispatch> utility, const LateBoundNames& names, EntityRelease release,
                     std::shared_ptr<ComCalls> calls)
        : utility_(std::move(utility), names.utility, calls), calls_(std::move(calls)), release_(release) {}

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
        return MakeComEntity(std::move(entity), calls_, release_);
    }

private:
    ByName utility_;
    std::shared_ptr<ComCalls> calls_;
    EntityRelease release_;
};

class LateBoundDocument final : public CadDocument {
public:
    LateBoundDocument(ComPtr<IDispatch> document, LateBoundNames names, EntityRelease release,
                      std::shared_ptr<ComCalls> calls)
        : document_(std::move(document), names.document, calls),
          names_(std::move(names)),
          release_(release),
          calls_(std::move(calls)) {}

    std::unique_ptr<CadUtility> Utility() override {
        return std::make_unique<LateBoundUtility>(ObjectAnswer(document_.Get(L"Utility")), names_, release_, calls_);
    }

    void StartUndoMark() override { (void)document_.Call(L"StartUndoMark"); }
    void EndUndoMark() override { (void)document_.Call(L"EndUndoMark"); }

private:
    ByName document_;
    LateBoundNames names_;
    EntityRelease release_;
    std::shared_ptr<ComCalls> calls_;
};

class LateBoundApplication final : public CadApplication {
public:
    LateBoundApplication(ComPtr<IDispatch> application, LateBoundNames names, EntityRelease release,
                         std::shared_ptr<ComCalls> calls)
        : application_(std::move(application), names.application, calls),
          names_(std::move(names)),
          release_(release),
          calls_(std::move(calls)) {}

    std::unique_ptr<CadDocument> ActiveDocument() override {
        return std::make_unique<LateBoundDocument>(ObjectAnswer(application_.Get(L"ActiveDocument")), names_, release_,
                                                   calls_);
    }

    void SetVisible(bool visible) override {
        application_.Put(L"Visible", BoolVariant(visible));
    }

    std::u16string ActivationTitle() override { return TextAnswer(application_.Get(L"Caption")); }

private:
    ByName application_;
    LateBoundNames names_;
    EntityRelease release_;
    std::shared_ptr<ComCalls> calls_;
};

}  // namespace

std::unique_ptr<CadApplication> MakeLateBoundApplication(ComPtr<IDispatch> application, LateBoundNames names,
                                                         EntityRelease release, std::shared_ptr<ComCalls> calls) {
    return std::make_unique<LateBoundApplication>(std::move(application), std::move(names), release, std::move(calls));
}

}  // namespace morvane::com
