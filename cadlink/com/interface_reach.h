#pragma once

#include <windows.h>

namespace morvane::com {

// Whether an answer to QueryInterface says that the interface cannot be reached from this process
// although the object may well support it: E_NOINTERFACE, or COM finding no registration of the
// interface (REGDB_E_IIDNOTREG) or of its type library (TYPE_E_LIBNOTREGISTERED,
// TYPE_E_CANTLOADLIBRARY) in this process's view, as a client of the other bitness does when the
// application registered its interfaces for its own bitness only. The object can then still be
// called by name. A busy, disconnected or vanished application, or any other failure, is not such
// an answer.
[[nodiscard]] bool InterfaceOutOfReach(HRESULT hr) noexcept;

}  // namespace morvane::com
