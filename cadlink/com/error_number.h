#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

namespace morvane::com {

// Where a failing HRESULT came from: the same HRESULT means different things at different places.
enum class ComSite {
    Attach,  // CLSIDFromProgID, GetActiveObject
    Call,    // QueryInterface, a call by vtable slot, GetIDsOfNames, anything else
    Invoke,  // IDispatch::Invoke, whose DISP_E_EXCEPTION carries an EXCEPINFO
};

// The program's error number for a failed HRESULT, the one place where COM failures become
// numbers. At Invoke, a DISP_E_EXCEPTION gives the number of the EXCEPINFO's scode (translated as
// any returned HRESULT is), else its wCode, else 0x80020009 itself. The EXCEPINFO's deferred
// fill-in is never run: it is a function of the CAD application's process, meaningless in ours.
// Never throws.
[[nodiscard]] std::int32_t ErrorNumber(HRESULT hr, ComSite site, const EXCEPINFO* excepInfo = nullptr) noexcept;

// Throws morvane::Failure with ErrorNumber(hr, site) when hr is a failure.
void ThrowIfFailed(HRESULT hr, ComSite site = ComSite::Call);

// For Invoke: throws morvane::Failure with the number for hr and its EXCEPINFO when hr is a failure.
void ThrowIfInvokeFailed(HRESULT hr, const EXCEPINFO& excepInfo);

// Owns an EXCEPINFO filled by Invoke and frees its strings.
class ExcepInfo {
public:
    ExcepInfo() noexcept : value_{} {}
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() {
        SysFreeString(value_.bstrSource);
        SysFreeString(value_.bstrDescription);
        SysFreeString(value_.bstrHelpFile);
    }

    [[nodiscard]] EXCEPINFO* Get() noexcept { return &value_; }
    [[nodiscard]] EXCEPINFO& operator*() noexcept { return value_; }

private:
    EXCEPINFO value_;
};

}  // namespace morvane::com
