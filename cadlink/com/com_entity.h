#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>

#include "cadlink/cad_link.h"
#include "cadlink/com/com_calls.h"

namespace morvane::com {

// A drawing entity reached by name through its dispatch interface (each name looked up once per
// entity). Holds the reference it is given until the last handle goes. Throws std::bad_alloc only;
// its operations throw morvane::Failure.
[[nodiscard]] std::shared_ptr<CadEntity> MakeComEntity(Microsoft::WRL::ComPtr<IDispatch> object,
                                                       std::shared_ptr<ComCalls> calls);

}  // namespace morvane::com
