#include "cadlink/com/error_number.h"

#include "failure/failure.h"
#include "failure/com_error_number.h"

namespace morvane::com {

namespace {

// What an Invoke's exception reports, in the order it is trusted: a failing scode, then the
// server's own wCode (automation servers use codes above 1000), else nothing but the exception.
std::int32_t ExceptionNumber(const EXCEPINFO& excepInfo) noexcept {
    if (FAILED(excepInfo.scode) && excepInfo.scode != DISP_E_EXCEPTION) {
        return ErrorNumber(excepInfo.scode, ComSite::Call);
    }
    if (excepInfo.wCode != 0) {
        return excepInfo.wCode;
    }
    return error_number::kApplicationException;
}

}  // namespace

std::int32_t ErrorNumber(HRESULT hr, ComSite site, const EXCEPINFO* excepInfo) noexcept {
    switch (hr) {
    case MK_E_UNAVAILABLE:
    case CO_E_CLASSSTRING:
    case REGDB_E_CLASSNOTREG:
        if (site == ComSite::Attach) {
            return error_number::kCannotAttach;
        }
        break;
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND:
        return error_number::kNoSuchMember;
    case E_NOINTERFACE:
        return error_number::kNoSuchInterface;
    case DISP_E_EXCEPTION:
        // Only Invoke fills an EXCEPINFO; a slot call's DISP_E_EXCEPTION is the number itself.
        if (site == ComSite::Invoke && excepInfo != nullptr) {
            return ExceptionNumber(*excepInfo);
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

void ThrowIfInvokeFailed(HRESULT hr, const EXCEPINFO& excepInfo) {
    if (FAILED(hr)) {
        throw Failure(ErrorNumber(hr, ComSite::Invoke, &excepInfo));
    }
}

}  // namespace morvane::com
