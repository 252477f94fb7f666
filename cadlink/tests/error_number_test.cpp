#include "cadlink/com/error_number.h"

#include <gtest/gtest.h>

#include "caseconv/failure.h"

namespace morvane::com {
namespace {

struct NumberCase {
    const char* name;
    HRESULT hr;
    ComSite site;
    std::int32_t number;
};

class ErrorNumberTest : public testing::TestWithParam<NumberCase> {};

// Rule: each failing HRESULT becomes the program's error number according to where it arose.
TEST_P(ErrorNumberTest, TranslatesBySite) {
    const NumberCase& c = GetParam();
    EXPECT_EQ(ErrorNumber(c.hr, c.site), c.number);
    try {
        ThrowIfFailed(c.hr, c.site);
        ADD_FAILURE() << "no Failure thrown";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), c.number);
    }
}

const NumberCase kCases[] = {
    {"NotRunningAtAttach", MK_E_UNAVAILABLE, ComSite::Attach, 429},
    {"UnknownProgIdAtAttach", CO_E_CLASSSTRING, ComSite::Attach, 429},
    {"UnregisteredClassAtAttach", REGDB_E_CLASSNOTREG, ComSite::Attach, 429},
    {"NotRunningLaterIsItself", MK_E_UNAVAILABLE, ComSite::Call, static_cast<std::int32_t>(0x800401E3)},
    {"UnregisteredClassLaterIsItself", REGDB_E_CLASSNOTREG, ComSite::Call, static_cast<std::int32_t>(0x80040154)},
    {"NoInterfaceAtAttach", E_NOINTERFACE, ComSite::Attach, 430},
    {"NoInterface", E_NOINTERFACE, ComSite::Call, 430},
    {"UnknownName", DISP_E_UNKNOWNNAME, ComSite::Call, 438},
    {"MemberNotFound", DISP_E_MEMBERNOTFOUND, ComSite::Invoke, 438},
    {"SlotCallException", DISP_E_EXCEPTION, ComSite::Call, -2147352567},
    {"InvokeExceptionWithoutInfo", DISP_E_EXCEPTION, ComSite::Invoke, -2147352567},
    {"ServerGone", RPC_E_DISCONNECTED, ComSite::Call, static_cast<std::int32_t>(0x80010108)},
    {"ServerUnavailable", HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), ComSite::Call, -2147023174},
    {"OutOfMemory", E_OUTOFMEMORY, ComSite::Invoke, -2147024882},
    {"Generic", E_FAIL, ComSite::Attach, -2147467259},
    {"NoWindowWithTitle", HRESULT_FROM_WIN32(ERROR_NOT_FOUND), ComSite::WindowLookup, 5},
    {"NoObjectHandedBack", E_POINTER, ComSite::NoObject, 91},
};

INSTANTIATE_TEST_SUITE_P(Hresults, ErrorNumberTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Rule: success is no failure.
TEST(ThrowIfFailedTest, SuccessCodesDoNotThrow) {
    EXPECT_NO_THROW(ThrowIfFailed(S_OK));
    EXPECT_NO_THROW(ThrowIfFailed(S_FALSE, ComSite::Attach));
}

struct ExceptionCase {
    const char* name;
    SCODE scode;
    bool deferred;  // the scode arrives only through the deferred fill-in
    std::int32_t number;
};

class InvokeExceptionTest : public testing::TestWithParam<ExceptionCase> {};

SCODE g_deferredScode = S_OK;
HRESULT STDMETHODCALLTYPE FillIn(EXCEPINFO* info) {
    info->scode = g_deferredScode;
    info->bstrDescription = SysAllocString(L"filled in later");
    return S_OK;
}

// Rule: DISP_E_EXCEPTION from Invoke reports the EXCEPINFO's scode (after its deferred fill-in)
// when that is a failure code, otherwise 0x80020009.
TEST_P(InvokeExceptionTest, ReportsTheScode) {
    const ExceptionCase& c = GetParam();
    ExcepInfo info;
    if (c.deferred) {
        g_deferredScode = c.scode;
        (*info).pfnDeferredFillIn = FillIn;
    } else {
        (*info).scode = c.scode;
        (*info).bstrSource = SysAllocString(L"the CAD application");
    }
    try {
        ThrowIfInvokeFailed(DISP_E_EXCEPTION, *info);
        ADD_FAILURE() << "no Failure thrown";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), c.number);
    }
    EXPECT_EQ((*info).pfnDeferredFillIn, nullptr);
}

const ExceptionCase kExceptions[] = {
    {"Scode", static_cast<SCODE>(0x80200001), false, static_cast<std::int32_t>(0x80200001)},
    {"DeferredScode", E_ACCESSDENIED, true, -2147024891},
    {"ScodeIsSuccess", S_OK, false, -2147352567},
    {"DeferredScodeIsSuccess", S_FALSE, true, -2147352567},
    {"ScodeIsTheExceptionItself", DISP_E_EXCEPTION, false, -2147352567},
};

INSTANTIATE_TEST_SUITE_P(Exceptions, InvokeExceptionTest, testing::ValuesIn(kExceptions),
                         [](const auto& info) { return std::string(info.param.name); });

// Rule: an Invoke failure other than DISP_E_EXCEPTION ignores the EXCEPINFO.
TEST(InvokeFailureTest, OtherFailuresIgnoreExcepInfo) {
    ExcepInfo info;
    (*info).scode = E_ACCESSDENIED;
    try {
        ThrowIfInvokeFailed(DISP_E_MEMBERNOTFOUND, *info);
        ADD_FAILURE() << "no Failure thrown";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), 438);
    }
}

}  // namespace
}  // namespace morvane::com
