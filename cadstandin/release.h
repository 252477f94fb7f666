#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Which release of the CAD application the stand-in is: release 15, with its interfaces' IDs and
// slots (the default), or a newer one (--release N), whose interfaces have IDs of their own and are
// driven by name, as a client drives every release it does not know by its IDs and slots.

namespace cadstandin {

class StandinRelease {
public:
    static constexpr int kRelease15 = 15;
    static constexpr int kNewest = 999;

    StandinRelease() = default;
    // A release from kRelease15 to kNewest.
    explicit StandinRelease(int number) : number_(number) {}

    [[nodiscard]] int Number() const { return number_; }
    [[nodiscard]] bool IsRelease15() const { return number_ == kRelease15; }
    // "AutoCad.Application.15", or "AutoCAD.Application.<N>".
    [[nodiscard]] std::wstring ProgId() const;
    // The class registered under the ProgID and published in the running object table; each release
    // its own, so that stand-ins of different releases run side by side.
    [[nodiscard]] CLSID ClassId() const;
    // The interfaces the application, document and utility answer, and the type library describing
    // them (registered from the exe's TYPELIB resource of that number).
    [[nodiscard]] const IID& ApplicationIid() const;
    [[nodiscard]] const IID& DocumentIid() const;
    [[nodiscard]] const IID& UtilityIid() const;
    [[nodiscard]] const GUID& LibraryId() const;
    [[nodiscard]] int TypeLibraryResource() const { return IsRelease15() ? 1 : 2; }
    // The drawing window's title, which is also the application's Caption: release 15's
    // "AutoCAD Stand-in - [Drawing1.dwg]", a newer one's "AutoCAD Stand-in R25 - [Drawing1.dwg]".
    [[nodiscard]] std::u16string WindowTitle(std::u16string_view document) const;
    // Where a take-over keeps what it replaced, under HKEY_CURRENT_USER.
    [[nodiscard]] std::wstring BackupKey() const;

private:
    int number_ = kRelease15;
};

// The version-independent ProgID a newer release registers too, with CurVer naming its own.
inline constexpr const wchar_t* kVersionIndependentProgId = L"AutoCAD.Application";

}  // namespace cadstandin
