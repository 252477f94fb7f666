#include "cadstandin/registration.h"

#include <array>
#include <optional>
#include <vector>

#include "cadstandin/server.h"
#include "standin_automation.h"

namespace cadstandin {
namespace {

constexpr const wchar_t* kClasses = L"Software\\Classes";
constexpr const wchar_t* kBackup = L"Software\\CadStandin\\Backup";
constexpr const wchar_t* kBackupParent = L"Software\\CadStandin";
constexpr const wchar_t* kClassName = L"AutoCAD Stand-in Application";

std::wstring GuidWide(REFGUID guid) {
    const std::string text = GuidText(guid);
    return std::wstring(text.begin(), text.end());
}

// The keys under Software\Classes that a real installation may own.
std::vector<std::wstring> SharedKeys() {
    return {kProgId, L"Interface\\" + GuidWide(IID_IStandinApplication), L"Interface\\" + GuidWide(IID_IStandinDocument),
            L"Interface\\" + GuidWide(IID_IStandinUtility)};
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

std::wstring Backup(const std::wstring& path) {
    return std::wstring(kBackup) + L"\\" + path;
}

// Puts back every key a take-over saved; false when there was no backup.
bool RestoreBackup() {
    if (!KeyExists(HKEY_CURRENT_USER, kBackup)) return false;
    for (const std::wstring& path : SharedKeys()) {
        if (!KeyExists(HKEY_CURRENT_USER, Backup(path))) continue;
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, Classes(path).c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, Classes(path).c_str());
        CopyTree(HKEY_CURRENT_USER, Backup(path), HKEY_LOCAL_MACHINE, Classes(path));
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kBackupParent);
    RegDeleteKeyW(HKEY_CURRENT_USER, kBackupParent);
    return true;
}

bool SameGuid(const std::wstring& text, REFGUID guid) {
    GUID parsed{};
    return CLSIDFromString(text.c_str(), &parsed) == NOERROR && IsEqualGUID(parsed, guid);
}

}  // namespace

Registration::~Registration() {
    Unregister();
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
        if (!owner || !SameGuid(*owner, i == 0 ? CLSID_StandinApplication : LIBID_CadStandinLib)) {
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
            const LSTATUS status = CopyTree(HKEY_LOCAL_MACHINE, Classes(path), HKEY_CURRENT_USER, Backup(path));
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
    const std::wstring clsid = GuidWide(CLSID_StandinApplication);
    const std::wstring clsidKey = Classes(L"CLSID\\" + clsid);
    for (const auto& [path, value] : std::array<std::pair<std::wstring, std::wstring>, 4>{{
             {Classes(kProgId), kClassName},
             {Classes(std::wstring(kProgId) + L"\\CLSID"), clsid},
             {clsidKey, kClassName},
             {clsidKey + L"\\ProgID", kProgId},
         }}) {
        const LSTATUS status = WriteDefault(HKEY_LOCAL_MACHINE, path, value);
        if (status != ERROR_SUCCESS) {
            message = "cannot write HKLM\\" + WideToUtf8(path) + ": error " + std::to_string(status);
            Unregister();
            return Outcome::Failed;
        }
    }
    const HRESULT loaded = LoadTypeLibEx(exePath.c_str(), REGKIND_REGISTER, typeLibrary_.ReleaseAndGetAddressOf());
    if (FAILED(loaded)) {
        message = "cannot register the type library: " + HexResult(loaded);
        Unregister();
        return Outcome::Failed;
    }
    log.Line(std::string("registry progid=") + (backedUp_ ? "taken-over" : "added") + " clsid=" + GuidText(CLSID_StandinApplication) +
             " typelib=registered");
    return Outcome::Registered;
}

void Registration::Unregister() {
    if (!registered_) return;
    registered_ = false;
    HRESULT unregistered = S_FALSE;
    if (typeLibrary_) {
        typeLibrary_.Reset();
        unregistered = UnRegisterTypeLib(LIBID_CadStandinLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
    }
    const std::wstring clsidKey = Classes(L"CLSID\\" + GuidWide(CLSID_StandinApplication));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, clsidKey.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, clsidKey.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, Classes(kProgId).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, Classes(kProgId).c_str());
    const bool restored = backedUp_ && RestoreBackup();
    backedUp_ = false;
    Server::Get().log.Line(std::string("unregistry progid=") + (restored ? "restored" : "removed") +
                           " typelib=" + (unregistered == S_FALSE ? "none" : HexResult(unregistered)));
}

}  // namespace cadstandin
