#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <memory>
#include <optional>

namespace morvane::com {

// A running CAD application's automation object and its class.
struct RunningApplication {
    Microsoft::WRL::ComPtr<IUnknown> object;
    CLSID classId{};
};

// Where the binding finds the running CAD application; replaced in tests.
class RunningApplications {
public:
    virtual ~RunningApplications() = default;

    // The running object of the ProgID "AutoCad.Application.15" (the ProgID looked up in the 64-bit
    // and the 32-bit registry view where COM finds none in this process's); Failure(429) when there
    // is none (or no such ProgID), any other number as ErrorNumber gives it.
    [[nodiscard]] virtual RunningApplication Release15() = 0;
    // Of the running objects whose class's ProgID names a release ("AutoCAD.Application.<release>",
    // in any case), the newest release's; none when none runs. The class is looked up in the 64-bit
    // and the 32-bit registry view, so that an application of either bitness is found. No list of
    // releases: one that does not exist yet is found as well. Throws morvane::Failure when the
    // table cannot be read.
    [[nodiscard]] virtual std::optional<RunningApplication> NewestRelease() = 0;
};

// The system's running object table. Throws std::bad_alloc only.
[[nodiscard]] std::unique_ptr<RunningApplications> MakeRunningObjectTable();

}  // namespace morvane::com
