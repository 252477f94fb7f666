#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cadlink/com/com_calls.h"
#include "cadlink/com/variant.h"

// Calls by name through an object's dispatch interface (GetIDsOfNames, then Invoke), the way every
// object of the CAD application is reached that is not reached through its interface's slots.

namespace morvane::com {

// What the CAD application hands back is checked, never coerced: a coercion would turn an empty
// answer into "" or another object into its default member's text, and that would be written over
// the user's text. Each throws morvane::Failure(kTypeMismatch) for an answer of another type.
void RequireType(const Variant& value, VARTYPE type);
[[nodiscard]] std::u16string TextAnswer(const Variant& value);
[[nodiscard]] bool BoolAnswer(const Variant& value);
// An integer in any type an automation server answers an integer declaration with: the type
// library's Invoke answers in the declared type (a C int is VT_INT, a long VT_I4, a short VT_I2, an
// enumeration VT_I4), and a server may answer an unsigned one. Nothing is coerced from another type.
// IntegerAnswer takes 64-bit ones too (an object id on a 64-bit release); NumberAnswer only what
// fits 32 bits, Failure(kOverflow) for an unsigned one beyond it.
[[nodiscard]] std::int64_t IntegerAnswer(const Variant& value);
[[nodiscard]] std::int32_t NumberAnswer(const Variant& value);
// VT_DISPATCH only; Failure(kObjectNotSet) when it holds no object.
[[nodiscard]] Microsoft::WRL::ComPtr<IDispatch> ObjectAnswer(const Variant& value);

// The whole text as a VT_BSTR VARIANT; throws morvane::Failure when it cannot be allocated.
[[nodiscard]] Variant TextVariant(std::u16string_view text);
// A Long argument (VT_I4).
[[nodiscard]] Variant NumberVariant(std::int32_t number) noexcept;
// A Boolean argument (VT_BOOL).
[[nodiscard]] Variant BoolVariant(bool value) noexcept;

// An out-argument passed by reference in the type the member declares, as a late-bound Visual Basic
// client passes a typed variable (Dim o As Object, Dim n As Long): an object (IDispatch**) as
// VT_BYREF | VT_DISPATCH, a Long (long*) as VT_BYREF | VT_I4, an int* as VT_BYREF | VT_INT, a
// VARIANT* as VT_BYREF | VT_VARIANT.
// The type library's own Invoke takes a by-reference argument only in its declared type and refuses
// a VARIANT for a typed one (DISP_E_TYPEMISMATCH). Each empties `into` first; the VARIANT points
// into it and owns nothing, so `into` must outlive the call and owns what the member puts there.
[[nodiscard]] VARIANT OutArgument(Microsoft::WRL::ComPtr<IDispatch>& into) noexcept;
[[nodiscard]] VARIANT OutArgument(LONG& into) noexcept;
[[nodiscard]] VARIANT OutArgument(INT& into) noexcept;
[[nodiscard]] VARIANT OutArgument(Variant& into) noexcept;

// The DISPIDs of the names used on one dispatch interface, each looked up the first time it is
// used, a name the interface does not know included. Shared by the handles of objects that answer
// the same interface.
class DispatchNames {
public:
    // The name's DISPID on this object; Failure(438) when the object has no such name.
    [[nodiscard]] DISPID Id(IDispatch& object, const wchar_t* name, ComCalls& calls);

private:
    std::vector<std::pair<std::wstring, DISPID>> ids_;
};

// One object of the CAD application reached by name. Holds its reference until destroyed. Every
// call is retried while the application is busy; its failures throw morvane::Failure.
class ByName {
public:
    ByName(Microsoft::WRL::ComPtr<IDispatch> object, std::shared_ptr<DispatchNames> names,
           std::shared_ptr<ComCalls> calls) noexcept
        : object_(std::move(object)), names_(std::move(names)), calls_(std::move(calls)) {}

    // A property read.
    [[nodiscard]] Variant Get(const wchar_t* name);
    // A property write; asked again while the CAD application reports itself busy only when writing
    // the same value twice does no harm.
    void Put(const wchar_t* name, Variant value, Repeatable repeatable = Repeatable::No);
    // A method call; the arguments in the order Invoke takes them, the last one first. A method is
    // asked again when the CAD application reports itself busy only when it may run twice.
    Variant Call(const wchar_t* name, std::span<VARIANT> arguments = {}, Repeatable repeatable = Repeatable::No);

    [[nodiscard]] const Microsoft::WRL::ComPtr<IDispatch>& Object() const noexcept { return object_; }

private:
    Variant Invoke(const wchar_t* name, WORD kind, std::span<VARIANT> arguments, Repeatable repeatable);

    Microsoft::WRL::ComPtr<IDispatch> object_;
    std::shared_ptr<DispatchNames> names_;
    std::shared_ptr<ComCalls> calls_;
};

}  // namespace morvane::com
