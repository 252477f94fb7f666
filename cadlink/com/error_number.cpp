#include "cadlink/com/error_number.h"

#include "caseconv/failure.h"

namespace morvane::com {

namespace {

// Numbers raised on the program's side of a call.
constexpr std::int32_t kInvalidCall = 5;         // no window carries the activation title
constexpr std::int32_t kObjectNotSet = 91;       // an object the CAD application should have given is missing
constexpr std::int32_t kCannotAttach = 429;      // no running object for the ProgID
constexpr std::int32_t kNoSuchInterface = 430;   // the object lacks an interface it must support
constexpr std::int32_t kNoSuchMember = 438;      // no property or method of the name used

}  // namespace

std::int32_t ErrorNumber(HRESULT hr, ComSite site, EXCEPINFO* excepInfo) noexcept {
    if (site == ComSite::WindowLookup) {
        return kInvalidCall;
    }
    if (site == ComSite::NoObject) {
        return kObjectNotSet;
    }
    switch (hr) {
    case MK_E_UNAVAILABLE:
    case CO_E_CLASSSTRING:
    case REGDB_E_CLASSNOTREG:
        if (site == ComSite::Attach) {
            return kCannotAttach;
        }
        break;
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND:
        return kNoSuchMember;
    case E_NOINTERFACE:
        return kNoSuchInterface;
    case DISP_E_EXCEPTION:
        // Only Invoke fills an EXCEPINFO; a slot call's DISP_E_EXCEPTION is the number itself.
        if (site == ComSite::Invoke && excepInfo != nullptr) {
            if (excepInfo->pfnDeferredFillIn != nullptr) {
                (void)excepInfo->pfnDeferredFillIn(excepInfo);
                excepInfo->pfnDeferredFillIn = nullptr;
            }
            if (FAILED(excepInfo->scode)) {
                return static_cast<std::int32_t>(excepInfo->scode);
            }
        }
        break;
    default:
        break;
    }
    return static_cast<std::int32_t>(hr);
}

void ThrowIfFailed(HRESULT hr, ComSite site) {
    if (FAILED(hr)) {
        throw Failure(ErrorNumber(hr, site));
    }
}

void ThrowIfInvokeFailed(HRESULT hr, EXCEPINFO& excepInfo) {
    if (FAILED(hr)) {
        throw Failure(ErrorNumber(hr, ComSite::Invoke, &excepInfo));
    }
}

}  // namespace morvane::com
