#include "cadstandin/argument_check.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <optional>

namespace cadstandin {
namespace {

using Microsoft::WRL::ComPtr;

// The type a VARIANT carries for a declared type: an interface pointer as VT_DISPATCH or VT_UNKNOWN,
// an enumeration as VT_I4, an alias as what it names, a pointer to a value as VT_BYREF | its type.
VARTYPE VariantTypeOf(ITypeInfo& info, const TYPEDESC& type) {
    if (type.vt == VT_USERDEFINED) {
        ComPtr<ITypeInfo> named;
        TYPEATTR* attributes = nullptr;
        if (FAILED(info.GetRefTypeInfo(type.hreftype, &named)) || FAILED(named->GetTypeAttr(&attributes))) return VT_ILLEGAL;
        VARTYPE result = VT_RECORD;
        switch (attributes->typekind) {
        case TKIND_ENUM: result = VT_I4; break;
        case TKIND_ALIAS: result = VariantTypeOf(*named.Get(), attributes->tdescAlias); break;
        case TKIND_DISPATCH: result = VT_DISPATCH; break;
        case TKIND_INTERFACE: result = (attributes->wTypeFlags & TYPEFLAG_FDISPATCHABLE) ? VT_DISPATCH : VT_UNKNOWN; break;
        default: break;
        }
        named->ReleaseTypeAttr(attributes);
        return result;
    }
    if (type.vt != VT_PTR) return type.vt;
    const TYPEDESC& pointee = *type.lptdesc;
    const VARTYPE pointed = VariantTypeOf(info, pointee);
    // A pointer to an interface is the object itself.
    if (pointee.vt == VT_USERDEFINED && (pointed == VT_DISPATCH || pointed == VT_UNKNOWN)) return pointed;
    return static_cast<VARTYPE>(VT_BYREF | pointed);
}

bool Matches(WORD flags, INVOKEKIND kind) {
    switch (kind) {
    case INVOKE_FUNC: return (flags & DISPATCH_METHOD) != 0;
    case INVOKE_PROPERTYGET: return (flags & DISPATCH_PROPERTYGET) != 0;
    case INVOKE_PROPERTYPUT: return (flags & DISPATCH_PROPERTYPUT) != 0;
    case INVOKE_PROPERTYPUTREF: return (flags & DISPATCH_PROPERTYPUTREF) != 0;
    }
    return false;
}

// Whether one argument passes for a parameter of this type. An int passed by reference is taken as
// the 32-bit integer it is (VT_BYREF | VT_I4), as the type library's Invoke takes it (measured under
// Wine 8); a VARIANT passed by reference for it is not.
bool Accepts(VARTYPE declared, const VARIANT& argument) {
    if (declared == (VT_BYREF | VT_INT)) return argument.vt == declared || argument.vt == (VT_BYREF | VT_I4);
    if (declared & VT_BYREF) return argument.vt == declared;
    if (declared == VT_VARIANT) return true;
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT result = VariantChangeType(&converted, const_cast<VARIANT*>(&argument), 0, declared);
    VariantClear(&converted);
    return SUCCEEDED(result);
}

HRESULT CheckAgainst(ITypeInfo& info, const FUNCDESC& function, WORD flags, const DISPPARAMS& parameters,
                     UINT* argumentError) {
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (parameters.cNamedArgs > (put ? 1u : 0u) ||
        (put && (parameters.cNamedArgs != 1 || parameters.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))) {
        return DISP_E_NONAMEDARGS;
    }
    // The parameters a caller passes: all but the result and the locale, which Invoke supplies.
    UINT declared = 0;
    UINT required = 0;
    for (SHORT i = 0; i < function.cParams; ++i) {
        const USHORT paramFlags = function.lprgelemdescParam[i].paramdesc.wParamFlags;
        if (paramFlags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID)) continue;
        ++declared;
        if (!(paramFlags & PARAMFLAG_FOPT)) required = declared;
    }
    if (parameters.cArgs > declared || parameters.cArgs < required) return DISP_E_BADPARAMCOUNT;
    UINT position = 0;
    for (SHORT i = 0; i < function.cParams && position < parameters.cArgs; ++i) {
        const ELEMDESC& parameter = function.lprgelemdescParam[i];
        if (parameter.paramdesc.wParamFlags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID)) continue;
        // rgvarg holds the arguments last first.
        const UINT index = parameters.cArgs - 1 - position;
        if (!Accepts(VariantTypeOf(info, parameter.tdesc), parameters.rgvarg[index])) {
            if (argumentError != nullptr) *argumentError = index;
            return DISP_E_TYPEMISMATCH;
        }
        ++position;
    }
    return S_OK;
}

// The member's description for this kind of call, where the interface or one it derives from has it;
// found(info, function) is called with it while it is held, and its result returned.
template <class Found>
std::optional<HRESULT> WithFunction(ITypeInfo& info, DISPID id, WORD flags, Found found) {
    TYPEATTR* attributes = nullptr;
    if (FAILED(info.GetTypeAttr(&attributes))) return std::nullopt;
    const WORD functions = attributes->cFuncs;
    const WORD bases = attributes->cImplTypes;
    info.ReleaseTypeAttr(attributes);
    for (WORD i = 0; i < functions; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(info.GetFuncDesc(i, &function))) continue;
        std::optional<HRESULT> result;
        if (function->memid == id && Matches(flags, function->invkind)) result = found(info, *function);
        info.ReleaseFuncDesc(function);
        if (result) return result;
    }
    // A member the interface inherits is described by the interface it comes from.
    if (bases > 0) {
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> base;
        if (SUCCEEDED(info.GetRefTypeOfImplType(0, &reference)) && SUCCEEDED(info.GetRefTypeInfo(reference, &base))) {
            return WithFunction(*base.Get(), id, flags, found);
        }
    }
    return std::nullopt;
}

}  // namespace

HRESULT CheckArguments(ITypeInfo& info, DISPID id, WORD flags, const DISPPARAMS* parameters, UINT* argumentError) noexcept {
    static const DISPPARAMS kNone{};
    return WithFunction(info, id, flags, [&](ITypeInfo& owner, const FUNCDESC& function) -> std::optional<HRESULT> {
               return CheckAgainst(owner, function, flags, parameters != nullptr ? *parameters : kNone, argumentError);
           })
        .value_or(DISP_E_MEMBERNOTFOUND);
}

std::optional<INVOKEKIND> MemberKind(ITypeInfo& info, DISPID id, WORD flags) noexcept {
    std::optional<INVOKEKIND> kind;
    (void)WithFunction(info, id, flags, [&](ITypeInfo&, const FUNCDESC& function) -> std::optional<HRESULT> {
        kind = function.invkind;
        return S_OK;
    });
    return kind;
}

VARTYPE DeclaredAnswerType(ITypeInfo& info, DISPID id, WORD flags) noexcept {
    VARTYPE answer = VT_EMPTY;
    (void)WithFunction(info, id, flags, [&](ITypeInfo& owner, const FUNCDESC& function) -> std::optional<HRESULT> {
        // A dual interface's member answers through its [out, retval] parameter, which its
        // dispatch description may show as the function's own type instead.
        for (SHORT i = 0; i < function.cParams; ++i) {
            const ELEMDESC& parameter = function.lprgelemdescParam[i];
            if ((parameter.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) && parameter.tdesc.vt == VT_PTR) {
                answer = VariantTypeOf(owner, *parameter.tdesc.lptdesc);
                return S_OK;
            }
        }
        const VARTYPE own = function.elemdescFunc.tdesc.vt;
        if (own != VT_HRESULT && own != VT_VOID) answer = VariantTypeOf(owner, function.elemdescFunc.tdesc);
        return S_OK;
    });
    return answer;
}

}  // namespace cadstandin
