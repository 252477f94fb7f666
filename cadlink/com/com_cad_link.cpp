#include "cadlink/com/com_cad_link.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstddef>
#include <utility>

#include "cadlink/com/bstr.h"
#include "cadlink/com/call_slot.h"
#include "cadlink/com/com_entity.h"
#include "cadlink/com/error_number.h"
#include "cadlink/com/variant.h"
#include "cadlink/com/window_front.h"
#include "caseconv/failure.h"

namespace morvane {

namespace {

using Microsoft::WRL::ComPtr;
using com::Bstr;
using com::CallSlot;
using com::ComSite;
using com::TextVariant;
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

// Reads the property in this slot, which gives an object, and returns the object as the
// interface it must support.
[[nodiscard]] ComPtr<IUnknown> ReadObject(IUnknown* owner, std::size_t slot, const IID& iid) {
    ComPtr<IDispatch> object;
    ThrowIfFailed(CallSlot<IDispatch**>(owner, slot, object.ReleaseAndGetAddressOf()));
    if (!object) {
        throw Failure(error_number::kObjectNotSet);
    }
    ComPtr<IUnknown> result;
    ThrowIfFailed(object.AsIID(iid, &result));
    return result;
}

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
            throw Failure(error_number::kMissedPick);
        }
        return com::MakeComEntity(std::move(entity));
    }

private:
    ComPtr<IUnknown> utility_;
};

class ComDocument final : public CadDocument {
public:
    explicit ComDocument(ComPtr<IUnknown> document) noexcept : document_(std::move(document)) {}

    std::unique_ptr<CadUtility> Utility() override {
        return std::make_unique<ComUtility>(ReadObject(document_.Get(), kDocumentGetUtility, kUtilityIid));
    }

private:
    ComPtr<IUnknown> document_;
};

class ComApplication final : public CadApplication {
public:
    explicit ComApplication(ComPtr<IUnknown> application) noexcept : application_(std::move(application)) {}

    std::unique_ptr<CadDocument> ActiveDocument() override {
        return std::make_unique<ComDocument>(
            ReadObject(application_.Get(), kApplicationGetActiveDocument, kDocumentIid));
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
