#include "cadlink/com/dispatch_call.h"

#include <limits>

#include "cadlink/com/bstr.h"
#include "cadlink/com/error_number.h"
#include "failure/failure.h"
#include "failure/com_error_number.h"

namespace morvane::com {

using Microsoft::WRL::ComPtr;

void RequireType(const Variant& value, VARTYPE type) {
    if (value.Type() != type) {
        throw Failure(error_number::kTypeMismatch);
    }
}

std::u16string TextAnswer(const Variant& value) {
    RequireType(value, VT_BSTR);
    return TextOf(value.Get()->bstrVal);
}

bool BoolAnswer(const Variant& value) {
    RequireType(value, VT_BOOL);
    return value.Get()->boolVal != VARIANT_FALSE;
}

std::int64_t IntegerAnswer(const Variant& value) {
    const VARIANT& answer = *value.Get();
    switch (answer.vt) {
    case VT_I2:
        return answer.iVal;
    case VT_I4:
        return answer.lVal;
    case VT_INT:
        return answer.intVal;
    case VT_I8:
        return answer.llVal;
    case VT_UI1:
        return answer.bVal;
    case VT_UI2:
        return answer.uiVal;
    case VT_UI4:
        return answer.ulVal;
    case VT_UINT:
        return answer.uintVal;
    case VT_UI8:
        if (answer.ullVal > static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max())) {
            throw Failure(error_number::kOverflow);
        }
        return static_cast<std::int64_t>(answer.ullVal);
    default:
        throw Failure(error_number::kTypeMismatch);
    }
}

std::int32_t NumberAnswer(const Variant& value) {
    if (value.Type() == VT_I8 || value.Type() == VT_UI8) throw Failure(error_number::kTypeMismatch);
    const std::int64_t number = IntegerAnswer(value);
    if (number < std::numeric_limits<std::int32_t>::min() || number > std::numeric_limits<std::int32_t>::max()) {
        throw Failure(error_number::kOverflow);
    }
    return static_cast<std::int32_t>(number);
}

ComPtr<IDispatch> ObjectAnswer(const Variant& value) {
    RequireType(value, VT_DISPATCH);
    if (value.Get()->pdispVal == nullptr) {
        throw Failure(error_number::kObjectNotSet);
    }
    return value.Get()->pdispVal;
}

Variant TextVariant(std::u16string_view text) {
    Bstr value = Bstr::FromText(text);
    if (!value) {
        ThrowIfFailed(E_OUTOFMEMORY);
    }
    return Variant(std::move(value));
}

Variant NumberVariant(std::int32_t number) noexcept {
    Variant value;
    value.Get()->vt = VT_I4;
    value.Get()->lVal = number;
    return value;
}

Variant BoolVariant(bool value) noexcept {
    Variant result;
    result.Get()->vt = VT_BOOL;
    result.Get()->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return result;
}

VARIANT OutArgument(ComPtr<IDispatch>& into) noexcept {
    VARIANT argument{};
    argument.vt = VT_BYREF | VT_DISPATCH;
    argument.ppdispVal = into.ReleaseAndGetAddressOf();
    return argument;
}

VARIANT OutArgument(LONG& into) noexcept {
    into = 0;
    VARIANT argument{};
    argument.vt = VT_BYREF | VT_I4;
    argument.plVal = &into;
    return argument;
}

VARIANT OutArgument(INT& into) noexcept {
    into = 0;
    VARIANT argument{};
    argument.vt = VT_BYREF | VT_INT;
    argument.pintVal = &into;
    return argument;
}

VARIANT OutArgument(Variant& into) noexcept {
    VARIANT argument{};
    argument.vt = VT_BYREF | VT_VARIANT;
    argument.pvarVal = into.ReleaseAndGetAddressOf();
    return argument;
}

DISPID DispatchNames::Id(IDispatch& object, const wchar_t* name, ComCalls& calls) {
    for (const auto& [known, id] : ids_) {
        if (known == name) {
            if (id == DISPID_UNKNOWN) throw Failure(error_number::kNoSuchMember);
            return id;
        }
    }
    auto* names = const_cast<LPOLESTR>(name);
    DISPID found = DISPID_UNKNOWN;
    const HRESULT hr = calls.Call([&] { return object.GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &found); });
    // A name the object does not know stays unknown: it is not asked again.
    if (hr == DISP_E_UNKNOWNNAME) ids_.emplace_back(name, DISPID_UNKNOWN);
    ThrowIfFailed(hr);
    ids_.emplace_back(name, found);
    return found;
}

Variant ByName::Get(const wchar_t* name) { return Invoke(name, DISPATCH_PROPERTYGET, {}, Repeatable::Yes); }

void ByName::Put(const wchar_t* name, Variant value, Repeatable repeatable) {
    (void)Invoke(name, DISPATCH_PROPERTYPUT, {value.Get(), 1}, repeatable);
}

Variant ByName::Call(const wchar_t* name, std::span<VARIANT> arguments, Repeatable repeatable) {
    return Invoke(name, DISPATCH_METHOD, arguments, repeatable);
}

Variant ByName::Invoke(const wchar_t* name, WORD kind, std::span<VARIANT> arguments, Repeatable repeatable) {
    const DISPID id = names_->Id(*object_.Get(), name, *calls_);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{};
    parameters.rgvarg = arguments.data();
    parameters.cArgs = static_cast<UINT>(arguments.size());
    if (kind == DISPATCH_PROPERTYPUT) {
        // A property write names its one argument DISPID_PROPERTYPUT.
        parameters.rgdispidNamedArgs = &putId;
        parameters.cNamedArgs = 1;
    }
    Variant result;
    ExcepInfo exception;
    const HRESULT hr = calls_->Call(
        [&] {
            result.Clear();
            exception.Clear();
            UINT badArgument = 0;
            return object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters,
                                   kind == DISPATCH_PROPERTYPUT ? nullptr : result.Get(), exception.Get(),
                                   &badArgument);
        },
        exception.Get(), repeatable);
    ThrowIfInvokeFailed(hr, *exception);
    return result;
}

}  // namespace morvane::com
