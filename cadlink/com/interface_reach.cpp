#include "cadlink/com/interface_reach.h"

namespace morvane::com {

bool InterfaceOutOfReach(HRESULT hr) noexcept {
    switch (hr) {
    case E_NOINTERFACE:
    case REGDB_E_IIDNOTREG:
    case TYPE_E_LIBNOTREGISTERED:
    case TYPE_E_CANTLOADLIBRARY:
        return true;
    default:
        return false;
    }
}

}  // namespace morvane::com
