#include "cadlink/com/running_application.h"

#include <objbase.h>
#include <oleauto.h>

#include <string>

#include "cadlink/com/error_number.h"
#include "cadlink/release_progid.h"

namespace morvane::com {

namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kRelease15ProgId[] = L"AutoCad.Application.15";

// Frees a string COM allocated with CoTaskMemAlloc.
struct TaskString {
    LPOLESTR text = nullptr;
    TaskString() = default;
    TaskString(const TaskString&) = delete;
    TaskString& operator=(const TaskString&) = delete;
    ~TaskString() { CoTaskMemFree(text); }
};

// The class of an object published with RegisterActiveObject, from its moniker's display name
// "!{CLSID}"; none for an entry of the table published otherwise.
std::optional<CLSID> PublishedClass(IMoniker& moniker, IBindCtx& context) {
    TaskString name;
    if (FAILED(moniker.GetDisplayName(&context, nullptr, &name.text)) || name.text == nullptr || name.text[0] != L'!') {
        return std::nullopt;
    }
    CLSID classId{};
    if (FAILED(CLSIDFromString(name.text + 1, &classId))) {
        return std::nullopt;
    }
    return classId;
}

std::optional<CadRelease> ReleaseOfClass(const CLSID& classId) {
    TaskString progId;
    if (FAILED(ProgIDFromCLSID(classId, &progId.text)) || progId.text == nullptr) {
        return std::nullopt;
    }
    const std::wstring text(progId.text);
    return ReleaseOfProgId(std::u16string(text.begin(), text.end()));
}

class RunningObjectTable final : public RunningApplications {
public:
    RunningApplication Release15() override {
        RunningApplication found;
        ThrowIfFailed(CLSIDFromProgID(kRelease15ProgId, &found.classId), ComSite::Attach);
        ThrowIfFailed(GetActiveObject(found.classId, nullptr, found.object.GetAddressOf()), ComSite::Attach);
        return found;
    }

    std::optional<RunningApplication> NewestRelease() override {
        ComPtr<IRunningObjectTable> table;
        ThrowIfFailed(GetRunningObjectTable(0, table.GetAddressOf()));
        ComPtr<IEnumMoniker> entries;
        ThrowIfFailed(table->EnumRunning(entries.GetAddressOf()));
        ComPtr<IBindCtx> context;
        ThrowIfFailed(CreateBindCtx(0, context.GetAddressOf()));
        ComPtr<IMoniker> newest;
        CLSID newestClass{};
        CadRelease newestRelease;
        ComPtr<IMoniker> moniker;
        while (entries->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            const std::optional<CLSID> classId = PublishedClass(*moniker.Get(), *context.Get());
            if (!classId) continue;
            std::optional<CadRelease> release = ReleaseOfClass(*classId);
            if (!release || (newest && *release <= newestRelease)) continue;
            newest = moniker;
            newestClass = *classId;
            newestRelease = std::move(*release);
        }
        if (!newest) {
            return std::nullopt;
        }
        RunningApplication found{.object = nullptr, .classId = newestClass};
        // Gone since the table was read: as if it had not been there.
        if (FAILED(table->GetObject(newest.Get(), found.object.GetAddressOf()))) {
            return std::nullopt;
        }
        return found;
    }
};

}  // namespace

std::unique_ptr<RunningApplications> MakeRunningObjectTable() { return std::make_unique<RunningObjectTable>(); }

}  // namespace morvane::com
