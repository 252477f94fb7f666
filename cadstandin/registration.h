#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "cadstandin/release.h"

// The stand-in's registry entries: the ProgID of its release, its class and its release's type
// library (with the interfaces it describes); a newer release also the version-independent ProgID
// while no other class holds it. It never harms a real installation: what belongs to another class
// is refused, or with take-over backed up and put back at exit. Stand-ins of different releases
// register and remove only their own entries, so they run side by side.

namespace cadstandin {

class Registration {
public:
    enum class Outcome { Registered, Refused, Failed };

    explicit Registration(StandinRelease release) : release_(release) {}
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    ~Registration();

    // Registers everything, or explains in message why not (Refused: another class owns the names;
    // Failed: the registry or the type library failed). Logs what it did.
    [[nodiscard]] Outcome Register(const std::wstring& exePath, bool takeOver, std::string& message);
    // Removes exactly what Register added and puts back what it backed up. Safe to call twice.
    void Unregister();
    // The registered type library, for dispatching by name.
    [[nodiscard]] Microsoft::WRL::ComPtr<ITypeLib> TypeLibrary() const { return typeLibrary_; }

private:
    [[nodiscard]] std::vector<std::wstring> SharedKeys() const;
    bool RestoreBackup() const;
    void RegisterVersionIndependent();

    StandinRelease release_;
    bool registered_ = false;
    bool backedUp_ = false;
    bool versionIndependent_ = false;  // the version-independent ProgID is ours to remove
    Microsoft::WRL::ComPtr<ITypeLib> typeLibrary_;
};

}  // namespace cadstandin
