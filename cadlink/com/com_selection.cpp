#include "cadlink/com/com_selection.h"

#include <utility>

namespace morvane::com {

namespace {

using Microsoft::WRL::ComPtr;

class ComSelection final : public CadSelection {
public:
    ComSelection(ComPtr<IDispatch> set, std::shared_ptr<DispatchNames> names, std::shared_ptr<ComCalls> calls,
                 EntityRelease release)
        : set_(std::move(set), std::move(names), calls), calls_(std::move(calls)), release_(release) {}

    std::int32_t Count() override { return NumberAnswer(set_.Get(L"Count")); }

    std::shared_ptr<CadEntity> Item(std::int32_t index) override {
        Variant position = NumberVariant(index);
        return MakeComEntity(ObjectAnswer(set_.Call(L"Item", {position.Get(), 1}, Repeatable::Yes)), calls_, release_,
                             kinds_);
    }

    void Update() override { (void)set_.Call(L"Update", {}, Repeatable::Yes); }
    void Clear() override { (void)set_.Call(L"Clear", {}, Repeatable::Yes); }

private:
    ByName set_;
    std::shared_ptr<ComCalls> calls_;
    EntityRelease release_;
    std::shared_ptr<KindNames> kinds_ = std::make_shared<KindNames>();
};

}  // namespace

std::unique_ptr<CadSelection> DocumentByName::PickfirstSelection() {
    return std::make_unique<ComSelection>(ObjectAnswer(document_.Get(L"PickfirstSelectionSet")), selectionNames_,
                                          calls_, release_);
}

bool DocumentByName::LayerLocked(std::u16string_view layer) {
    if (!layers_) layers_.emplace(ObjectAnswer(document_.Get(L"Layers")), std::make_shared<DispatchNames>(), calls_);
    Variant name = TextVariant(layer);
    ByName found(ObjectAnswer(layers_->Call(L"Item", {name.Get(), 1}, Repeatable::Yes)), layerNames_, calls_);
    return BoolAnswer(found.Get(L"Lock"));
}

}  // namespace morvane::com
