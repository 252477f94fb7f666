#include "cadlink/com/com_entity.h"

#include <utility>

#include "cadlink/com/dispatch_call.h"
#include "cadlink/com/error_number.h"

namespace morvane::com {

namespace {

using Microsoft::WRL::ComPtr;

// One entity reached by name through its dispatch interface; each name is looked up once.
class ComEntity final : public CadEntity {
public:
    ComEntity(ComPtr<IDispatch> object, std::shared_ptr<ComCalls> calls)
        : entity_(std::move(object), std::make_shared<DispatchNames>(), calls), calls_(std::move(calls)) {}

    std::u16string ReadTextString() override { return TextAnswer(entity_.Get(L"TextString")); }
    void WriteTextString(std::u16string_view text) override { entity_.Put(L"TextString", TextVariant(text)); }
    void Update() override { (void)entity_.Call(L"Update"); }
    std::u16string ObjectName() override { return TextAnswer(entity_.Get(L"ObjectName")); }

    bool HasAttributes() override { return BoolAnswer(entity_.Get(L"HasAttributes")); }

    std::vector<std::shared_ptr<CadEntity>> GetAttributes() override {
        Variant value = entity_.Call(L"GetAttributes");
        std::vector<std::shared_ptr<CadEntity>> attributes;
        if (value.Type() == VT_EMPTY) {
            return attributes;
        }
        const VARTYPE element = value.Type() & ~VT_ARRAY;
        SAFEARRAY* array = value.Get()->parray;
        if ((value.Type() & VT_ARRAY) == 0 || (element != VT_VARIANT && element != VT_DISPATCH) || array == nullptr ||
            SafeArrayGetDim(array) != 1) {
            ThrowIfFailed(DISP_E_TYPEMISMATCH);
        }
        LONG lower = 0;
        LONG upper = -1;
        ThrowIfFailed(SafeArrayGetLBound(array, 1, &lower));
        ThrowIfFailed(SafeArrayGetUBound(array, 1, &upper));
        for (LONG index = lower; index <= upper; ++index) {
            ComPtr<IDispatch> attribute;
            if (element == VT_DISPATCH) {
                ThrowIfFailed(SafeArrayGetElement(array, &index, attribute.ReleaseAndGetAddressOf()));
            } else {
                Variant item;
                ThrowIfFailed(SafeArrayGetElement(array, &index, item.ReleaseAndGetAddressOf()));
                if (item.Type() != VT_EMPTY) {
                    RequireType(item, VT_DISPATCH);
                    attribute = item.Get()->pdispVal;
                }
            }
            // An empty slot in the array is no attribute.
            if (attribute) {
                attributes.push_back(MakeComEntity(std::move(attribute), calls_));
            }
        }
        return attributes;
    }

    bool ReadMTextAttribute() override { return BoolAnswer(entity_.Get(L"MTextAttribute")); }

    std::u16string ReadTextOverride() override { return TextAnswer(entity_.Get(L"TextOverride")); }
    void WriteTextOverride(std::u16string_view text) override { entity_.Put(L"TextOverride", TextVariant(text)); }

private:
    ByName entity_;
    std::shared_ptr<ComCalls> calls_;
};

}  // namespace

std::shared_ptr<CadEntity> MakeComEntity(ComPtr<IDispatch> object, std::shared_ptr<ComCalls> calls) {
    return std::make_shared<ComEntity>(std::move(object), std::move(calls));
}

}  // namespace morvane::com
