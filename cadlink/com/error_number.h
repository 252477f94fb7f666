#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

namespace morvane::com {

// Where a failing HRESULT came from: the same HRESULT means different things at different places.
enum class ComSite {
    Attach,        // CLSIDFromProgID, GetActiveObject
    Call,          // QueryInterface, a call by vtable slot, GetIDsOfNames, anything else
    Invoke,        // IDispatch::Invoke, whose DISP_E_EXCEPTION carries an EXCEPINFO
    WindowLookup,  // finding the CAD application's window by title
    NoObject,      // a call that succeeded but handed back no object where one is needed
};

// The program's error number for a failed HRESULT, the one place where COM failures become
// numbers. WindowLookup and NoObject are failures of this side of the call and give fixed numbers
// whatever the HRESULT. At Invoke, runs the EXCEPINFO's deferred fill-in if there is one (the
// caller still owns and frees the EXCEPINFO). Never throws.
[[nodiscard]] std::int32_t ErrorNumber(HRESULT hr, ComSite site, EXCEPINFO* excepInfo = nullptr) noexcept;

// Throws morvane::Failure with ErrorNumber(hr, site) when hr is a failure.
void ThrowIfFailed(HRESULT hr, ComSite site = ComSite::Call);

// For Invoke: throws morvane::Failure with the number for hr and its EXCEPINFO when hr is a failure.
void ThrowIfInvokeFailed(HRESULT hr, EXCEPINFO& excepInfo);

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
