#include "cadlink/com/com_cad_link.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "cadlink/com/bstr.h"
#include "cadlink/com/call_filter.h"
#include "cadlink/com/call_slot.h"
#include "cadlink/com/com_calls.h"
#include "cadlink/com/com_entity.h"
#include "cadlink/com/com_selection.h"
#include "cadlink/com/dispatch_call.h"
#include "cadlink/com/error_number.h"
#include "cadlink/com/interface_reach.h"
#include "cadlink/com/late_bound.h"
#include "cadlink/com/variant.h"
#include "cadlink/com/window_front.h"
#include "failure/failure.h"
#include "failure/com_error_number.h"

namespace morvane {

namespace {

using Microsoft::WRL::ComPtr;
using com::Bstr;
using com::CallSlot;
using com::ComCalls;
using com::ByName;
using com::ComSite;
using com::DispatchNames;
using com::TextVariant;
using com::ThrowIfFailed;
using com::Variant;

// The interfaces release 15's objects must support.
constexpr IID kApplicationIid = {0x8E75D910, 0x3D21, 0x11D2, {0x85, 0xC4, 0x08, 0x00, 0x09, 0xA0, 0xC6, 0x26}};
constexpr IID kDocumentIid = {0x8E75D912, 0x3D21, 0x11D2, {0x85, 0xC4, 0x08, 0x00, 0x09, 0xA0, 0xC6, 0x26}};
constexpr IID kUtilityIid = {0xE4F81D8A, 0x6D4A, 0x11CF, {0x93, 0xFB, 0x08, 0x00, 0x09, 0x9E, 0xB3, 0xB7}};

// Methods by their number in the interface's table (IUnknown's 3 and IDispatch's 4 included).
constexpr std::size_t kApplicationPutVisible = 8;          // (VARIANT_BOOL)
constexpr std::size_t kApplicationGetCaption = 10;         // (BSTR*)
constexpr std::size_t kApplicationGetActiveDocument = 12;  // (IDispatch**)
constexpr std::size_t kDocumentGetUtility = 60;            // (IDispatch**)
constexpr std::size_t kUtilityGetEntity = 26;              // (IDispatch**, VARIANT*, VARIANT)

using Calls = std::shared_ptr<ComCalls>;

// Reads the property in this slot, which gives an object, and returns the object as the
// interface it must support.
[[nodiscard]] ComPtr<IUnknown> ReadObject(IUnknown* owner, std::size_t slot, const IID& iid, ComCalls& calls) {
    ComPtr<IDispatch> object;
    ThrowIfFailed(calls.Call([&] { return CallSlot<IDispatch**>(owner, slot, object.ReleaseAndGetAddressOf()); }));
    if (!object) {
        throw Failure(error_number::kObjectNotSet);
    }
    ComPtr<IUnknown> result;
    ThrowIfFailed(calls.Call([&] { return object.AsIID(iid, &result); }));
    return result;
}

class ComUtility final : public CadUtility {
public:
    ComUtility(ComPtr<IUnknown> utility, Calls calls) noexcept : utility_(std::move(utility)), calls_(std::move(calls)) {}

    std::shared_ptr<CadEntity> GetEntity(std::u16string_view prompt) override {
        Variant promptValue = TextVariant(prompt);
        ComPtr<IDispatch> entity;
        Variant point;
        ThrowIfFailed(calls_->Call([&] {
            return CallSlot<IDispatch**, VARIANT*, VARIANT>(utility_.Get(), kUtilityGetEntity,
                                                            entity.ReleaseAndGetAddressOf(),
                                                            point.ReleaseAndGetAddressOf(), *promptValue.Get());
        }));
        // A pick that succeeds without an entity picked nothing: the same as a missed pick.
        if (!entity) {
            throw Failure(error_number::kApplicationException);
        }
        return com::MakeComEntity(std::move(entity), calls_, com::EntityRelease::Release15);
    }

private:
    ComPtr<IUnknown> utility_;
    Calls calls_;
};

class ComDocument final : public CadDocument {
public:
    // The document's interface is dual: the same pointer answers by name, as IDispatch.
    ComDocument(ComPtr<IUnknown> document, const com::LateBoundNames& names, Calls calls) noexcept
        : document_(std::move(document)),
          byName_(static_cast<IDispatch*>(document_.Get()), names.document, calls),
          calls_(std::move(calls)),
          members_(byName_, names.selection, calls_, com::EntityRelease::Release15) {}

    std::unique_ptr<CadUtility> Utility() override {
        return std::make_unique<ComUtility>(ReadObject(document_.Get(), kDocumentGetUtility, kUtilityIid, *calls_), calls_);
    }

    // By name: their slots are not among those the binding knows.
    void StartUndoMark() override { (void)byName_.Call(L"StartUndoMark"); }
    // Asked again while the application reports itself busy: a group left open would take the
    // drafter's next commands into Morvane's undo step.
    void EndUndoMark() override { (void)byName_.Call(L"EndUndoMark", {}, com::Repeatable::Yes); }

    std::unique_ptr<CadSelection> PickfirstSelection() override { return members_.PickfirstSelection(); }
    bool LayerLocked(std::u16string_view layer) override { return members_.LayerLocked(layer); }

private:
    ComPtr<IUnknown> document_;
    ByName byName_;
    Calls calls_;
    com::DocumentByName members_;
};

class ComApplication final : public CadApplication {
public:
    ComApplication(ComPtr<IUnknown> application, com::LateBoundNames names, Calls calls) noexcept
        : application_(std::move(application)), names_(std::move(names)), calls_(std::move(calls)) {}

    std::unique_ptr<CadDocument> ActiveDocument() override {
        return std::make_unique<ComDocument>(
            ReadObject(application_.Get(), kApplicationGetActiveDocument, kDocumentIid, *calls_), names_, calls_);
    }

    void SetVisible(bool visible) override {
        ThrowIfFailed(calls_->Call([&] {
            return CallSlot<VARIANT_BOOL>(application_.Get(), kApplicationPutVisible, visible ? VARIANT_TRUE : VARIANT_FALSE);
        }));
    }

    std::u16string ActivationTitle() override {
        Bstr title;
        ThrowIfFailed(calls_->Call(
            [&] { return CallSlot<BSTR*>(application_.Get(), kApplicationGetCaption, title.ReleaseAndGetAddressOf()); }));
        return title.Text();
    }

private:
    ComPtr<IUnknown> application_;
    com::LateBoundNames names_;
    Calls calls_;
};

class ComCadLink final : public CadLink {
public:
    explicit ComCadLink(ComCadLinkParts parts)
        : running_(parts.running ? std::move(parts.running) : com::MakeRunningObjectTable()),
          calls_(std::make_shared<ComCalls>(parts.clock ? std::move(parts.clock) : com::MakeMessageLoopClock())),
          deliverWaitingMessages_(std::move(parts.deliverWaitingMessages)) {}

    // Release 15 through its interfaces exactly as before; only when it does not run, the newest
    // other release by name; release 15 by name too when its interface cannot be reached (a
    // server of the other bitness whose interfaces are not registered in this process's view),
    // whichever way COM says so. A busy or vanished application is its own failure.
    std::unique_ptr<CadApplication> Attach() override {
        if (!filter_) {
            filter_.emplace(deliverWaitingMessages_);
        }
        std::optional<com::RunningApplication> found;
        try {
            found = running_->Release15();
        } catch (const Failure& failure) {
            if (failure.number() != error_number::kCannotAttach) throw;
        }
        if (!found) {
            found = running_->NewestRelease();
            if (!found) {
                throw Failure(error_number::kCannotAttach);
            }
            return LateBound(*found, com::EntityRelease::Newer);
        }
        ComPtr<IUnknown> application;
        const HRESULT hr = calls_->Call([&] { return found->object.AsIID(kApplicationIid, &application); });
        if (com::InterfaceOutOfReach(hr)) {
            return LateBound(*found, com::EntityRelease::Release15);
        }
        ThrowIfFailed(hr, ComSite::Attach);
        // The document's and its pre-selection's names, by name, are release 15's: kept from one
        // command to the next.
        return std::make_unique<ComApplication>(std::move(application), release15Names_, calls_);
    }

    void BringWindowToFront(std::u16string_view title) override { com::BringWindowToFront(title); }

private:
    std::unique_ptr<CadApplication> LateBound(const com::RunningApplication& found, com::EntityRelease release) {
        ComPtr<IDispatch> application;
        ThrowIfFailed(calls_->Call([&] { return found.object.As(&application); }), ComSite::Attach);
        return com::MakeLateBoundApplication(std::move(application), NamesOf(found.classId), release, calls_);
    }

    // The DISPIDs are the class's: kept for the next command against the same class.
    com::LateBoundNames NamesOf(const CLSID& classId) {
        for (const auto& [known, names] : names_) {
            if (IsEqualCLSID(known, classId)) return names;
        }
        return names_.emplace_back(classId, com::LateBoundNames{}).second;
    }

    std::unique_ptr<com::RunningApplications> running_;
    Calls calls_;
    std::function<void()> deliverWaitingMessages_;
    std::optional<com::CallFilter> filter_;
    std::vector<std::pair<CLSID, com::LateBoundNames>> names_;
    com::LateBoundNames release15Names_;
};

}  // namespace

std::unique_ptr<CadLink> MakeComCadLink(ComCadLinkParts parts) { return std::make_unique<ComCadLink>(std::move(parts)); }

}  // namespace morvane
