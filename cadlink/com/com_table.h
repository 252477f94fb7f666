#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>

#include "cadlink/cad_link.h"
#include "cadlink/com/com_calls.h"

namespace morvane::com {

// A table reached by name through its dispatch interface; each name is looked up once for the
// table's handle. Holds its own reference. Throws std::bad_alloc only; its operations throw
// morvane::Failure.
[[nodiscard]] std::unique_ptr<CadTable> MakeComTable(Microsoft::WRL::ComPtr<IDispatch> object,
                                                     std::shared_ptr<ComCalls> calls);

}  // namespace morvane::com
