#include "cadlink/com/error_number.h"

#include <gtest/gtest.h>

#include "failure/failure.h"

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
    WORD wCode;
    std::int32_t number;
};

class InvokeExceptionTest : public testing::TestWithParam<ExceptionCase> {};

bool g_fillInCalled = false;
HRESULT STDMETHODCALLTYPE FillIn(EXCEPINFO* info) {
    g_fillInCalled = true;
    info->scode = E_ACCESSDENIED;
    return S_OK;
}

// Rule: DISP_E_EXCEPTION from Invoke reports a failing scode as any returned HRESULT would be
// reported, else the server's wCode, else 0x80020009; the server's deferred fill-in is never run.
TEST_P(InvokeExceptionTest, ReportsScodeThenWcode) {
    const ExceptionCase& c = GetParam();
    ExcepInfo info;
    (*info).scode = c.scode;
    (*info).wCode = c.wCode;
    (*info).bstrSource = SysAllocString(L"the CAD application");
    // A pointer into the CAD application's process: calling it would crash this one.
    (*info).pfnDeferredFillIn = FillIn;
    g_fillInCalled = false;
    try {
        ThrowIfInvokeFailed(DISP_E_EXCEPTION, *info);
        ADD_FAILURE() << "no Failure thrown";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), c.number);
    }
    EXPECT_FALSE(g_fillInCalled);
}

const ExceptionCase kExceptions[] = {
    {"Scode", static_cast<SCODE>(0x80200001), 0, static_cast<std::int32_t>(0x80200001)},
    {"ScodeBeforeWcode", E_ACCESSDENIED, 1001, -2147024891},
    {"ScodeMemberNotFoundIsNoSuchMember", DISP_E_MEMBERNOTFOUND, 0, 438},
    {"ScodeUnknownNameIsNoSuchMember", DISP_E_UNKNOWNNAME, 0, 438},
    {"ScodeNoInterface", E_NOINTERFACE, 0, 430},
    {"WcodeOnly", S_OK, 1001, 1001},
    {"WcodeHighest", S_OK, 0xFFFF, 65535},
    {"WcodeWithSuccessScode", S_FALSE, 2000, 2000},
    {"Neither", S_OK, 0, -2147352567},
    {"ScodeIsTheExceptionItself", DISP_E_EXCEPTION, 0, -2147352567},
    {"ScodeIsTheExceptionItselfWithWcode", DISP_E_EXCEPTION, 1002, 1002},
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
