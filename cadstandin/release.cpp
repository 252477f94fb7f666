#include "cadstandin/release.h"

#include "standin_automation.h"
#include "standin_release_automation.h"

namespace cadstandin {

namespace {

// A newer release's class: this with the release number in the last two bytes.
constexpr CLSID kNewerReleaseClass = {0x5A0C8E2B, 0x7D14, 0x4C3A, {0xB1, 0xF6, 0x0E, 0x9D, 0x2C, 0x4B, 0x00, 0x00}};

}  // namespace

std::wstring StandinRelease::ProgId() const {
    return IsRelease15() ? L"AutoCad.Application.15" : L"AutoCAD.Application." + std::to_wstring(number_);
}

CLSID StandinRelease::ClassId() const {
    if (IsRelease15()) return CLSID_StandinApplication;
    CLSID classId = kNewerReleaseClass;
    classId.Data4[6] = static_cast<unsigned char>(number_ >> 8);
    classId.Data4[7] = static_cast<unsigned char>(number_ & 0xFF);
    return classId;
}

const IID& StandinRelease::ApplicationIid() const {
    return IsRelease15() ? IID_IStandinApplication : IID_IStandinReleaseApplication;
}

const IID& StandinRelease::DocumentIid() const { return IsRelease15() ? IID_IStandinDocument : IID_IStandinReleaseDocument; }

const IID& StandinRelease::UtilityIid() const { return IsRelease15() ? IID_IStandinUtility : IID_IStandinReleaseUtility; }

const GUID& StandinRelease::LibraryId() const { return IsRelease15() ? LIBID_CadStandinLib : LIBID_CadStandinReleaseLib; }

std::u16string StandinRelease::WindowTitle(std::u16string_view document) const {
    std::u16string title = u"AutoCAD Stand-in";
    if (!IsRelease15()) {
        const std::string number = std::to_string(number_);
        title += u" R" + std::u16string(number.begin(), number.end());
    }
    return title + u" - [" + std::u16string(document) + u"]";
}

std::wstring StandinRelease::BackupKey() const {
    const std::wstring backup = L"Software\\CadStandin\\Backup";
    return IsRelease15() ? backup : backup + L"." + std::to_wstring(number_);
}

}  // namespace cadstandin
