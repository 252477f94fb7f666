// The walk of the running object table against objects this test publishes in it, their classes
// registered in one registry view or the other.
//
// How Wine shows the two views: a 64-bit Wine prefix keeps a 64-bit and a 32-bit registry view, as
// 64-bit Windows does; HKLM\Software\Classes\CLSID written with KEY_WOW64_32KEY is not seen by a
// 64-bit process that does not name that view (and the reverse for a 32-bit process). A class
// registered only in the other bitness's view here is what a 32-bit Morvane meets beside a 64-bit
// CAD application (and a 64-bit one beside a 32-bit application). One leniency: Wine's
// ProgIDFromCLSID looks in both views where Windows' looks in the caller's only, so these tests
// check the walk's own reading of both views; with only this process's view read, the
// other-view cases fail.
#include "cadlink/com/running_application.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "cadlink/tests/fake_dispatch.h"

namespace morvane::com {
namespace {

using testing_dispatch::FakeDispatch;

// Classes no program registers: releases far newer than any real one, so that they are the newest.
constexpr CLSID kOlderClass = {0x3F1B6A52, 0x90C4, 0x4E7D, {0x8B, 0x2A, 0x61, 0xD0, 0x5C, 0x3E, 0x94, 0x01}};
constexpr CLSID kNewerClass = {0x3F1B6A52, 0x90C4, 0x4E7D, {0x8B, 0x2A, 0x61, 0xD0, 0x5C, 0x3E, 0x94, 0x02}};

enum class View { Own, Other, None };

// The registry view of this process's bitness, and the other one (64-bit Windows or Wine).
REGSAM ViewFlag(View view) {
    const bool is64 = sizeof(void*) == 8;
    return (view == View::Own) == is64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

// Whether the key can be opened in the view.
bool SeenIn(const std::wstring& path, View view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | ViewFlag(view), &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Deletes the key and everything below it in the view. RegDeleteTreeW reads a subkey's path in this
// process's own view, whatever view its handle was opened in; the key itself opened in the view is
// emptied, and then deleted by RegDeleteKeyExW, which names the view.
void DeleteInView(const std::wstring& path, View view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0,
                      DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | ViewFlag(view),
                      &key) != ERROR_SUCCESS) {
        return;
    }
    RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), ViewFlag(view), 0);
}

std::wstring Guid(const CLSID& classId) {
    wchar_t guid[39]{};
    StringFromGUID2(classId, guid, 39);
    return guid;
}

// A key below HKLM\Software\Classes (HKCR) with a subkey whose default value is the text, in one
// registry view only, until the object goes; it checks that nothing of it is left in that view, where
// a later test would find it.
class ClassesEntry {
public:
    ClassesEntry(const std::wstring& key, const std::wstring& subkey, const std::wstring& text, View view)
        : key_(key), view_(view) {
        if (view_ == View::None) return;
        HKEY created = nullptr;
        made_ = RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kClasses + L"\\" + key + L"\\" + subkey).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS | ViewFlag(view_), nullptr, &created, nullptr) == ERROR_SUCCESS &&
                RegSetValueExW(created, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
        if (created != nullptr) RegCloseKey(created);
    }
    ClassesEntry(const ClassesEntry&) = delete;
    ClassesEntry& operator=(const ClassesEntry&) = delete;
    ~ClassesEntry() {
        if (view_ == View::None) return;
        const std::wstring path = kClasses + L"\\" + key_;
        DeleteInView(path, view_);
        EXPECT_FALSE(SeenIn(path, view_)) << "left behind in its registry view";
    }

    [[nodiscard]] bool Made() const { return view_ == View::None || made_; }
    // Whether this process's plain reading (no view named) sees the key.
    [[nodiscard]] bool SeenWithoutView() const { return Seen(kClasses + L"\\" + key_); }

    static bool Seen(const std::wstring& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    inline static const std::wstring kClasses = L"Software\\Classes";

private:
    std::wstring key_;
    View view_;
    bool made_ = false;
};

// The class registered with the ProgID in one registry view only.
class ClassRegistration : public ClassesEntry {
public:
    ClassRegistration(const CLSID& classId, const std::wstring& progId, View view)
        : ClassesEntry(L"CLSID\\" + Guid(classId), L"ProgID", progId, view) {}
};

// The object published in the running object table under the class, until the object goes.
class Publication {
public:
    Publication(IUnknown* object, const CLSID& classId) {
        published_ = SUCCEEDED(RegisterActiveObject(object, classId, ACTIVEOBJECT_STRONG, &cookie_));
    }
    Publication(const Publication&) = delete;
    Publication& operator=(const Publication&) = delete;
    ~Publication() {
        if (published_) RevokeActiveObject(cookie_, nullptr);
    }
    [[nodiscard]] bool Made() const { return published_; }

private:
    DWORD cookie_ = 0;
    bool published_ = false;
};

class RunningObjectTableTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override {
        EXPECT_EQ(older_.references, 0u);
        EXPECT_EQ(newer_.references, 0u);
        CoUninitialize();
    }

    FakeDispatch older_;
    FakeDispatch newer_;
};

struct ViewCase {
    const char* name;
    View view;
    bool found;
};

class ClassViewTest : public RunningObjectTableTest, public testing::WithParamInterface<ViewCase> {};

// Rule: a running application's class is found through this process's registry view and through
// the other bitness's (a 64-bit application beside a 32-bit Morvane); a class registered in neither
// names no release.
TEST_P(ClassViewTest, ClassIsFoundInEitherView) {
    const ClassRegistration registration(kNewerClass, L"AutoCAD.Application.901", GetParam().view);
    ASSERT_TRUE(registration.Made());
    EXPECT_EQ(registration.SeenWithoutView(), GetParam().view == View::Own);
    {
        const Publication publication(&newer_, kNewerClass);
        ASSERT_TRUE(publication.Made());
        const std::optional<RunningApplication> found = MakeRunningObjectTable()->NewestRelease();
        const bool ours = found && IsEqualCLSID(found->classId, kNewerClass);
        EXPECT_EQ(ours, GetParam().found);
        if (ours) {
            EXPECT_EQ(found->object.Get(), static_cast<IUnknown*>(&newer_));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Views, ClassViewTest,
                         testing::Values(ViewCase{"OwnView", View::Own, true}, ViewCase{"OtherView", View::Other, true},
                                         ViewCase{"NoView", View::None, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Rule: releases registered in different views are compared as one list: the newest wins wherever
// it is registered.
TEST_F(RunningObjectTableTest, NewestAcrossBothViews) {
    for (const View newerView : {View::Other, View::Own}) {
        const View olderView = newerView == View::Own ? View::Other : View::Own;
        const ClassRegistration older(kOlderClass, L"AutoCAD.Application.900", olderView);
        const ClassRegistration newer(kNewerClass, L"AutoCAD.Application.901", newerView);
        ASSERT_TRUE(older.Made() && newer.Made());
        const Publication olderPublication(&older_, kOlderClass);
        const Publication newerPublication(&newer_, kNewerClass);
        ASSERT_TRUE(olderPublication.Made() && newerPublication.Made());
        const std::optional<RunningApplication> found = MakeRunningObjectTable()->NewestRelease();
        ASSERT_TRUE(found.has_value());
        EXPECT_TRUE(IsEqualCLSID(found->classId, kNewerClass)) << "the newer release in the "
                                                               << (newerView == View::Own ? "own" : "other") << " view";
    }
}

// Rule: release 15's ProgID is found in either registry view too (Windows shares ProgIDs between
// the views since Windows 7; Wine, like Windows Vista, keeps one per view).
TEST_F(RunningObjectTableTest, Release15RegisteredInTheOtherView) {
    if (ClassesEntry::Seen(ClassesEntry::kClasses + L"\\AutoCad.Application.15")) {
        GTEST_SKIP() << "release 15's ProgID is registered in this process's view (an installation or a stand-in)";
    }
    const ClassesEntry progId(L"AutoCad.Application.15", L"CLSID", Guid(kNewerClass), View::Other);
    ASSERT_TRUE(progId.Made());
    const Publication publication(&newer_, kNewerClass);
    ASSERT_TRUE(publication.Made());
    const RunningApplication found = MakeRunningObjectTable()->Release15();
    EXPECT_TRUE(IsEqualCLSID(found.classId, kNewerClass));
    EXPECT_EQ(found.object.Get(), static_cast<IUnknown*>(&newer_));
}

}  // namespace
}  // namespace morvane::com
