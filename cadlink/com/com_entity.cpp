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

// One entity reached by name through its dispatch interface. The members every drawing object
// answers go through object_, the others through entity_, whose names are its kind's where the kinds
// are shared (known once its ObjectName is).
class ComEntity final : public CadEntity {
public:
    ComEntity(ComPtr<IDispatch> object, std::shared_ptr<ComCalls> calls, EntityRelease release,
              std::shared_ptr<KindNames> kinds)
        : object_(object, kinds ? kinds->Objects() : std::make_shared<DispatchNames>(), calls),
          calls_(std::move(calls)),
          release_(release),
          kinds_(std::move(kinds)) {}

    std::u16string ReadTextString() override { return TextAnswer(Entity().Get(L"TextString")); }
    void WriteTextString(std::u16string_view text) override { Entity().Put(L"TextString", TextVariant(text)); }
    void Update() override { (void)object_.Call(L"Update"); }
    // An entity's kind never changes: asked once.
    std::u16string ObjectName() override {
        if (!objectName_) objectName_ = TextAnswer(object_.Get(L"ObjectName"));
        return *objectName_;
    }
    std::u16string Layer() override { return TextAnswer(object_.Get(L"Layer")); }

    const void* Identity() const noexcept override {
        ComPtr<IUnknown> identity;
        if (FAILED(object_.Object().As(&identity))) return object_.Object().Get();
        return identity.Get();
    }

    bool HasAttributes() override { return BoolAnswer(Entity().Get(L"HasAttributes")); }

    std::vector<std::shared_ptr<CadEntity>> GetAttributes() override {
        Variant value = Entity().Call(L"GetAttributes");
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
                attributes.push_back(MakeComEntity(std::move(attribute), calls_, release_, kinds_));
            }
        }
        return attributes;
    }

    bool ReadMTextAttribute() override {
        RequireNewerRelease();
        return BoolAnswer(Entity().Get(L"MTextAttribute"));
    }
    std::u16string ReadMTextAttributeContent() override {
        RequireNewerRelease();
        return TextAnswer(Entity().Get(L"MTextAttributeContent"));
    }
    void WriteMTextAttributeContent(std::u16string_view text) override {
        RequireNewerRelease();
        Entity().Put(L"MTextAttributeContent", TextVariant(text));
    }

    std::u16string ReadTextOverride() override { return TextAnswer(Entity().Get(L"TextOverride")); }
    void WriteTextOverride(std::u16string_view text) override { Entity().Put(L"TextOverride", TextVariant(text)); }

    std::u16string ReadFieldCode() override {
        RequireNewerRelease();
        return TextAnswer(Entity().Call(L"FieldCode"));
    }

    bool HasExtensionDictionary() override {
        RequireNewerRelease();
        return BoolAnswer(object_.Get(L"HasExtensionDictionary"));
    }

    // The entry is looked up by its name: only the application's "Key not found" says there is none.
    // Any other failure (busy, an exception) is no answer, and no other entry is read.
    bool ExtensionDictionaryHolds(std::u16string_view key) override {
        RequireNewerRelease();
        ByName dictionary(ObjectAnswer(object_.Call(L"GetExtensionDictionary")),
                          kinds_ ? kinds_->Dictionaries() : std::make_shared<DispatchNames>(), calls_);
        Variant name = TextVariant(key);
        return IfAnswered(AnswerRule::KeyNotFound, [&] {
                   return ObjectAnswer(dictionary.Call(L"Item", {name.Get(), 1}, Repeatable::Yes));
               }).has_value();
    }

    std::unique_ptr<CadTable> AsTable() override { return MakeComTable(object_.Object(), calls_); }

private:
    // Release 15 has no fields and no multiline attributes: its entities do not know these names,
    // and are not asked.
    void RequireNewerRelease() const {
        if (release_ == EntityRelease::Release15) {
            throw Failure(error_number::kNoSuchMember);
        }
    }

    // The entity's own members, by its kind's names where kinds are shared. An entity that does not
    // say its kind has names of its own.
    ByName& Entity() {
        if (!kinds_) return object_;
        if (!entity_) {
            std::optional<std::u16string> kind;
            try {
                kind = ObjectName();
            } catch (const Failure& failure) {
                if (failure.number() != error_number::kNoSuchMember) throw;
            }
            entity_.emplace(object_.Object(), kind ? kinds_->OfKind(*kind) : std::make_shared<DispatchNames>(),
                            calls_);
        }
        return *entity_;
    }

    ByName object_;
    std::optional<ByName> entity_;
    std::shared_ptr<ComCalls> calls_;
    EntityRelease release_;
    std::shared_ptr<KindNames> kinds_;
    std::optional<std::u16string> objectName_;
};

}  // namespace

std::shared_ptr<DispatchNames> KindNames::OfKind(std::u16string_view objectName) {
    for (const auto& [kind, names] : kinds_) {
        if (kind == objectName) return names;
    }
    return kinds_.emplace_back(objectName, std::make_shared<DispatchNames>()).second;
}

std::shared_ptr<CadEntity> MakeComEntity(ComPtr<IDispatch> object, std::shared_ptr<ComCalls> calls,
                                         EntityRelease release, std::shared_ptr<KindNames> kinds) {
    return std::make_shared<ComEntity>(std::move(object), std::move(calls), release, std::move(kinds));
}

}  // namespace morvane::com
