#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <string>

// The stand-in's registry entries: the ProgID, its class and the type library (with the interfaces it
// describes). It never harms a real installation: what belongs to another class is refused, or with
// take-over backed up and put back at exit.

namespace cadstandin {

class Registration {
public:
    enum class Outcome { Registered, Refused, Failed };

    Registration() = default;
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
    bool registered_ = false;
    bool backedUp_ = false;
    Microsoft::WRL::ComPtr<ITypeLib> typeLibrary_;
};

// The ProgID the CAD application's automation object belongs to.
inline constexpr const wchar_t* kProgId = L"AutoCad.Application.15";

}  // namespace cadstandin
