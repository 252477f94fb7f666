#include "cadlink/com/window_front.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "caseconv/failure.h"

namespace morvane::com {
namespace {

using namespace std::chrono_literals;

std::wstring HelperPath() {
    wchar_t path[MAX_PATH]{};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    return folder + L"cadlink_title_window.exe";
}

template <typename Condition>
bool WaitFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

struct Search {
    DWORD process;
    const wchar_t* title;
    HWND found;
};

HWND FindWindowOf(DWORD process, const wchar_t* title) {
    Search search{process, title, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) noexcept -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t text[256]{};
            GetWindowTextW(window, text, 256);
            if (owner == s.process && std::wstring(text) == s.title) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Another program with windows of the given titles; closed when the test ends.
class WindowProgram {
public:
    explicit WindowProgram(std::wstring titles) {
        std::wstring commandLine = L"\"" + HelperPath() + L"\" " + titles;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &process_) != FALSE;
        // Every window made and shown, the program waiting in its message loop.
        started_ = started_ && WaitForInputIdle(process_.hProcess, 10000) == 0;
    }
    WindowProgram(const WindowProgram&) = delete;
    WindowProgram& operator=(const WindowProgram&) = delete;
    ~WindowProgram() {
        if (!started_) {
            return;
        }
        if (HWND any = FindAnyWindow(); any != nullptr) {
            PostMessageW(any, WM_CLOSE, 0, 0);
        }
        if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    [[nodiscard]] bool Started() const { return started_; }
    [[nodiscard]] HWND Window(const wchar_t* title) const {
        HWND window = nullptr;
        WaitFor([&] { return (window = FindWindowOf(process_.dwProcessId, title)) != nullptr; });
        return window;
    }

private:
    [[nodiscard]] HWND FindAnyWindow() const {
        HWND found = nullptr;
        for (HWND window = GetTopWindow(nullptr); window != nullptr && found == nullptr;
             window = GetWindow(window, GW_HWNDNEXT)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == process_.dwProcessId) {
                found = window;
            }
        }
        return found;
    }

    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

class BringWindowToFrontTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cad_.Started());
        ASSERT_TRUE(other_.Started());
        exact_ = cad_.Window(L"Stand-In CAD");
        prefixOnly_ = cad_.Window(L"Plan View - [b.dwg]");
        holder_ = other_.Window(L"Some Other Program");
        ASSERT_NE(exact_, nullptr);
        ASSERT_NE(prefixOnly_, nullptr);
        ASSERT_NE(holder_, nullptr);
    }

    // The foreground belongs to a third program, neither this test nor the CAD stand-in.
    void GiveForegroundToOther() {
        PostMessageW(holder_, WM_APP, 0, 0);
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == holder_; }));
    }

    WindowProgram cad_{L"\"Stand-In CAD - [a.dwg]\" \"Stand-In CAD\" \"Plan View - [b.dwg]\""};
    WindowProgram other_{L"\"Some Other Program\""};
    HWND exact_ = nullptr;
    HWND prefixOnly_ = nullptr;
    HWND holder_ = nullptr;
};

// Rule: the window with exactly the title comes to the front, ahead of one that only begins with
// it, although another program holds the foreground.
TEST_F(BringWindowToFrontTest, ExactTitleComesToFront) {
    GiveForegroundToOther();
    BringWindowToFront(u"Stand-In CAD");
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == exact_; }));
}

// Rule: failing an exact title, a window whose title begins with the text comes to the front.
TEST_F(BringWindowToFrontTest, PrefixComesToFront) {
    GiveForegroundToOther();
    BringWindowToFront(u"Plan View");
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == prefixOnly_; }));
}

// Rule: no window with the title is failure 5, and the foreground stays where it was.
TEST_F(BringWindowToFrontTest, NoWindowIsFailure5) {
    GiveForegroundToOther();
    try {
        BringWindowToFront(u"No Window Has This Title");
        ADD_FAILURE() << "no Failure thrown";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), 5);
    }
    EXPECT_EQ(GetForegroundWindow(), holder_);
}

}  // namespace
}  // namespace morvane::com
