#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>

#include "cadlink/cad_link.h"
#include "cadlink/com/com_calls.h"

namespace morvane::com {

// Which release the entity belongs to: release 15 has no fields, so its entities are never asked
// about them.
enum class EntityRelease { Release15, Newer };

// A drawing entity reached by name through its dispatch interface (each name looked up once per
// entity). Holds the reference it is given until the last handle goes. Throws std::bad_alloc only;
// its operations throw morvane::Failure.
[[nodiscard]] std::shared_ptr<CadEntity> MakeComEntity(Microsoft::WRL::ComPtr<IDispatch> object,
                                                       std::shared_ptr<ComCalls> calls,
                                                       EntityRelease release = EntityRelease::Newer);

}  // namespace morvane::com
