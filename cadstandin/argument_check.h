#pragma once

#include <windows.h>
#include <oaidl.h>

#include <optional>

namespace cadstandin {

// The checks the type library's own Invoke makes of a call's arguments before it reaches the
// member, for the calls the stand-in answers itself (a scenario's odd answer): the member must be
// there for this kind of call, the count of arguments within what it declares, no named arguments
// but a property write's, each by-reference argument exactly the type declared ([out] long* and int*
// only as VT_BYREF | VT_I4, [out] IDispatch** only as VT_BYREF | VT_DISPATCH, [out] VARIANT* only as
// VT_BYREF | VT_VARIANT), and each argument given by value convertible to the type declared.
// S_OK, or what the type library's Invoke answers: DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT,
// DISP_E_NONAMEDARGS, or DISP_E_TYPEMISMATCH with the argument's index (as in rgvarg) in
// argumentError.
[[nodiscard]] HRESULT CheckArguments(ITypeInfo& info, DISPID id, WORD flags, const DISPPARAMS* parameters,
                                     UINT* argumentError) noexcept;

// What the member called this way is: a property read (INVOKE_PROPERTYGET), a method (INVOKE_FUNC)
// or a property write; none where the interface has no such member for this kind of call.
[[nodiscard]] std::optional<INVOKEKIND> MemberKind(ITypeInfo& info, DISPID id, WORD flags) noexcept;

// The type the member called this way declares for its answer, as a VARIANT carries it (VT_INT for
// an [out, retval] int*, VT_I4 for a long* or an enumeration, VT_DISPATCH for an object); VT_EMPTY
// where it answers nothing or the interface has no such member.
[[nodiscard]] VARTYPE DeclaredAnswerType(ITypeInfo& info, DISPID id, WORD flags) noexcept;

}  // namespace cadstandin
