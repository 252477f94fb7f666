#include "dialog/process_end.h"

#include <atomic>

namespace morvane {
namespace {

[[noreturn]] void EndNow() noexcept {
    TerminateProcess(GetCurrentProcess(), 0);
    ExitProcess(0);  // only should the termination fail: it ends this thread too
}

void CALLBACK EndWhenDue(PVOID, BOOLEAN) noexcept { EndNow(); }

}  // namespace

void EndProcessAfter(DWORD afterMs) noexcept {
    static std::atomic<bool> armed{false};
    if (afterMs == 0) EndNow();
    if (armed.exchange(true)) return;
    // On a thread of the pool, so that it fires however long the UI thread waits. Never deleted:
    // it ends the process.
    HANDLE timer = nullptr;
    if (!CreateTimerQueueTimer(&timer, nullptr, &EndWhenDue, nullptr, afterMs, 0, WT_EXECUTEONLYONCE)) EndNow();
}

}  // namespace morvane
