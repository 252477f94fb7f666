#include "cadlink/com/com_entity.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "cadlink/com/com_table.h"
#include "cadlink/com/dispatch_call.h"
#include "cadlink/com/error_number.h"
#include "failure/answered.h"
#include "failure/failure.h"

namespace morvane::com {

namespace {

using Microsoft::WRL::ComPtr;

// One entity reached by name through its dispatch interface; each name is looked up once.
class ComEntity final : public CadEntity {
public:
    ComEntity(ComPtr<IDispatch> object, std::shared_ptr<ComCalls> calls, EntityRelease release)
        : entity_(std::move(object), std::make_shared<DispatchNames>(), calls), calls_(std::move(calls)), release_(release) {}

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
                attributes.push_back(MakeComEntity(std::move(attribute), calls_, release_));
            }
        }
        return attributes;
    }

    bool ReadMTextAttribute() override {
        RequireNewerRelease();
        return BoolAnswer(entity_.Get(L"MTextAttribute"));
    }
    std::u16string ReadMTextAttributeContent() override {
        RequireNewerRelease();
        return TextAnswer(entity_.Get(L"MTextAttributeContent"));
    }
    void WriteMTextAttributeContent(std::u16string_view text) override {
        RequireNewerRelease();
        entity_.Put(L"MTextAttributeContent", TextVariant(text));
    }

    std::u16string ReadTextOverride() override { return TextAnswer(entity_.Get(L"TextOverride")); }
    void WriteTextOverride(std::u16string_view text) override { entity_.Put(L"TextOverride", TextVariant(text)); }

    std::u16string ReadFieldCode() override {
        RequireNewerRelease();
        return TextAnswer(entity_.Call(L"FieldCode"));
    }

    bool HasExtensionDictionary() override {
        RequireNewerRelease();
        return BoolAnswer(entity_.Get(L"HasExtensionDictionary"));
    }

    // The entry is looked up by its name: only the application's "Key not found" says there is none.
    // Any other failure (busy, an exception) is no answer, and no other entry is read.
    bool ExtensionDictionaryHolds(std::u16string_view key) override {
        RequireNewerRelease();
        ByName dictionary(ObjectAnswer(entity_.Call(L"GetExtensionDictionary")), std::make_shared<DispatchNames>(),
                          calls_);
        Variant name = TextVariant(key);
        return IfAnswered(AnswerRule::KeyNotFound, [&] {
                   return ObjectAnswer(dictionary.Call(L"Item", {name.Get(), 1}, Repeatable::Yes));
               }).has_value();
    }

    std::unique_ptr<CadTable> AsTable() override { return MakeComTable(entity_.Object(), calls_); }

private:
    // Release 15 has no fields and no multiline attributes: its entities do not know these names,
    // and are not asked.
    void RequireNewerRelease() const {
        if (release_ == EntityRelease::Release15) {
            throw Failure(error_number::kNoSuchMember);
        }
    }

    ByName entity_;
    std::shared_ptr<ComCalls> calls_;
    EntityRelease release_;
};

}  // namespace

std::shared_ptr<CadEntity> MakeComEntity(ComPtr<IDispatch> object, std::shared_ptr<ComCalls> calls,
                                         EntityRelease release) {
    return std::make_shared<ComEntity>(std::move(object), std::move(calls), release);
}

}  // namespace morvane::com
