#include "cadstandin/registration.h"

#include <array>
#include <optional>

#include "cadstandin/server.h"

namespace cadstandin {
namespace {

constexpr const wchar_t* kClasses = L"Software\\Classes";
constexpr const wchar_t* kBackupParent = L"Software\\CadStandin";
constexpr const wchar_t* kClassName = L"AutoCAD Stand-in Application";

std::wstring GuidWide(REFGUID guid) {
    const std::string text = GuidText(guid);
    return std::wstring(text.begin(), text.end());
}

std::optional<std::wstring> ReadDefault(HKEY root, const std::wstring& path) {
    wchar_t value[256] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(value);
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

LSTATUS WriteDefault(HKEY root, const std::wstring& path, const std::wstring& value) {
    return RegSetKeyValueW(root, path.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void DeleteTree(HKEY root, const std::wstring& path) {
    RegDeleteTreeW(root, path.c_str());
    RegDeleteKeyW(root, path.c_str());
}

LSTATUS CopyTree(HKEY fromRoot, const std::wstring& from, HKEY toRoot, const std::wstring& to) {
    HKEY source = nullptr;
    LSTATUS status = RegOpenKeyExW(fromRoot, from.c_str(), 0, KEY_READ, &source);
    if (status != ERROR_SUCCESS) return status;
    HKEY target = nullptr;
    status = RegCreateKeyExW(toRoot, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegCopyTreeW(source, nullptr, target);
        RegCloseKey(target);
    }
    RegCloseKey(source);
    return status;
}

std::wstring Classes(const std::wstring& path) {
    return std::wstring(kClasses) + L"\\" + path;
}

bool SameGuid(const std::wstring& text, REFGUID guid) {
    GUID parsed{};
    return CLSIDFromString(text.c_str(), &parsed) == NOERROR && IsEqualGUID(parsed, guid);
}

// The registry view of the other bitness: the 32-bit view for a 64-bit process, the 64-bit view for
// a 32-bit process on 64-bit Windows; none on 32-bit Windows.
std::optional<REGSAM> OtherView() {
    if constexpr (sizeof(void*) == 8) {
        return KEY_WOW64_32KEY;
    } else {
        BOOL wow64 = FALSE;
        if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return std::nullopt;
        return KEY_WOW64_64KEY;
    }
}

// Wine's RegisterTypeLib writes the interface keys into both registry views. An installer that
// writes its keys itself fills only its own view, and then a client of the other bitness cannot
// reach the interfaces (the case a client has to survive): the stand-in keeps its interfaces to its
// own view, removing from the other what its registration put there.
void KeepInterfacesToOwnView(ITypeLib& library) {
    const std::optional<REGSAM> otherView = OtherView();
    if (!otherView) return;
    TLIBATTR* libraryAttributes = nullptr;
    if (FAILED(library.GetLibAttr(&libraryAttributes))) return;
    const GUID libraryId = libraryAttributes->guid;
    library.ReleaseTLibAttr(libraryAttributes);
    for (UINT i = 0; i < library.GetTypeInfoCount(); ++i) {
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        TYPEATTR* attributes = nullptr;
        if (FAILED(library.GetTypeInfo(i, info.GetAddressOf())) || FAILED(info->GetTypeAttr(&attributes))) continue;
        const bool isInterface = attributes->typekind == TKIND_INTERFACE || attributes->typekind == TKIND_DISPATCH;
        const std::wstring path = Classes(L"Interface\\" + GuidWide(attributes->guid));
        info->ReleaseTypeAttr(attributes);
        if (!isInterface) continue;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | *otherView, &key) != ERROR_SUCCESS) continue;
        wchar_t owner[64] = {};
        DWORD size = sizeof owner - sizeof(wchar_t);
        const bool ours = RegGetValueW(key, L"TypeLib", nullptr, RRF_RT_REG_SZ, nullptr, owner, &size) == ERROR_SUCCESS &&
                          SameGuid(owner, libraryId);
        if (ours) RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
        if (ours) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), *otherView, 0);
    }
}

}  // namespace

Registration::~Registration() {
    Unregister();
}

// The keys under Software\Classes that a real installation of the same release may own.
std::vector<std::wstring> Registration::SharedKeys() const {
    return {release_.ProgId(), L"Interface\\" + GuidWide(release_.ApplicationIid()),
            L"Interface\\" + GuidWide(release_.DocumentIid()), L"Interface\\" + GuidWide(release_.UtilityIid())};
}

// Puts back every key a take-over of this release saved; false when there was no backup.
bool Registration::RestoreBackup() const {
    const std::wstring backup = release_.BackupKey();
    if (!KeyExists(HKEY_CURRENT_USER, backup)) return false;
    for (const std::wstring& path : SharedKeys()) {
        const std::wstring saved = backup + L"\\" + path;
        if (!KeyExists(HKEY_CURRENT_USER, saved)) continue;
        DeleteTree(HKEY_LOCAL_MACHINE, Classes(path));
        CopyTree(HKEY_CURRENT_USER, saved, HKEY_LOCAL_MACHINE, Classes(path));
    }
    DeleteTree(HKEY_CURRENT_USER, backup);
    // Only when no other release's backup is left in it.
    RegDeleteKeyW(HKEY_CURRENT_USER, kBackupParent);
    return true;
}

Registration::Outcome Registration::Register(const std::wstring& exePath, bool takeOver, std::string& message) {
    Log& log = Server::Get().log;
    if (RestoreBackup()) log.Line("registry restored=backup-of-a-vanished-run");

    // Whatever names another class or type library belongs to a real installation.
    std::vector<std::wstring> foreign;
    const std::vector<std::wstring> shared = SharedKeys();
    for (std::size_t i = 0; i < shared.size(); ++i) {
        const std::wstring& path = shared[i];
        if (!KeyExists(HKEY_CLASSES_ROOT, path)) continue;
        const std::optional<std::wstring> owner =
            ReadDefault(HKEY_CLASSES_ROOT, path + (i == 0 ? L"\\CLSID" : L"\\TypeLib"));
        if (!owner || !SameGuid(*owner, i == 0 ? release_.ClassId() : release_.LibraryId())) {
            foreign.push_back(path);
            message += (message.empty() ? "" : "; ") + WideToUtf8(path) + " is registered to " +
                       (owner ? WideToUtf8(*owner) : std::string("another component"));
        }
    }
    if (!foreign.empty() && !takeOver) {
        message = "refusing to take over another application's registration (" + message +
                  "); run with --take-over to use it anyway, it is put back at exit";
        return Outcome::Refused;
    }
    if (!foreign.empty()) {
        for (const std::wstring& path : foreign) {
            const LSTATUS status = CopyTree(HKEY_LOCAL_MACHINE, Classes(path), HKEY_CURRENT_USER,
                                            release_.BackupKey() + L"\\" + path);
            if (status != ERROR_SUCCESS) {
                message = "cannot back up " + WideToUtf8(path) + ": error " + std::to_string(status);
                RestoreBackup();
                return Outcome::Failed;
            }
        }
        backedUp_ = true;
        message.clear();
    }

    registered_ = true;
    const std::wstring progId = release_.ProgId();
    const std::wstring clsid = GuidWide(release_.ClassId());
    const std::wstring clsidKey = Classes(L"CLSID\\" + clsid);
    std::vector<std::pair<std::wstring, std::wstring>> values{
        {Classes(progId), kClassName},
        {Classes(progId + L"\\CLSID"), clsid},
        {clsidKey, kClassName},
        {clsidKey + L"\\ProgID", progId},
    };
    if (!release_.IsRelease15()) values.emplace_back(clsidKey + L"\\VersionIndependentProgID", kVersionIndependentProgId);
    for (const auto& [path, value] : values) {
        const LSTATUS status = WriteDefault(HKEY_LOCAL_MACHINE, path, value);
        if (status != ERROR_SUCCESS) {
            message = "cannot write HKLM\\" + WideToUtf8(path) + ": error " + std::to_string(status);
            Unregister();
            return Outcome::Failed;
        }
    }
    if (!release_.IsRelease15()) RegisterVersionIndependent();

    const std::wstring libraryPath = exePath + (release_.TypeLibraryResource() == 1 ? L"" : L"\\" + std::to_wstring(release_.TypeLibraryResource()));
    // Registered with the path as given: LoadTypeLibEx(REGKIND_REGISTER) records the exe without the
    // resource number under Wine, and the library then found there would be release 15's.
    HRESULT loaded = LoadTypeLibEx(libraryPath.c_str(), REGKIND_NONE, typeLibrary_.ReleaseAndGetAddressOf());
    std::wstring registeredPath = libraryPath;
    if (SUCCEEDED(loaded)) loaded = RegisterTypeLib(typeLibrary_.Get(), registeredPath.data(), nullptr);
    if (FAILED(loaded)) {
        message = "cannot register the type library: " + HexResult(loaded);
        Unregister();
        return Outcome::Failed;
    }
    KeepInterfacesToOwnView(*typeLibrary_.Get());
    log.Line(std::string("registry progid=") + (backedUp_ ? "taken-over" : "added") + " release=" +
             std::to_string(release_.Number()) + " clsid=" + GuidText(release_.ClassId()) + " typelib=registered" +
             (release_.IsRelease15() ? "" : versionIndependent_ ? " version-independent=added" : " version-independent=left"));
    return Outcome::Registered;
}

// "AutoCAD.Application" with CurVer naming this release, unless another class holds it (a real
// installation or another release's stand-in): then it is left as it is.
void Registration::RegisterVersionIndependent() {
    const std::wstring key = Classes(kVersionIndependentProgId);
    const std::optional<std::wstring> owner = ReadDefault(HKEY_LOCAL_MACHINE, key + L"\\CLSID");
    if (KeyExists(HKEY_LOCAL_MACHINE, key) && !(owner && SameGuid(*owner, release_.ClassId()))) return;
    versionIndependent_ = WriteDefault(HKEY_LOCAL_MACHINE, key, kClassName) == ERROR_SUCCESS &&
                          WriteDefault(HKEY_LOCAL_MACHINE, key + L"\\CLSID", GuidWide(release_.ClassId())) == ERROR_SUCCESS &&
                          WriteDefault(HKEY_LOCAL_MACHINE, key + L"\\CurVer", release_.ProgId()) == ERROR_SUCCESS;
}

void Registration::Unregister() {
    if (!registered_) return;
    registered_ = false;
    HRESULT unregistered = S_FALSE;
    if (typeLibrary_) {
        typeLibrary_.Reset();
        unregistered = UnRegisterTypeLib(release_.LibraryId(), 1, 0, LOCALE_NEUTRAL, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    }
    DeleteTree(HKEY_LOCAL_MACHINE, Classes(L"CLSID\\" + GuidWide(release_.ClassId())));
    DeleteTree(HKEY_LOCAL_MACHINE, Classes(release_.ProgId()));
    if (versionIndependent_) {
        // Only while it still names this release's class.
        const std::optional<std::wstring> owner =
            ReadDefault(HKEY_LOCAL_MACHINE, Classes(std::wstring(kVersionIndependentProgId) + L"\\CLSID"));
        if (owner && SameGuid(*owner, release_.ClassId())) DeleteTree(HKEY_LOCAL_MACHINE, Classes(kVersionIndependentProgId));
        versionIndependent_ = false;
    }
    const bool restored = backedUp_ && RestoreBackup();
    backedUp_ = false;
    Server::Get().log.Line(std::string("unregistry progid=") + (restored ? "restored" : "removed") +
                           " typelib=" + (unregistered == S_FALSE ? "none" : HexResult(unregistered)));
}

}  // namespace cadstandin
