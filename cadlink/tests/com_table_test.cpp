// How the binding reads a table's and an extension dictionary's answers, against in-process dispatch
// objects that answer as the CAD application's type library may: integers in their declared type,
// bounds by reference in the form the application takes, a missing key as its "Key not found".
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cadlink/com/com_entity.h"
#include "cadlink/com/com_table.h"
#include "cadlink/tests/busy_clock.h"
#include "cadlink/tests/fake_dispatch.h"
#include "cadlink/tests/failure_of.h"
#include "failure/com_error_number.h"
#include "failure/failure.h"

namespace morvane::com {
namespace {

using Microsoft::WRL::ComPtr;
using testing_dispatch::FakeDispatch;
using Parameters = DISPPARAMS&;

std::shared_ptr<ComCalls> TestCalls() {
    return std::make_shared<ComCalls>(std::make_unique<testing_clock::SteppedClock>());
}

HRESULT Raise(EXCEPINFO* exception, HRESULT scode) {
    exception->scode = scode;
    return DISP_E_EXCEPTION;
}

HRESULT Bool(VARIANT* result, bool value) {
    result->vt = VT_BOOL;
    result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// One integer answer, as a server may give it for an integer declaration.
struct IntegerCase {
    const char* name;
    VARTYPE type;
    std::uint32_t bits;       // the value's bits in the VARIANT's field of that type
    std::int32_t rows;        // what Rows reads as, when it is read
    std::int32_t failure;     // else the failure
};

void PrintTo(const IntegerCase& c, std::ostream* out) { *out << c.name; }

void Fill(VARIANT* result, const IntegerCase& c) {
    result->vt = c.type;
    switch (c.type) {
    case VT_I2: result->iVal = static_cast<SHORT>(c.bits); break;
    case VT_UI1: result->bVal = static_cast<BYTE>(c.bits); break;
    case VT_UI2: result->uiVal = static_cast<USHORT>(c.bits); break;
    case VT_INT: result->intVal = static_cast<INT>(c.bits); break;
    case VT_UINT: result->uintVal = c.bits; break;
    case VT_UI4: result->ulVal = c.bits; break;
    case VT_I8: result->llVal = c.bits; break;
    case VT_R8: result->dblVal = c.bits; break;
    case VT_BSTR: result->bstrVal = SysAllocString(L"3"); break;
    default: result->lVal = static_cast<LONG>(c.bits); break;
    }
}

const IntegerCase kIntegers[] = {
    {"Long", VT_I4, 7, 7, 0},
    {"DeclaredInt", VT_INT, 7, 7, 0},
    {"NegativeInt", VT_INT, static_cast<std::uint32_t>(-2), -2, 0},
    {"Integer", VT_I2, 7, 7, 0},
    {"Byte", VT_UI1, 200, 200, 0},
    {"UnsignedShort", VT_UI2, 65535, 65535, 0},
    {"UnsignedLong", VT_UI4, 2147483647, 2147483647, 0},
    {"UnsignedInt", VT_UINT, 12, 12, 0},
    {"UnsignedBeyondLong", VT_UI4, 0x80000000u, 0, error_number::kOverflow},
    {"UnsignedIntBeyondLong", VT_UINT, 0xFFFFFFFFu, 0, error_number::kOverflow},
    {"SixtyFourBits", VT_I8, 7, 0, error_number::kTypeMismatch},
    {"Double", VT_R8, 7, 0, error_number::kTypeMismatch},
    {"TextOfANumber", VT_BSTR, 0, 0, error_number::kTypeMismatch},
    {"Empty", VT_EMPTY, 0, 0, error_number::kTypeMismatch},
};

class IntegerAnswerTest : public ::testing::TestWithParam<IntegerCase> {};

// Rule: a table's size is taken in every integer type a server answers an integer declaration with
// (the type library's Invoke answers an int as VT_INT), an unsigned one within range; nothing is
// coerced from another type.
TEST_P(IntegerAnswerTest, RowsReadInTheirDeclaredType) {
    const IntegerCase& c = GetParam();
    FakeDispatch table;
    table.On(L"Rows", DISPATCH_PROPERTYGET, [&](Parameters, VARIANT* result, EXCEPINFO*) {
        Fill(result, c);
        return S_OK;
    });
    const std::unique_ptr<CadTable> handle = MakeComTable(&table, TestCalls());
    std::int32_t rows = 0;
    EXPECT_EQ(FailureOf([&] { rows = handle->Rows(); }), c.failure);
    EXPECT_EQ(rows, c.rows);
}

INSTANTIATE_TEST_SUITE_P(Types, IntegerAnswerTest, ::testing::ValuesIn(kIntegers),
                         [](const auto& info) { return std::string(info.param.name); });

// A table whose IsMergedCell takes its four bounds by reference only in one form (VT_I4 or VT_INT),
// refusing the other as the type library's Invoke does (DISP_E_TYPEMISMATCH, nothing run); every
// cell is merged in rows 1-2 and columns 0-3. Logs the form of each call.
class MergedTable {
public:
    explicit MergedTable(VARTYPE takes) {
        table.On(L"IsMergedCell", DISPATCH_METHOD, [this, takes](Parameters parameters, VARIANT* result, EXCEPINFO*) {
            if (parameters.cArgs != 6) return DISP_E_BADPARAMCOUNT;
            const VARTYPE form = parameters.rgvarg[0].vt;
            forms.push_back(form);
            if (form != (VT_BYREF | takes)) return DISP_E_TYPEMISMATCH;
            // Last first: maxCol, minCol, maxRow, minRow.
            const INT bounds[4] = {3, 0, 2, 1};
            for (int i = 0; i < 4; ++i) {
                if (parameters.rgvarg[i].vt != form) return DISP_E_TYPEMISMATCH;
                *parameters.rgvarg[i].pintVal = bounds[i];
            }
            return Bool(result, true);
        });
    }

    FakeDispatch table;
    std::vector<VARTYPE> forms;
};

// Rule: the bounds come back in IsMergedCell's order (minRow, maxRow, minCol, maxCol), passed as
// Longs; an application that refuses Longs with a type mismatch is asked again with ints, and with
// ints only from then on, also from the next table of the run.
TEST(MergedRangeTest, BoundsGoInTheFormTheApplicationTakes) {
    const std::shared_ptr<ComCalls> calls = TestCalls();
    MergedTable ints(VT_INT);
    const std::unique_ptr<CadTable> first = MakeComTable(&ints.table, calls);
    const std::optional<CellRange> range = first->MergedRange(1, 0);
    ASSERT_TRUE(range.has_value());
    EXPECT_EQ(range->firstRow, 1);
    EXPECT_EQ(range->lastRow, 2);
    EXPECT_EQ(range->firstColumn, 0);
    EXPECT_EQ(range->lastColumn, 3);
    EXPECT_EQ(ints.forms, (std::vector<VARTYPE>{VT_BYREF | VT_I4, VT_BYREF | VT_INT}));

    (void)first->MergedRange(2, 3);
    MergedTable more(VT_INT);
    (void)MakeComTable(&more.table, calls)->MergedRange(1, 1);
    EXPECT_EQ(ints.forms.size(), 3u);
    EXPECT_EQ(ints.forms.back(), VT_BYREF | VT_INT);
    EXPECT_EQ(more.forms, (std::vector<VARTYPE>{VT_BYREF | VT_INT}));
}

// An application that takes Longs is asked once per cell, in Longs.
TEST(MergedRangeTest, LongsTakenAreKept) {
    const std::shared_ptr<ComCalls> calls = TestCalls();
    MergedTable longs(VT_I4);
    const std::unique_ptr<CadTable> table = MakeComTable(&longs.table, calls);
    for (int i = 0; i < 2; ++i) {
        const std::optional<CellRange> range = table->MergedRange(1, 0);
        ASSERT_TRUE(range.has_value());
        EXPECT_EQ(range->lastColumn, 3);
    }
    EXPECT_EQ(longs.forms, (std::vector<VARTYPE>{VT_BYREF | VT_I4, VT_BYREF | VT_I4}));
}

// A mismatch that is not the bounds' form is not retried: an answer of the wrong type (the member
// ran), or an application that takes neither form.
TEST(MergedRangeTest, OtherMismatchesAreFailures) {
    FakeDispatch odd;
    int calls = 0;
    odd.On(L"IsMergedCell", DISPATCH_METHOD, [&](Parameters, VARIANT* result, EXCEPINFO*) {
        ++calls;
        result->vt = VT_I4;
        result->lVal = 1;
        return S_OK;
    });
    EXPECT_EQ(FailureOf([&] { (void)MakeComTable(&odd, TestCalls())->MergedRange(0, 0); }), error_number::kTypeMismatch);
    EXPECT_EQ(calls, 1);

    MergedTable neither(VT_I2);
    EXPECT_EQ(FailureOf([&] { (void)MakeComTable(&neither.table, TestCalls())->MergedRange(0, 0); }),
              error_number::kTypeMismatch);
    EXPECT_EQ(neither.forms.size(), 2u);
}

// Rule: letting the table regenerate again is asked again while the application is busy, so that
// the table is not left unregenerated.
TEST(RegenerationTest, LetAgainWhileBusy) {
    FakeDispatch table;
    int rejections = 3;
    table.On(L"RegenerateTableSuppressed", DISPATCH_PROPERTYPUT, [&](Parameters, VARIANT*, EXCEPINFO* exception) {
        if (rejections-- > 0) return Raise(exception, RPC_E_SERVERCALL_RETRYLATER);
        return S_OK;
    });
    MakeComTable(&table, TestCalls())->SuppressRegeneration(false);
    EXPECT_EQ(rejections, -1);
}

// An entity whose extension dictionary answers Item by name as `item` says.
struct DictionaryCase {
    const char* name;
    std::function<HRESULT(VARIANT* result, EXCEPINFO* exception, IDispatch* entry)> item;
    bool holds;
    std::int32_t failure;
};

void PrintTo(const DictionaryCase& c, std::ostream* out) { *out << c.name; }

HRESULT Entry(VARIANT* result, EXCEPINFO*, IDispatch* entry) {
    result->vt = VT_DISPATCH;
    result->pdispVal = entry;
    entry->AddRef();
    return S_OK;
}

const DictionaryCase kDictionaries[] = {
    {"Holds", Entry, true, 0},
    {"KeyNotFound", [](VARIANT*, EXCEPINFO* e, IDispatch*) { return Raise(e, error_number::kKeyNotFound); }, false, 0},
    {"Busy", [](VARIANT*, EXCEPINFO* e, IDispatch*) { return Raise(e, RPC_E_SERVERCALL_RETRYLATER); }, false,
     error_number::kCallRetryLater},
    {"Exception", [](VARIANT*, EXCEPINFO* e, IDispatch*) { return Raise(e, E_FAIL); }, false, static_cast<std::int32_t>(E_FAIL)},
    {"WrongArgument", [](VARIANT*, EXCEPINFO*, IDispatch*) { return E_INVALIDARG; }, false,
     static_cast<std::int32_t>(E_INVALIDARG)},
    {"NoObject", [](VARIANT* r, EXCEPINFO*, IDispatch*) { r->vt = VT_DISPATCH; r->pdispVal = nullptr; return S_OK; },
     false, error_number::kObjectNotSet},
};

class DictionaryTest : public ::testing::TestWithParam<DictionaryCase> {};

// Rule: the field's entry is asked for by its name; only the application's "Key not found" means
// there is none, every other failure goes on; no other entry is read.
TEST_P(DictionaryTest, OnlyKeyNotFoundMeansNoEntry) {
    const DictionaryCase& c = GetParam();
    std::vector<std::string> log;
    FakeDispatch entity(&log);
    FakeDispatch dictionary(&log);
    FakeDispatch entry(&log);
    dictionary.Name("xdict");
    entity.On(L"GetExtensionDictionary", DISPATCH_METHOD, [&](Parameters, VARIANT* result, EXCEPINFO* e) {
        return Entry(result, e, &dictionary);
    });
    std::wstring asked;
    dictionary.On(L"Item", DISPATCH_METHOD, [&](Parameters parameters, VARIANT* result, EXCEPINFO* e) {
        if (parameters.cArgs == 1 && parameters.rgvarg[0].vt == VT_BSTR) asked = parameters.rgvarg[0].bstrVal;
        return c.item(result, e, &entry);
    });
    bool holds = false;
    {
        const std::shared_ptr<CadEntity> handle = MakeComEntity(&entity, TestCalls());
        EXPECT_EQ(FailureOf([&] { holds = handle->ExtensionDictionaryHolds(u"ACAD_FIELD"); }), c.failure);
    }
    EXPECT_EQ(holds, c.holds);
    EXPECT_EQ(asked, L"ACAD_FIELD");
    for (const std::string& line : log) {
        EXPECT_EQ(line.find("GetName"), std::string::npos) << line;
        EXPECT_EQ(line.find("Count"), std::string::npos) << line;
    }
    EXPECT_EQ(dictionary.references, 0u);
    EXPECT_EQ(entry.references, 0u);
}

INSTANTIATE_TEST_SUITE_P(Answers, DictionaryTest, ::testing::ValuesIn(kDictionaries),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morvane::com
