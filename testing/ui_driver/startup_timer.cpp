// Times programs (given as Windows paths) from their start to their first visible top-level window with a given caption,
// alternating between them, and prints the median and the spread of each.
//   startup_timer <runs> <program> <caption> [<program> <caption>...]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "testing/support/process.h"
#include "testing/support/top_windows.h"

namespace {

using namespace morvane::testing_support;

// Milliseconds from CreateProcess to the visible window; negative when it did not show in 20 s.
double TimeOneStart(const std::wstring& program, const std::wstring& caption) {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER start{};
    LARGE_INTEGER shown{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    Process process(program, L"");
    const HWND window = WaitForTopWindow(WindowQuery().OfProcess(process.Id()).Titled(caption).VisibleOnly(), 20000, 1);
    QueryPerformanceCounter(&shown);
    (void)process.Close(window, 10000);
    if (window == nullptr) {
        return -1;
    }
    return 1000.0 * static_cast<double>(shown.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: startup_timer <runs> <program> <caption> [<program> <caption>...]\n");
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[1]));
    const int programs = (argc - 2) / 2;
    std::vector<std::vector<double>> times(static_cast<std::size_t>(programs));
    for (int run = 0; run < runs; ++run) {
        for (int p = 0; p < programs; ++p) {
            const double ms = TimeOneStart(argv[2 + 2 * p], argv[3 + 2 * p]);
            if (ms < 0) {
                std::fprintf(stderr, "startup_timer: no window from %ls\n", argv[2 + 2 * p]);
                return 1;
            }
            times[static_cast<std::size_t>(p)].push_back(ms);
        }
    }
    for (int p = 0; p < programs; ++p) {
        auto& t = times[static_cast<std::size_t>(p)];
        std::sort(t.begin(), t.end());
        const std::wstring program = argv[2 + 2 * p];
        const std::wstring name = program.substr(program.find_last_of(L"\\/") + 1);
        std::printf("%ls: median %.1f ms, min %.1f ms, max %.1f ms over %d starts\n", name.c_str(),
                    t[t.size() / 2], t.front(), t.back(), runs);
    }
    return 0;
}
