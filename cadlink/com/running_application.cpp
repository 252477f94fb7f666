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

// Closes a registry key.
struct RegistryKey {
    HKEY handle = nullptr;
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (handle != nullptr) RegCloseKey(handle);
    }
};

// The registry views in which a registration is looked for. On 64-bit Windows HKCR\CLSID is
// redirected: the 64-bit view holds the classes of 64-bit programs, the 32-bit view those of
// 32-bit programs, and a process sees only its own view unless it names the other. ProgIDFromCLSID
// reads this process's view only: a 32-bit Morvane would not find a 64-bit CAD application's class,
// nor a 64-bit one a 32-bit application's. The ProgIDs themselves are shared since Windows 7, but
// where they are redirected too (Windows Vista, Wine) the same reading finds them. 32-bit Windows
// ignores both flags and reads its one view.
constexpr REGSAM kViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

// The text of the key's default value below HKCR, from the first registry view that has one.
// Only short values (a ProgID has at most 39 characters, a class 38); none for a longer one.
std::optional<std::wstring> ClassesText(const std::wstring& path) {
    for (const REGSAM view : kViews) {
        RegistryKey key;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE | view, &key.handle) != ERROR_SUCCESS) {
            continue;
        }
        wchar_t text[128]{};
        DWORD size = sizeof text;
        if (RegGetValueW(key.handle, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, text, &size) == ERROR_SUCCESS) {
            return std::wstring(text);
        }
    }
    return std::nullopt;
}

// The release named by the ProgID of the class's registration (HKCR\CLSID\{class}\ProgID).
std::optional<CadRelease> ReleaseOfClass(const CLSID& classId) {
    wchar_t guid[39]{};
    if (StringFromGUID2(classId, guid, 39) == 0) {
        return std::nullopt;
    }
    const std::optional<std::wstring> progId = ClassesText(std::wstring(L"CLSID\\") + guid + L"\\ProgID");
    if (!progId) {
        return std::nullopt;
    }
    return ReleaseOfProgId(std::u16string(progId->begin(), progId->end()));
}

// The class of the ProgID as COM finds it; where COM finds no such ProgID in this process's view,
// the class its registration in either view names (HKCR\<ProgID>\CLSID).
HRESULT ClassOfProgId(const wchar_t* progId, CLSID& classId) {
    const HRESULT hr = CLSIDFromProgID(progId, &classId);
    if (hr != CO_E_CLASSSTRING) {
        return hr;
    }
    const std::optional<std::wstring> registered = ClassesText(std::wstring(progId) + L"\\CLSID");
    return registered && SUCCEEDED(CLSIDFromString(registered->c_str(), &classId)) ? S_OK : hr;
}

class RunningObjectTable final : public RunningApplications {
public:
    RunningApplication Release15() override {
        RunningApplication found;
        ThrowIfFailed(ClassOfProgId(kRelease15ProgId, found.classId), ComSite::Attach);
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
