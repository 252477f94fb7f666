#include "cadlink/com/com_cad_link.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <array>
#include <cstddef>
#include <optional>
#include <utility>

#include "cadlink/com/bstr.h"
#include "cadlink/com/call_slot.h"
#include "cadlink/com/error_number.h"
#include "cadlink/com/variant.h"
#include "cadlink/com/window_front.h"

namespace morvane {

namespace {

using Microsoft::WRL::ComPtr;
using com::Bstr;
using com::CallSlot;
using com::ComSite;
using com::ThrowIfFailed;
using com::Variant;

constexpr wchar_t kProgId[] = L"AutoCad.Application.15";

// The interfaces the CAD application's objects must support.
constexpr IID kApplicationIid = {0x8E75D910, 0x3D21, 0x11D2, {0x85, 0xC4, 0x08, 0x00, 0x09, 0xA0, 0xC6, 0x26}};
constexpr IID kDocumentIid = {0x8E75D912, 0x3D21, 0x11D2, {0x85, 0xC4, 0x08, 0x00, 0x09, 0xA0, 0xC6, 0x26}};
constexpr IID kUtilityIid = {0xE4F81D8A, 0x6D4A, 0x11CF, {0x93, 0xFB, 0x08, 0x00, 0x09, 0x9E, 0xB3, 0xB7}};

// Methods by their number in the interface's table (IUnknown's 3 and IDispatch's 4 included).
constexpr std::size_t kApplicationPutVisible = 8;          // (VARIANT_BOOL)
constexpr std::size_t kApplicationGetCaption = 10;         // (BSTR*)
constexpr std::size_t kApplicationGetActiveDocument = 12;  // (IDispatch**)
constexpr std::size_t kDocumentGetUtility = 60;            // (IDispatch**)
constexpr std::size_t kUtilityGetEntity = 26;              // (IDispatch**, VARIANT*, VARIANT)

// The members the binding reaches by name on an entity's dispatch interface.
enum class Member : std::size_t { TextString, Update, HasAttributes, GetAttributes, TextOverride, Count };
constexpr std::array<const wchar_t*, static_cast<std::size_t>(Member::Count)> kMemberNames = {
    L"TextString", L"Update", L"HasAttributes", L"GetAttributes", L"TextOverride"};

[[nodiscard]] Variant TextVariant(std::u16string_view text) {
    Bstr value = Bstr::FromText(text);
    if (!value) {
        ThrowIfFailed(E_OUTOFMEMORY);
    }
    return Variant(std::move(value));
}

// The object a property read handed back, as the interface it must support.
[[nodiscard]] ComPtr<IUnknown> Require(const ComPtr<IDispatch>& object, const IID& iid) {
    if (!object) {
        ThrowIfFailed(E_POINTER);
    }
    ComPtr<IUnknown> result;
    ThrowIfFailed(object.AsIID(iid, &result));
    return result;
}

// One entity reached by name through its dispatch interface; each name is looked up once.
class ComEntity final : public CadEntity {
public:
    explicit ComEntity(ComPtr<IDispatch> object) noexcept : object_(std::move(object)) {}

    std::u16string ReadTextString() override { return ReadText(Member::TextString); }
    void WriteTextString(std::u16string_view text) override { WriteText(Member::TextString, text); }
    void Update() override { (void)Invoke(Member::Update, DISPATCH_METHOD); }

    bool HasAttributes() override {
        Variant value = Invoke(Member::HasAttributes, DISPATCH_PROPERTYGET);
        ThrowIfFailed(VariantChangeType(value.Get(), value.Get(), 0, VT_BOOL));
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
                ThrowIfFailed(VariantChangeType(item.Get(), item.Get(), 0, VT_DISPATCH));
                attribute = item.Get()->pdispVal;
            }
            // An empty slot in the array is no attribute.
            if (attribute) {
                attributes.push_back(std::make_shared<ComEntity>(std::move(attribute)));
            }
        }
        return attributes;
    }

    std::u16string ReadTextOverride() override { return ReadText(Member::TextOverride); }
    void WriteTextOverride(std::u16string_view text) override { WriteText(Member::TextOverride, text); }

private:
    [[nodiscard]] std::u16string ReadText(Member member) {
        Variant value = Invoke(member, DISPATCH_PROPERTYGET);
        ThrowIfFailed(VariantChangeType(value.Get(), value.Get(), 0, VT_BSTR));
        return com::TextOf(value.Get()->bstrVal);
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
        com::ExcepInfo exception;
        UINT badArgument = 0;
        const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters,
                                           kind == DISPATCH_PROPERTYPUT ? nullptr : result.Get(),
                                           exception.Get(), &badArgument);
        com::ThrowIfInvokeFailed(hr, *exception);
        return result;
    }

    ComPtr<IDispatch> object_;
    std::array<std::optional<DISPID>, static_cast<std::size_t>(Member::Count)> ids_;
};

class ComUtility final : public CadUtility {
public:
    explicit ComUtility(ComPtr<IUnknown> utility) noexcept : utility_(std::move(utility)) {}

    std::shared_ptr<CadEntity> GetEntity(std::u16string_view prompt) override {
        Variant promptValue = TextVariant(prompt);
        ComPtr<IDispatch> entity;
        Variant point;
        ThrowIfFailed(CallSlot<IDispatch**, VARIANT*, VARIANT>(utility_.Get(), kUtilityGetEntity,
                                                               entity.ReleaseAndGetAddressOf(),
                                                               point.ReleaseAndGetAddressOf(), *promptValue.Get()));
        // A pick that succeeds without an entity picked nothing: the same as a missed pick.
        if (!entity) {
            ThrowIfFailed(DISP_E_EXCEPTION);
        }
        return std::make_shared<ComEntity>(std::move(entity));
    }

private:
    ComPtr<IUnknown> utility_;
};

class ComDocument final : public CadDocument {
public:
    explicit ComDocument(ComPtr<IUnknown> document) noexcept : document_(std::move(document)) {}

    std::unique_ptr<CadUtility> Utility() override {
        ComPtr<IDispatch> utility;
        ThrowIfFailed(CallSlot<IDispatch**>(document_.Get(), kDocumentGetUtility, utility.ReleaseAndGetAddressOf()));
        return std::make_unique<ComUtility>(Require(utility, kUtilityIid));
    }

private:
    ComPtr<IUnknown> document_;
};

class ComApplication final : public CadApplication {
public:
    explicit ComApplication(ComPtr<IUnknown> application) noexcept : application_(std::move(application)) {}

    std::unique_ptr<CadDocument> ActiveDocument() override {
        ComPtr<IDispatch> document;
        ThrowIfFailed(CallSlot<IDispatch**>(application_.Get(), kApplicationGetActiveDocument,
                                            document.ReleaseAndGetAddressOf()));
        return std::make_unique<ComDocument>(Require(document, kDocumentIid));
    }

    void SetVisible(bool visible) override {
        ThrowIfFailed(CallSlot<VARIANT_BOOL>(application_.Get(), kApplicationPutVisible,
                                             visible ? VARIANT_TRUE : VARIANT_FALSE));
    }

    std::u16string ActivationTitle() override {
        Bstr title;
        ThrowIfFailed(CallSlot<BSTR*>(application_.Get(), kApplicationGetCaption, title.ReleaseAndGetAddressOf()));
        return title.Text();
    }

private:
    ComPtr<IUnknown> application_;
};

class ComCadLink final : public CadLink {
public:
    std::unique_ptr<CadApplication> Attach() override {
        CLSID classId{};
        ThrowIfFailed(CLSIDFromProgID(kProgId, &classId), ComSite::Attach);
        ComPtr<IUnknown> running;
        ThrowIfFailed(GetActiveObject(classId, nullptr, running.GetAddressOf()), ComSite::Attach);
        ComPtr<IUnknown> application;
        ThrowIfFailed(running.AsIID(kApplicationIid, &application), ComSite::Attach);
        return std::make_unique<ComApplication>(std::move(application));
    }

    void BringWindowToFront(std::u16string_view title) override { com::BringWindowToFront(title); }
};

}  // namespace

std::unique_ptr<CadLink> MakeComCadLink() { return std::make_unique<ComCadLink>(); }

}  // namespace morvane
