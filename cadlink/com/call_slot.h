#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>

namespace morvane::com {

// Calls method number `slot` of the object's interface table (counting IUnknown's three methods
// and, for a dispatch interface, IDispatch's four) with the given arguments, the way a compiled
// client of the interface would. The argument types must be exactly those of the method: the
// caller promises the slot's signature. Returns the method's HRESULT; throws nothing.
template <typename... Args>
[[nodiscard]] HRESULT CallSlot(IUnknown* object, std::size_t slot, Args... args) noexcept {
    using Method = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, Args...);
    const auto* table = *reinterpret_cast<Method* const*>(object);
    return table[slot](object, args...);
}

}  // namespace morvane::com
