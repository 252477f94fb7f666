#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>
#include <string_view>

#include "cadlink/cad_link.h"
#include "cadlink/com/variant.h"

namespace morvane::com {

// The whole text as a VT_BSTR VARIANT; throws morvane::Failure when it cannot be allocated.
[[nodiscard]] Variant TextVariant(std::u16string_view text);

// A drawing entity reached by name through its dispatch interface (each name looked up once per
// entity). Holds the reference it is given until the last handle goes. Throws std::bad_alloc only;
// its operations throw morvane::Failure.
[[nodiscard]] std::shared_ptr<CadEntity> MakeComEntity(Microsoft::WRL::ComPtr<IDispatch> object);

}  // namespace morvane::com
