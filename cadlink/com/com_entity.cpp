#include "cadlink/com/com_entity.h"

#include <array>
#include <cstddef>
#include <optional>
#include <utility>

#include "cadlink/com/bstr.h"
#include "cadlink/com/error_number.h"
#include "caseconv/failure.h"

namespace morvane::com {

Variant TextVariant(std::u16string_view text) {
    Bstr value = Bstr::FromText(text);
    if (!value) {
        ThrowIfFailed(E_OUTOFMEMORY);
    }
    return Variant(std::move(value));
}

namespace {

using Microsoft::WRL::ComPtr;

// What the CAD application hands back is checked, never coerced: a coercion would turn an empty
// answer into "" or another object into its default member's text, and that would be written over
// the user's text.
void RequireType(const Variant& value, VARTYPE type) {
    if (value.Type() != type) {
        throw Failure(error_number::kTypeMismatch);
    }
}

// The members the binding reaches by name on an entity's dispatch interface.
enum class Member : std::size_t { TextString, Update, HasAttributes, GetAttributes, TextOverride, ObjectName, Count };
constexpr std::array<const wchar_t*, static_cast<std::size_t>(Member::Count)> kMemberNames = {
    L"TextString", L"Update", L"HasAttributes", L"GetAttributes", L"TextOverride", L"ObjectName"};

// One entity reached by name through its dispatch interface; each name is looked up once.
class ComEntity final : public CadEntity {
public:
    explicit ComEntity(ComPtr<IDispatch> object) noexcept : object_(std::move(object)) {}

    std::u16string ReadTextString() override { return ReadText(Member::TextString); }
    void WriteTextString(std::u16string_view text) override { WriteText(Member::TextString, text); }
    void Update() override { (void)Invoke(Member::Update, DISPATCH_METHOD); }
    std::u16string ObjectName() override { return ReadText(Member::ObjectName); }

    bool HasAttributes() override {
        const Variant value = Invoke(Member::HasAttributes, DISPATCH_PROPERTYGET);
        RequireType(value, VT_BOOL);
        return value.Get()->boolVal != VARIANT_FALSE;
    }

    std::vector<std::shared_ptr<CadEntity>> GetAttributes() override {
        Variant value = Invoke(Member::GetAttributes, DISPATCH_METHOD);
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
                attributes.push_back(MakeComEntity(std::move(attribute)));
            }
        }
        return attributes;
    }

    std::u16string ReadTextOverride() override { return ReadText(Member::TextOverride); }
    void WriteTextOverride(std::u16string_view text) override { WriteText(Member::TextOverride, text); }

private:
    [[nodiscard]] std::u16string ReadText(Member member) {
        const Variant value = Invoke(member, DISPATCH_PROPERTYGET);
        RequireType(value, VT_BSTR);
        return TextOf(value.Get()->bstrVal);
    }

    void WriteText(Member member, std::u16string_view text) {
        Variant value = TextVariant(text);
        (void)Invoke(member, DISPATCH_PROPERTYPUT, &value);
    }

    [[nodiscard]] DISPID IdOf(Member member) {
        auto& id = ids_[static_cast<std::size_t>(member)];
        if (!id) {
            auto* name = const_cast<LPOLESTR>(kMemberNames[static_cast<std::size_t>(member)]);
            DISPID found = DISPID_UNKNOWN;
            ThrowIfFailed(object_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &found));
            id = found;
        }
        return *id;
    }

    // A property read, a property write of `value`, or a method call without arguments.
    Variant Invoke(Member member, WORD kind, Variant* value = nullptr) {
        const DISPID id = IdOf(member);
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS parameters{};
        if (value != nullptr) {
            parameters.rgvarg = value->Get();
            parameters.cArgs = 1;
            parameters.rgdispidNamedArgs = &putId;
            parameters.cNamedArgs = 1;
        }
        Variant result;
        ExcepInfo exception;
        UINT badArgument = 0;
        const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters,
                                           kind == DISPATCH_PROPERTYPUT ? nullptr : result.Get(),
                                           exception.Get(), &badArgument);
        ThrowIfInvokeFailed(hr, *exception);
        return result;
    }

    ComPtr<IDispatch> object_;
    std::array<std::optional<DISPID>, static_cast<std::size_t>(Member::Count)> ids_;
};

}  // namespace

std::shared_ptr<CadEntity> MakeComEntity(ComPtr<IDispatch> object) {
    return std::make_shared<ComEntity>(std::move(object));
}

}  // namespace morvane::com
